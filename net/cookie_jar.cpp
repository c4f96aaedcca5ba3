#include "net/cookie_jar.h"

#include <curl/curl.h>
#include <libpsl.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <limits>
#include <map>
#include <mutex>
#include <unordered_map>

#include "net/curl_global.h"
#include "net/url_text.h"

namespace quillet {
namespace {

constexpr std::string_view kHttpOnlyPrefix = "#HttpOnly_";

std::int64_t nowSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

bool fieldIsClean(const std::string& field) {
  return field.find_first_of("\t\r\n") == std::string::npos &&
         field.find('\0') == std::string::npos;
}

// A cookie as one line of the Netscape cookie file format, which libcurl takes through
// CURLOPT_COOKIELIST.
std::string netscapeLine(const Cookie& cookie, std::int64_t expires) {
  std::string line;
  if (cookie.httpOnly) line += kHttpOnlyPrefix;
  line += cookie.domain;
  line += cookie.domain.starts_with('.') ? "\tTRUE\t" : "\tFALSE\t";
  line += cookie.path.empty() ? "/" : cookie.path;
  line += cookie.secure ? "\tTRUE\t" : "\tFALSE\t";
  line += std::to_string(expires);
  line += '\t';
  line += cookie.name;
  line += '\t';
  line += cookie.value;
  return line;
}

bool parseNetscapeLine(std::string line, Cookie& cookie) {
  cookie = Cookie{};
  if (line.starts_with(kHttpOnlyPrefix)) {
    cookie.httpOnly = true;
    line.erase(0, kHttpOnlyPrefix.size());
  }
  std::array<std::string, 7> fields;
  std::size_t begin = 0;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const std::size_t tab = i + 1 < fields.size() ? line.find('\t', begin) : std::string::npos;
    if (tab == std::string::npos && i + 1 < fields.size()) {
      // libcurl leaves out the value field of a cookie with an empty value.
      if (i != 5) return false;
      fields[i] = line.substr(begin);
      break;
    }
    fields[i] = line.substr(begin, tab == std::string::npos ? std::string::npos : tab - begin);
    begin = tab + 1;
  }
  cookie.domain = fields[0];
  cookie.path = fields[2];
  cookie.secure = fields[3] == "TRUE";
  cookie.expires = std::strtoll(fields[4].c_str(), nullptr, 10);
  cookie.name = fields[5];
  cookie.value = fields[6];
  return true;
}

// What tells cookies apart in the jar: domain, path and name (none holds a tab).
std::string identityKey(const Cookie& cookie) {
  std::string key = cookie.domain;
  key += '\t';
  key += cookie.path;
  key += '\t';
  key += cookie.name;
  return key;
}

std::string lowered(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// An IPv4 address or a part of one ("0.0.1"), or an IPv6 literal: no name under which other
// hosts could lie.
bool isAddressLike(std::string_view name) {
  if (name.find_first_of(":[]") != std::string_view::npos) return true;
  return !name.empty() && name.find_first_not_of("0123456789.") == std::string_view::npos;
}

// The Public Suffix List as the system has it (the newer of libpsl's built-in copy and the
// publicsuffix package's file). Loaded once and kept for the life of the process.
const psl_ctx_t* publicSuffixes() {
  static const psl_ctx_t* const list = [] {
    const psl_ctx_t* latest = psl_latest(nullptr);
    return latest != nullptr ? latest : psl_builtin();
  }();
  return list;
}

// Whether a cookie may be widened to `domain` (small letters, no leading dot): a name that
// other sites share (a public suffix such as "com" or "co.uk") or a part of an address never is.
bool isWidenableDomain(std::string_view domain) {
  if (domain.empty() || isAddressLike(domain)) return false;
  const psl_ctx_t* list = publicSuffixes();
  const std::string name(domain);
  return list == nullptr || !psl_is_public_suffix(list, name.c_str());
}

std::int64_t saturatingAdd(std::int64_t now, long long seconds) {
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  return seconds > kMax - now ? kMax : now + seconds;
}

}  // namespace

struct CookieJar::State {
  CURLSH* share = nullptr;
  std::array<std::mutex, CURL_LOCK_DATA_LAST> shareLocks;

  // One easy handle attached to the share, through which the jar reads and writes the cookies.
  std::mutex easyMutex;
  CURL* easy = nullptr;

  // What listeners were last told; publishChanges() reports the difference.
  std::mutex knownMutex;
  std::vector<Cookie> known;

  // Stores `cookie` in libcurl's jar without telling anyone; false when it is refused.
  bool store(const Cookie& cookie);

  std::mutex listenersMutex;
  std::map<int, Listener> listeners;
  int nextToken = 1;

