#include "net/http_request.h"

#include <curl/curl.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <new>
#include <optional>

#include "net/cookie_jar.h"
#include "net/process_proxy.h"
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
  return findIgnoringCase(text, word) != std::string_view::npos;
}

struct CurlEasyDeleter {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct CurlListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;
using CurlList = std::unique_ptr<curl_slist, CurlListDeleter>;

}  // namespace

std::vector<std::string> requestHeaderLines(std::string_view text) {
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

namespace {

bool hasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

bool isHeaderNamed(std::string_view line, std::string_view name) {
  return line.size() > name.size() && line[name.size()] == ':' &&
         findIgnoringCase(line.substr(0, name.size()), name) == 0;
}

bool hasHeaderNamed(const std::vector<std::string>& lines, std::string_view name) {
  for (const std::string& line : lines) {
    if (isHeaderNamed(line, name)) return true;
  }
  return false;
}

// How much of an announced body is reserved before any of it has arrived: the announcement is
// the server's word only, so a larger body grows the buffer as its bytes come in.
constexpr std::size_t kMaxUpFrontReserve = 1024 * 1024;

// What one transfer (one hop of a redirect chain) hands back.
struct Response {
  CURL* easy = nullptr;
  std::string body;
  std::string headerBlock;  // the latest response's block; a new status line starts a new block
  int status = 0;           // of the latest status line
  bool sawSetCookie = false;
  const std::atomic<bool>* cancel = nullptr;
  const BodySink* sink = nullptr;
  std::size_t maxBody = kMaxBodyInMemory;
  // Why a callback stopped the transfer: the body outgrew maxBody, or memory ran out. Nothing
  // may unwind through libcurl's C frames, so callbacks catch everything and report it here.
  std::string stopReason;
};

bool isRedirect(long status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

size_t takeBody(Response& response, const char* data, size_t bytes) {
  if (response.cancel != nullptr && response.cancel->load(std::memory_order_relaxed)) return 0;
  // A redirect's body is held back: it only counts when the redirect is not followed.
  if (response.sink != nullptr && *response.sink && !isRedirect(response.status)) {
    return (*response.sink)(std::string_view(data, bytes)) ? bytes : 0;
  }
  if (bytes > response.maxBody - response.body.size()) {
    response.stopReason = "the body is larger than the limit of " +
                          std::to_string(response.maxBody) + " bytes held in memory";
    return 0;
  }
  if (response.body.empty()) {
    curl_off_t announced = -1;
    curl_easy_getinfo(response.easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
    if (announced > 0) {
      response.body.reserve(
          std::min({static_cast<std::size_t>(announced), kMaxUpFrontReserve, response.maxBody}));
    }
  }
  response.body.append(data, bytes);
  return bytes;
}

size_t onBody(char* data, size_t size, size_t count, void* user) {
  auto* response = static_cast<Response*>(user);
  try {
    return takeBody(*response, data, size * count);
  } catch (const std::bad_alloc&) {
    response->stopReason = "out of memory for the body";
  } catch (...) {
    response->stopReason = "the body could not be taken";
  }
  return 0;
}

size_t takeHeader(Response& response, std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  if (line.starts_with("HTTP/")) {
    // Interim (100 Continue) and redirect responses come first; only the last block counts.
    response.headerBlock.clear();
    response.body.clear();
    const std::size_t space = line.find(' ');
    response.status = space == std::string_view::npos
                          ? 0
                          : std::atoi(std::string(line.substr(space + 1, 3)).c_str());
  }
  if (line.empty()) return 0;
  if (isHeaderNamed(line, "Set-Cookie")) response.sawSetCookie = true;
  response.headerBlock.append(line);
  response.headerBlock.append("\r\n");
  return 0;
}

size_t onHeader(char* data, size_t size, size_t count, void* user) {
  auto* response = static_cast<Response*>(user);
  try {
    takeHeader(*response, std::string_view(data, size * count));
    return size * count;
  } catch (...) {
    response->stopReason = "out of memory for the header block";
  }
  return 0;
}

int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  const auto* cancel = static_cast<const std::atomic<bool>*>(user);
  return cancel != nullptr && cancel->load(std::memory_order_relaxed) ? 1 : 0;
}

// The received-cookie text and the cookies of the header block: one "name=value;" piece for
// every Set-Cookie line.
std::string harvestCookies(const std::string& headerBlock, const std::string& host, bool storeInJar,
                           const std::atomic<bool>* cancel) {
  std::string received;
  std::vector<std::string> values;
  for (const std::string& line : requestHeaderLines(headerBlock)) {
    if (!isHeaderNamed(line, "Set-Cookie")) continue;
    std::string value(trimBlanks(std::string_view(line).substr(11)));
    const std::size_t semicolon = value.find(';');
    received.append(value, 0, semicolon);
    received += ';';
    if (storeInJar) values.push_back(std::move(value));
  }
  // All of them in one go: an answer may carry thousands.
  if (!values.empty()) CookieJar::instance().storeFromHeaders(host, values, cancel);
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

HttpRequestPlan planHttpRequest(const HttpRequestRecord& input) {
  HttpRequestRecord record = input;
  normalizeRecord(record);
  const std::string& address = record[kSlotAddress];
  const std::string& method = record[kSlotMethod];
  const std::string& body = record[kSlotBody];
  const std::string& cookieText = record[kSlotCookies];

  HttpRequestPlan plan;
  plan.secure = isSecureAddress(address);
  plan.host = urlHost(address);
  plan.path = urlPath(address);
  plan.port = urlPort(address);
  plan.followRedirects = record[kSlotRedirect] == kFollowRedirectsText;

  std::string headers = record[kSlotHeaders];
  if (contains(headers, "User-Agent:")) {
    plan.agent = std::string(trimBlanks(textBetween(headers, "User-Agent:", "\r\n")));
  } else {
    plan.agent = kDefaultAgent;
  }

  plan.flags = kFlagReload | kFlagNeedFile;
  if (!trimBlanks(cookieText).empty()) plan.flags |= kFlagNoCookies;
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

  // A line break in a caller's text would end a header line early and start another one on the
  // wire: the address (it also goes out as the Referer), the cookie text, the proxy, the user
  // agent, or a bare CR inside one of the header text's lines.
  plan.refused = hasLineBreak(address) || hasLineBreak(cookieText) ||
                 hasLineBreak(record[kSlotProxy]) || hasLineBreak(plan.agent);
  for (const std::string& line : requestHeaderLines(plan.headerText)) {
    if (hasLineBreak(line)) plan.refused = true;
  }
  return plan;
}

void performHttpRequest(HttpRequestRecord& record, const std::atomic<bool>* cancel,
                        const BodySink& sink, std::size_t maxBodyBytes, std::string* incomplete) {
  if (incomplete != nullptr) incomplete->clear();
  normalizeRecord(record);
  const HttpRequestPlan plan = planHttpRequest(record);
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
  if ((!post && method != "GET") || plan.host.empty() || plan.port <= 0 || plan.refused) {
    return fail();
  }

  CookieJar& jar = CookieJar::instance();  // also initialises libcurl
  // A cookie text replaces the stored cookies (on https too, where the flag word does not say
  // so): libcurl would otherwise send a second Cookie line of its own from the jar.
  const bool useJar = (plan.flags & kFlagNoCookies) == 0 && trimBlanks(cookieText).empty();
  CurlEasy easy(curl_easy_init());
  if (!easy) return fail();
  CURL* h = easy.get();

  Response response;
  response.easy = h;
  response.cancel = cancel;
  response.sink = &sink;
  response.maxBody = maxBodyBytes;
  char curlError[CURL_ERROR_SIZE] = {};
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, curlError);
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
  // The record's proxy, for http addresses only; else the process's (an account's), for every
  // address; never one from the environment. Loopback is no exception (curl's NOPROXY is empty).
  const std::string ofProcess = processProxy();
  const bool viaProxy = !plan.secure && !proxy.empty();
  const std::string proxyUrl =
      viaProxy ? "http://" + proxy : (proxy.empty() ? ofProcess : std::string());
  curl_easy_setopt(h, CURLOPT_PROXY, proxyUrl.c_str());
  curl_easy_setopt(h, CURLOPT_NOPROXY, "");
  const std::string caFile = trustedCertificates();
  if (!caFile.empty()) curl_easy_setopt(h, CURLOPT_CAINFO, caFile.c_str());
  if (!caFile.empty()) curl_easy_setopt(h, CURLOPT_PROXY_CAINFO, caFile.c_str());
  if (!plan.agent.empty()) curl_easy_setopt(h, CURLOPT_USERAGENT, plan.agent.c_str());
  if (useJar) {
    curl_easy_setopt(h, CURLOPT_SHARE, static_cast<CURLSH*>(jar.shareHandle()));
    curl_easy_setopt(h, CURLOPT_COOKIEFILE, "");
  }

  // The composed header text goes out line by line as written. libcurl drops a line whose value
  // is blank, so a cookie text of blanks travels as libcurl's own cookie value instead.
  std::vector<std::string> lines = requestHeaderLines(plan.headerText);
  const bool blankCookieText = !cookieText.empty() && trimBlanks(cookieText).empty();
  if (blankCookieText) {
    std::erase_if(lines, [](const std::string& line) {
      return isHeaderNamed(line, "Cookie") && trimBlanks(line.substr(7)).empty();
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
  CURLcode result = CURLE_OK;
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
    curlError[0] = '\0';
    result = curl_easy_perform(h);
    if (cancel != nullptr && cancel->load()) return;  // abandoned: the caller has moved on
    // A body past the limit fails the request as a whole.
    if (!response.stopReason.empty()) {
      if (incomplete != nullptr) *incomplete = response.stopReason;
      if (response.sawSetCookie) jar.publishChanges();
      return fail();
    }
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
    const bool nextIsHttp = next.size() >= 7 && findIgnoringCase(next.substr(0, 7), "http://") == 0;
    if (!nextIsHttp && !isSecureAddress(next)) break;
    if (isSecureAddress(next) && (plan.flags & kFlagIgnoreRedirectToHttps) != 0) break;
    if (hop + 1 > kMaxRedirects) {
      if (response.sawSetCookie) jar.publishChanges();
      return fail();
    }
    url = next;
    host = urlHost(next);
    if (host != originalHost && blankCookieText) curl_easy_setopt(h, CURLOPT_COOKIE, nullptr);
    // Browsers turn a POST into a GET on 301, 302 and 303; 307 and 308 keep it.
    if (status == 301 || status == 302 || status == 303) sendBody = false;
  }

  char* effective = nullptr;
  curl_easy_getinfo(h, CURLINFO_EFFECTIVE_URL, &effective);
  const std::string finalHost = effective != nullptr ? urlHost(effective) : host;
  // With the jar attached libcurl has stored the received cookies already (with their proper
  // default path); without it they are stored here, as the record asks.
  if (result != CURLE_OK && incomplete != nullptr) {
    // The answer broke off after its headers: a short body, a bad chunk, headers past libcurl's
    // limit. What arrived is kept; the caller hears why it is not all.
    *incomplete = curlError[0] != '\0' ? curlError : curl_easy_strerror(result);
  }
  record[kSlotReceivedCookies] = harvestCookies(response.headerBlock, finalHost, !useJar, cancel);
  record[kSlotResponseHeaders] = std::move(response.headerBlock);
  if (sink && !response.body.empty()) {
    // The final response was a redirect that is not followed: its held-back body is the body.
    try {
      sink(response.body);
    } catch (...) {
      if (incomplete != nullptr) *incomplete = "the body could not be taken";
    }
    response.body.clear();
  }
  record[kSlotResponseBody] = std::move(response.body);
  if (response.sawSetCookie) jar.publishChanges();
}

}  // namespace quillet
