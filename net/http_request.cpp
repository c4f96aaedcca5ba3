#include "net/http_request.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>
#include <optional>

#include "net/cookie_jar.h"
#include "net/url_text.h"

namespace quillet {
namespace {

constexpr std::string_view kDefaultAcceptLine =
    "Accept: image/gif, image/bmp, image/x-xbitmap, image/jpeg, image/pjpeg, "
    "application/x-shockwave-flash, application/vnd.ms-excel, application/vnd.ms-powerpoint, "
    "application/msword, */*\r\n";
constexpr std::string_view kLanguageLine = "Accept-Language: zh-cn\r\n";
constexpr std::string_view kFormContentTypeLine =
    "Content-Type: application/x-www-form-urlencoded\r\n";

// A redirect chain longer than this is a loop (or close enough); the request then fails.
constexpr int kMaxRedirects = 20;

std::atomic<bool>& traceEnabled() {
  static std::atomic<bool> enabled{false};
  return enabled;
}

std::mutex& trustedMutex() {
  static std::mutex mutex;
  return mutex;
}
std::string& trustedFile() {
  static std::string file;
  return file;
}

bool contains(std::string_view text, std::string_view word) {
  return FindIgnoringCase(text, word) != std::string_view::npos;
}

struct CurlEasyDeleter {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct CurlListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;
using CurlList = std::unique_ptr<curl_slist, CurlListDeleter>;

// The header lines of the composed header text, one per entry, as libcurl sends them. Line ends
// are "\r\n" (a bare "\n" ends a line too, so that no line can carry a raw line break); empty
// lines fall away.
std::vector<std::string> headerLines(std::string_view text) {
  std::vector<std::string> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.empty()) lines.emplace_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

bool isHeaderNamed(std::string_view line, std::string_view name) {
  return line.size() > name.size() && line[name.size()] == ':' &&
         FindIgnoringCase(line.substr(0, name.size()), name) == 0;
}

bool hasHeaderNamed(const std::vector<std::string>& lines, std::string_view name) {
  for (const std::string& line : lines) {
    if (isHeaderNamed(line, name)) return true;
  }
  return false;
}

// What one transfer (one hop of a redirect chain) hands back.
struct Response {
  CURL* easy = nullptr;
  std::string body;
  std::string headerBlock;  // the latest response's block; a new status line starts a new block
  int status = 0;           // of the latest status line
  bool sawSetCookie = false;
  const std::atomic<bool>* cancel = nullptr;
  const BodySink* sink = nullptr;
};

bool isRedirect(long status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

size_t onBody(char* data, size_t size, size_t count, void* user) {
  auto* response = static_cast<Response*>(user);
  const size_t bytes = size * count;
  if (response->cancel != nullptr && response->cancel->load(std::memory_order_relaxed)) return 0;
  // A redirect's body is held back: it only counts when the redirect is not followed.
  if (response->sink != nullptr && *response->sink && !isRedirect(response->status)) {
    return (*response->sink)(std::string_view(data, bytes)) ? bytes : 0;
  }
  if (response->body.empty()) {
    // One allocation for a body of announced size (within reason: the announcement is the
    // server's word only).
    curl_off_t announced = -1;
    curl_easy_getinfo(response->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
    constexpr curl_off_t kMaxReserve = 1024L * 1024L * 1024L;
    if (announced > 0)
      response->body.reserve(static_cast<std::size_t>(std::min(announced, kMaxReserve)));
  }
  response->body.append(data, bytes);
  return bytes;
}

size_t onHeader(char* data, size_t size, size_t count, void* user) {
  auto* response = static_cast<Response*>(user);
  std::string_view line(data, size * count);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  if (line.starts_with("HTTP/")) {
    // Interim (100 Continue) and redirect responses come first; only the last block counts.
    response->headerBlock.clear();
    response->body.clear();
    const std::size_t space = line.find(' ');
    response->status = space == std::string_view::npos
                           ? 0
                           : std::atoi(std::string(line.substr(space + 1, 3)).c_str());
  }
  if (line.empty()) return size * count;
  if (isHeaderNamed(line, "Set-Cookie")) response->sawSetCookie = true;
  response->headerBlock.append(line);
  response->headerBlock.append("\r\n");
  return size * count;
}

int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  const auto* cancel = static_cast<const std::atomic<bool>*>(user);
  return cancel != nullptr && cancel->load(std::memory_order_relaxed) ? 1 : 0;
}

// The received-cookie text and the cookies of the header block: one "name=value;" piece for
// every Set-Cookie line.
std::string harvestCookies(const std::string& headerBlock, const std::string& host,
                           bool storeInJar) {
  std::string received;
  for (const std::string& line : headerLines(headerBlock)) {
    if (!isHeaderNamed(line, "Set-Cookie")) continue;
    const std::string value(TrimBlanks(std::string_view(line).substr(11)));
    const std::size_t semicolon = value.find(';');
    received += value.substr(0, semicolon);
    received += ';';
    if (storeInJar) CookieJar::instance().setFromHeader(host, value);
  }
  return received;
}

}  // namespace

void setHttpTrace(bool on) {
  traceEnabled().store(on);
}

void setTrustedCertificates(const std::string& pemFile) {
  std::lock_guard lock(trustedMutex());
  trustedFile() = pemFile;
}

std::string trustedCertificates() {
  std::lock_guard lock(trustedMutex());
  return trustedFile();
}

HttpRequestPlan PlanHttpRequest(const HttpRequestRecord& input) {
  HttpRequestRecord record = input;
  normalizeRecord(record);
  const std::string& address = record[kSlotAddress];
  const std::string& method = record[kSlotMethod];
  const std::string& body = record[kSlotBody];
  const std::string& cookieText = record[kSlotCookies];

  HttpRequestPlan plan;
  plan.secure = IsSecureAddress(address);
  plan.host = UrlHost(address);
  plan.path = UrlPath(address);
  plan.port = UrlPort(address);
  plan.followRedirects = record[kSlotRedirect] == kFollowRedirectsText;

  std::string headers = record[kSlotHeaders];
  if (contains(headers, "User-Agent:")) {
    plan.agent = std::string(TrimBlanks(TextBetween(headers, "User-Agent:", "\r\n")));
  } else {
    plan.agent = kDefaultAgent;
  }

  plan.flags = kFlagReload | kFlagNeedFile;
  if (!TrimBlanks(cookieText).empty()) plan.flags |= kFlagNoCookies;
  if (!plan.followRedirects) plan.flags |= kFlagNoAutoRedirect;
  plan.flags = plan.secure ? kFlagSecure : plan.flags | kFlagIgnoreRedirectToHttps;

  if (!contains(headers, "Accept")) headers += kDefaultAcceptLine;
  if (contains(headers, "RefererNo")) {
    const std::size_t marker = headers.find("RefererNo");
    if (marker != std::string::npos) headers.erase(marker, 9);
  } else if (!contains(headers, "Referer")) {
    headers += "Referer: " + address + "\r\n";
  }
  if (!contains(headers, "Accept-Language")) headers += kLanguageLine;
  if (method == "POST" && !body.empty()) {
    if (!contains(headers, "Content-Type")) headers += kFormContentTypeLine;
    if (!contains(headers, "Content-Length")) {
      headers += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    }
  }
  if (!cookieText.empty()) headers += "Cookie: " + cookieText + "\r\n\r\n";
  plan.headerText = std::move(headers);
  return plan;
}

void PerformHttpRequest(HttpRequestRecord& record, const std::atomic<bool>* cancel,
                        const BodySink& sink) {
  normalizeRecord(record);
  const HttpRequestPlan plan = PlanHttpRequest(record);
  const std::string method = record[kSlotMethod];
  const std::string proxy = record[kSlotProxy];
  const std::string body = record[kSlotBody];
  const std::string cookieText = record[kSlotCookies];

  const auto fail = [&record] {
    record[kSlotResponseBody].clear();
    record[kSlotReceivedCookies].clear();
    record[kSlotResponseHeaders].clear();
  };
  // Anything but these two is never sent.
  const bool post = method == "POST";
  if ((!post && method != "GET") || plan.host.empty() || plan.port <= 0) return fail();

  CookieJar& jar = CookieJar::instance();  // also initialises libcurl
  const bool useJar = (plan.flags & kFlagNoCookies) == 0;
  CurlEasy easy(curl_easy_init());
  if (!easy) return fail();
  CURL* h = easy.get();

  Response response;
  response.easy = h;
  response.cancel = cancel;
  response.sink = &sink;
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  if (traceEnabled().load()) curl_easy_setopt(h, CURLOPT_VERBOSE, 1L);
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
  // The size the curl tool reads with: large enough for fast downloads, small enough to come
  // from the heap rather than a fresh mapping on every request.
  curl_easy_setopt(h, CURLOPT_BUFFERSIZE, 100L * 1024L);
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &onBody);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &response);
  curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &onHeader);
  curl_easy_setopt(h, CURLOPT_HEADERDATA, &response);
  curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &onProgress);
  curl_easy_setopt(h, CURLOPT_XFERINFODATA, cancel);
  // Redirects are followed here, hop by hop, so that the flag word decides each one.
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
  // The proxy is the record's alone: for http addresses only, and never one from the environment.
  const bool viaProxy = !plan.secure && !proxy.empty();
  curl_easy_setopt(h, CURLOPT_PROXY, viaProxy ? ("http://" + proxy).c_str() : "");
  curl_easy_setopt(h, CURLOPT_NOPROXY, "");
  const std::string caFile = trustedCertificates();
  if (!caFile.empty()) curl_easy_setopt(h, CURLOPT_CAINFO, caFile.c_str());
  if (!plan.agent.empty()) curl_easy_setopt(h, CURLOPT_USERAGENT, plan.agent.c_str());
  if (useJar) {
    curl_easy_setopt(h, CURLOPT_SHARE, static_cast<CURLSH*>(jar.shareHandle()));
    curl_easy_setopt(h, CURLOPT_COOKIEFILE, "");
  }

  // The composed header text goes out line by line as written. libcurl drops a line whose value
  // is blank, so a cookie text of blanks travels as libcurl's own cookie value instead.
  std::vector<std::string> lines = headerLines(plan.headerText);
  const bool blankCookieText = !cookieText.empty() && TrimBlanks(cookieText).empty();
  if (blankCookieText) {
    std::erase_if(lines, [](const std::string& line) {
      return isHeaderNamed(line, "Cookie") && TrimBlanks(line.substr(7)).empty();
    });
    curl_easy_setopt(h, CURLOPT_COOKIE, cookieText.c_str());
  }
  // Headers that libcurl would add on its own, and that the header text does not call for.
  for (const char* name : {"Accept", "Content-Type", "Expect"}) {
    if (!hasHeaderNamed(lines, name)) lines.push_back(std::string(name) + ":");
  }

  std::string url = std::string(plan.secure ? "https://" : "http://") + plan.host + ":" +
                    std::to_string(plan.port) + plan.path;
  const std::string originalHost = plan.host;
  bool sendBody = post;
  std::string host = plan.host;
  for (int hop = 0;; ++hop) {
    CurlList list;
    for (const std::string& line : lines) {
      // Credentials written for the first host are not handed to another one.
      if (host != originalHost &&
          (isHeaderNamed(line, "Cookie") || isHeaderNamed(line, "Authorization") ||
           isHeaderNamed(line, "Host"))) {
        continue;
      }
      // A POST turned into a GET by a redirect leaves its body, and the lines that describe it.
      if (post && !sendBody &&
          (isHeaderNamed(line, "Content-Length") || isHeaderNamed(line, "Content-Type"))) {
        continue;
      }
      curl_slist* grown = curl_slist_append(list.get(), line.c_str());
      if (grown == nullptr) return fail();
      list.release();
      list.reset(grown);
    }
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, list.get());
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    if (sendBody) {
      curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
      curl_easy_setopt(h, CURLOPT_POSTFIELDS, body.data());
    } else {
      curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    }
    response.body.clear();
    response.headerBlock.clear();
    const CURLcode result = curl_easy_perform(h);
    if (cancel != nullptr && cancel->load()) return;  // abandoned: the caller has moved on
    // Nothing came back. A transfer that broke off in the body keeps what arrived.
    if (response.headerBlock.empty()) return fail();

    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    char* location = nullptr;
    curl_easy_getinfo(h, CURLINFO_REDIRECT_URL, &location);
    const bool followable = plan.followRedirects || plan.secure;
    if (!followable || !isRedirect(status) || location == nullptr || result != CURLE_OK) break;
    const std::string next = location;
    // A redirect to another scheme, or from http to https, is the answer itself.
    const bool nextIsHttp = next.size() >= 7 && FindIgnoringCase(next.substr(0, 7), "http://") == 0;
    if (!nextIsHttp && !IsSecureAddress(next)) break;
    if (IsSecureAddress(next) && (plan.flags & kFlagIgnoreRedirectToHttps) != 0) break;
    if (hop + 1 > kMaxRedirects) {
      if (response.sawSetCookie) jar.publishChanges();
      return fail();
    }
    url = next;
    host = UrlHost(next);
    if (host != originalHost && blankCookieText) curl_easy_setopt(h, CURLOPT_COOKIE, nullptr);
    // Browsers turn a POST into a GET on 301, 302 and 303; 307 and 308 keep it.
    if (status == 301 || status == 302 || status == 303) sendBody = false;
  }

  char* effective = nullptr;
  curl_easy_getinfo(h, CURLINFO_EFFECTIVE_URL, &effective);
  const std::string finalHost = effective != nullptr ? UrlHost(effective) : host;
  // With the jar attached libcurl has stored the received cookies already (with their proper
  // default path); without it they are stored here, as the record asks.
  record[kSlotReceivedCookies] = harvestCookies(response.headerBlock, finalHost, !useJar);
  record[kSlotResponseHeaders] = std::move(response.headerBlock);
  if (sink && !response.body.empty()) {
    // The final response was a redirect that is not followed: its held-back body is the body.
    sink(response.body);
    response.body.clear();
  }
  record[kSlotResponseBody] = std::move(response.body);
  if (response.sawSetCookie) jar.publishChanges();
}

}  // namespace quillet