  // Held while listeners run, so that removeListener() can wait for a running call to end.
  // Recursive: a listener may change the jar, which notifies again on the same thread.
  std::recursive_mutex dispatchMutex;

  static void lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
    static_cast<State*>(self)->shareLocks[data].lock();
  }
  static void unlock(CURL*, curl_lock_data data, void* self) {
    static_cast<State*>(self)->shareLocks[data].unlock();
  }
};

CookieJar& CookieJar::instance() {
  // Never destroyed: a worker thread that is still winding down when the process exits may use
  // the jar to the very end.
  static CookieJar* const jar = new CookieJar;
  return *jar;
}

CookieJar::CookieJar() : state_(std::make_unique<State>()) {
  detail::ensureCurlGlobalInit();
  state_->share = curl_share_init();
  curl_share_setopt(state_->share, CURLSHOPT_LOCKFUNC, &State::lock);
  curl_share_setopt(state_->share, CURLSHOPT_UNLOCKFUNC, &State::unlock);
  curl_share_setopt(state_->share, CURLSHOPT_USERDATA, state_.get());
  curl_share_setopt(state_->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
  state_->easy = curl_easy_init();
  curl_easy_setopt(state_->easy, CURLOPT_SHARE, state_->share);
  curl_easy_setopt(state_->easy, CURLOPT_COOKIEFILE, "");
}

CookieJar::~CookieJar() {
  curl_easy_cleanup(state_->easy);
  curl_share_cleanup(state_->share);
}

void* CookieJar::shareHandle() const {
  return state_->share;
}

std::vector<Cookie> CookieJar::all() const {
  std::vector<Cookie> cookies;
  curl_slist* list = nullptr;
  {
    std::lock_guard lock(state_->easyMutex);
    curl_easy_getinfo(state_->easy, CURLINFO_COOKIELIST, &list);
  }
  const std::int64_t now = nowSeconds();
  for (curl_slist* item = list; item != nullptr; item = item->next) {
    Cookie cookie;
    if (!parseNetscapeLine(item->data, cookie)) continue;
    if (cookie.expires != 0 && cookie.expires <= now) continue;  // removed, or run out
    cookies.push_back(std::move(cookie));
  }
  curl_slist_free_all(list);
  return cookies;
}

bool CookieJar::State::store(const Cookie& cookie) {
  // A domain that begins with "#" is no host name, and in libcurl's cookie lines it would read as
  // a comment or the HttpOnly mark.
  if (cookie.domain.empty() || cookie.domain == "." || cookie.domain.starts_with('#') ||
      cookie.name.empty()) {
    return false;
  }
  if (!fieldIsClean(cookie.domain) || !fieldIsClean(cookie.path) || !fieldIsClean(cookie.name) ||
      !fieldIsClean(cookie.value)) {
    return false;
  }
  // A domain cookie for a public suffix or a part of an address would go to every host under it.
  if (cookie.domain.starts_with('.') && !isWidenableDomain(lowered(cookie.domain.substr(1)))) {
    return false;
  }
  // An expiry already past is written as 1 (the epoch's first second), which libcurl reads as
  // "expired" rather than as 0, its mark of a session cookie.
  const std::int64_t expires =
      cookie.expires != 0 && cookie.expires <= nowSeconds() ? 1 : cookie.expires;
  std::lock_guard lock(easyMutex);
  curl_easy_setopt(easy, CURLOPT_COOKIELIST, netscapeLine(cookie, expires).c_str());
  return true;
}

void CookieJar::set(const Cookie& cookie) {
  if (state_->store(cookie)) publishChanges();
}

void CookieJar::remove(const Cookie& cookie) {
  Cookie gone = cookie;
  gone.expires = 1;
  set(gone);
}

std::optional<Cookie> CookieJar::parseSetCookie(const std::string& host,
                                                const std::string& nameValue) {
  std::vector<std::string_view> parts;
  std::string_view rest = nameValue;
  for (;;) {
    const std::size_t semicolon = rest.find(';');
    parts.push_back(rest.substr(0, semicolon));
    if (semicolon == std::string_view::npos) break;
    rest.remove_prefix(semicolon + 1);
  }
  const std::size_t equals = parts[0].find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  Cookie cookie;
  cookie.name = std::string(trimBlanks(parts[0].substr(0, equals)));
  cookie.value = std::string(trimBlanks(parts[0].substr(equals + 1)));
  if (cookie.name.empty() || host.empty()) return std::nullopt;
  cookie.domain = host;
  cookie.path.assign(1, '/');  // spelled so to spare GCC 12 a false -Wrestrict
  std::optional<std::int64_t> maxAge;
  for (std::size_t i = 1; i < parts.size(); ++i) {
    const std::string_view attribute = trimBlanks(parts[i]);
    const std::size_t eq = attribute.find('=');
    const std::string key = lowered(std::string(trimBlanks(attribute.substr(0, eq))));
    const std::string value(eq == std::string_view::npos ? std::string_view{}
                                                         : trimBlanks(attribute.substr(eq + 1)));
    if (key == "path" && value.starts_with('/')) {
      cookie.path = value;
    } else if (key == "domain" && !value.empty()) {
      const std::string domain = lowered(value.starts_with('.') ? value.substr(1) : value);
      // A site may widen a cookie to a domain it belongs to, never to another site, nor to a name
      // that many sites share or a part of an address; the cookie then stays with its host.
      const bool hostBelongs =
          domain == host || (host.size() > domain.size() && host.ends_with("." + domain));
      if (hostBelongs && !isAddressLike(host) && isWidenableDomain(domain)) {
        cookie.domain = "." + domain;
      }
    } else if (key == "expires" && !maxAge) {
      const time_t when = curl_getdate(value.c_str(), nullptr);
      if (when != -1) cookie.expires = when <= 0 ? 1 : static_cast<std::int64_t>(when);
    } else if (key == "max-age") {
      char* end = nullptr;
      const long long seconds = std::strtoll(value.c_str(), &end, 10);
      if (end != value.c_str()) {
        maxAge = seconds;
        // A Max-Age beyond what the clock can count means "for a very long time".
        cookie.expires = seconds <= 0 ? 1 : saturatingAdd(nowSeconds(), seconds);
      }
    } else if (key == "secure") {
      cookie.secure = true;
    } else if (key == "httponly") {
      cookie.httpOnly = true;
    }
  }
  return cookie;
}

bool CookieJar::setFromHeader(const std::string& host, const std::string& nameValue) {
  const std::optional<Cookie> cookie = parseSetCookie(host, nameValue);
  if (!cookie) return false;
  set(*cookie);
  return true;
}

std::size_t CookieJar::storeFromHeaders(const std::string& host,
                                        const std::vector<std::string>& nameValues,
                                        const std::atomic<bool>* cancel) {
  std::size_t taken = 0;
  for (const std::string& nameValue : nameValues) {
    if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) break;
    const std::optional<Cookie> cookie = parseSetCookie(host, nameValue);
    if (cookie && state_->store(*cookie)) ++taken;
  }
  publishChanges();
  return taken;
}

void CookieJar::clear() {
  {
    std::lock_guard lock(state_->easyMutex);
    curl_easy_setopt(state_->easy, CURLOPT_COOKIELIST, "ALL");
  }
  publishChanges();
}

int CookieJar::addListener(Listener listener) {
  std::lock_guard lock(state_->listenersMutex);
  const int token = state_->nextToken++;
  state_->listeners.emplace(token, std::move(listener));
  return token;
}

void CookieJar::removeListener(int token) {
  std::lock_guard dispatch(state_->dispatchMutex);
  std::lock_guard lock(state_->listenersMutex);
  state_->listeners.erase(token);
}

void CookieJar::publishChanges() {
  std::lock_guard dispatch(state_->dispatchMutex);
  std::vector<std::pair<Cookie, bool>> changes;
  {
    std::lock_guard lock(state_->knownMutex);
    std::vector<Cookie> current = all();
    // One pass over each list through an index of the other, so that a jar of many cookies
    // publishes in time proportional to its size.
    std::unordered_map<std::string, const Cookie*> currentByKey;
    currentByKey.reserve(current.size());
    for (const Cookie& cookie : current) currentByKey.emplace(identityKey(cookie), &cookie);
    std::unordered_map<std::string, const Cookie*> knownByKey;
    knownByKey.reserve(state_->known.size());
    for (const Cookie& old : state_->known) {
      std::string key = identityKey(old);
      if (currentByKey.count(key) == 0) changes.emplace_back(old, true);
      knownByKey.emplace(std::move(key), &old);
    }
    for (const Cookie& now : current) {
      const auto old = knownByKey.find(identityKey(now));
      if (old == knownByKey.end() || !(*old->second == now)) changes.emplace_back(now, false);
    }
    state_->known = std::move(current);
  }
  if (changes.empty()) return;
  std::vector<std::pair<int, Listener>> listeners;
  {
    std::lock_guard lock(state_->listenersMutex);
    listeners.assign(state_->listeners.begin(), state_->listeners.end());
  }
  for (const auto& [cookie, removed] : changes) {
    for (const auto& [token, listener] : listeners) {
      // A listener removed by an earlier call of this loop hears nothing more.
      bool registered;
      {
        std::lock_guard lock(state_->listenersMutex);
        registered = state_->listeners.count(token) != 0;
      }
      if (registered) listener(cookie, removed);
    }
  }
}

}  // namespace quillet
