#include "demo/demo_site.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <mutex>
#include <random>
#include <thread>

#include "demo/captcha_image.h"
#include "demo/connection_drop.h"
#include "demo/demo_pages.h"
#include "demo/fault_dice.h"
#include "demo/item_address.h"
#include "demo/session_store.h"

namespace quillet {
namespace {

constexpr const char* kHtml = "text/html; charset=utf-8";
constexpr const char* kJson = "application/json; charset=utf-8";
constexpr std::size_t kMaxBody = 64 * 1024;
constexpr std::size_t kWorkerThreads = 48;
constexpr std::size_t kMaxRecords = 100000;
// The site's own answers; the program looks for these texts in the pages.
constexpr const char* kWrongAccount = "用户名或密码错误";
constexpr const char* kCaptchaMissing = "请输入验证码";
constexpr const char* kCaptchaWrong = "验证码错误";
constexpr const char* kWrongLink = "宝贝链接好像不对";
constexpr const char* kShareMade = "分享成功";
constexpr const char* kShareFailed = "分享失败，请稍后再试";
constexpr const char* kShareMadeMoved = "宝贝已转发";  // the moved layout's wording
constexpr const char* kTooOften = "分享太频繁，请稍后再试";

using SteadyTime = std::chrono::steady_clock::time_point;

SteadyTime secondsFromNow(double seconds) {
  return std::chrono::steady_clock::now() +
         std::chrono::duration_cast<std::chrono::steady_clock::duration>(
             std::chrono::duration<double>(seconds));
}

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

// The value of cookie `name` in the request's Cookie headers, or "".
std::string cookieValue(const httplib::Request& request, const std::string& name) {
  const auto count = request.get_header_value_count("Cookie");
  for (std::size_t i = 0; i < count; ++i) {
    const std::string header = request.get_header_value("Cookie", i);
    std::size_t position = 0;
    while (position < header.size()) {
      auto end = header.find(';', position);
      if (end == std::string::npos) end = header.size();
      const std::string pair = trimmed(header.substr(position, end - position));
      const auto equals = pair.find('=');
      if (equals != std::string::npos && pair.compare(0, equals, name) == 0 &&
          equals == name.size()) {
        return pair.substr(equals + 1);
      }
      position = end + 1;
    }
  }
  return {};
}

void localTimeText(std::string& text, std::int64_t& millis) {
  const auto now = std::chrono::system_clock::now();
  millis = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&seconds, &local);
  char buffer[32];
  std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &local);
  text = buffer;
}

// Captcha texts come from the operating system's randomness, never from the
// seeded fault draws, so a known seed does not reveal them.
std::string randomDigits(int count) {
  std::random_device device;
  std::string text;
  for (int i = 0; i < count; ++i) {
    text += static_cast<char>('0' + std::uniform_int_distribution<int>(0, 9)(device));
  }
  return text;
}

std::string answerJson(bool ok, const std::string& message) {
  return std::string("{\"ok\":") + (ok ? "true" : "false") + ",\"message\":\"" +
         jsonEscaped(message) + "\"}";
}

}  // namespace

struct DemoSite::Impl {
  explicit Impl(DemoOptions given)
      : options(std::move(given)), accounts(options.effectiveAccounts()), dice(options.seed) {}

  DemoOptions options;
  std::vector<DemoAccount> accounts;
  FaultDice dice;
  SessionStore sessions;

  std::unique_ptr<httplib::Server> server;
  std::thread thread;
  std::atomic<int> port{0};

  mutable std::mutex recordsMutex;
  std::vector<ShareRecord> records;
  std::set<int> failedOnce;                  // the --fail-once items whose one failure was given
  std::optional<IssuedCaptcha> lastCaptcha;  // guarded by recordsMutex

  std::mutex stopMutex;
  std::condition_variable stopSignal;
  bool stopping = false;

  // The site-wide conditions that follow the Nth share.
  mutable std::mutex conditionsMutex;
  int sharesCounted = 0;
  std::optional<SteadyTime> muteUntil;
  std::optional<SteadyTime> outageUntil;

  bool during(const std::optional<SteadyTime>& until) const {
    std::lock_guard lock(conditionsMutex);
    return until && std::chrono::steady_clock::now() < *until;
  }

  // Counts a share that reached the confirm and begins the conditions due at
  // this count; true when the session that made it is to be signed out.
  bool countShare() {
    std::lock_guard lock(conditionsMutex);
    ++sharesCounted;
    if (sharesCounted == options.muteAfter) muteUntil = secondsFromNow(options.muteSeconds);
    if (sharesCounted == options.outageAfter) {
      outageUntil = secondsFromNow(options.outageSeconds);
    }
    return sharesCounted == options.signOutAfter;
  }

  // Waits `milliseconds`, or less when the site stops; true when the full time passed.
  bool pause(int milliseconds) {
    std::unique_lock lock(stopMutex);
    return !stopSignal.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                [this] { return stopping; });
  }

  bool accountMatches(const std::string& user, const std::string& password) const {
    return std::any_of(accounts.begin(), accounts.end(), [&](const DemoAccount& account) {
      return account.user == user && account.password == password;
    });
  }

  static void setSessionCookie(httplib::Response& response, const std::string& id) {
    response.set_header(
        "Set-Cookie", std::string(kSessionCookie) + "=" + id + "; Path=/; HttpOnly; SameSite=Lax");
  }

  // The request's session, made (and sent as a cookie) when it has none.
  std::string ensureSession(const httplib::Request& request, httplib::Response& response) {
    std::string id = cookieValue(request, kSessionCookie);
    if (!id.empty() && sessions.update(id, [](Session&) {})) return id;
    id = sessions.create();
    setSessionCookie(response, id);
    return id;
  }

  // The signed-in user of the request's session, or "".
  std::string signedInUser(const httplib::Request& request) {
    const std::string id = cookieValue(request, kSessionCookie);
    if (id.empty()) return {};
    std::string user;
    sessions.update(id, [&user](Session& session) { user = session.user; });
    return user;
  }

  // Markup that keeps the page loading: a deferred script whose response does
  // not end, so the document never reaches readyState "complete".
  std::string pageTail() {
    if (!dice.roll(options.stallRate)) return {};
    return "<script src=\"/assets/pending.js?n=" + std::to_string(dice.next() % 1000000) +
           "\" defer></script>";
  }

  void sendHtml(httplib::Response& response, const std::string& page) {
    response.set_header("Cache-Control", "no-store");
    response.set_content(page, kHtml);
  }

  int sharesMadeBy(const std::string& user) const {
    std::lock_guard lock(recordsMutex);
    return static_cast<int>(std::count_if(
        records.begin(), records.end(), [&](const auto& r) { return r.ok && r.account == user; }));
  }

  // Faults that come before any handling: a dropped connection or a delay.
  httplib::Server::HandlerResponse beforeRouting(const httplib::Request& request,
                                                 httplib::Response& response) {
    if (request.path.rfind("/demo/", 0) == 0 || request.path == "/assets/pending.js") {
      return httplib::Server::HandlerResponse::Unhandled;
    }
    if (during(outageUntil) || dice.roll(options.dropRate)) {
      dropConnection(port, request.remote_addr, request.remote_port);
      response.status = 503;
      return httplib::Server::HandlerResponse::Handled;
    }
    if (options.latencyMaxMs > 0) {
      pause(dice.between(options.latencyMinMs, options.latencyMaxMs));
    }
    return httplib::Server::HandlerResponse::Unhandled;
  }

  void onLogonPage(const httplib::Request& request, httplib::Response& response) {
    ensureSession(request, response);
    const std::string user = signedInUser(request);
    sendHtml(response, user.empty() ? loginPage({}, pageTail(), options.inertLogin)
                                    : startPage(user, port, pageTail()));
  }

  void onLogin(const httplib::Request& request, httplib::Response& response) {
    const std::string id = ensureSession(request, response);
    const std::string user = request.get_param_value("username");
    const std::string password = request.get_param_value("password");
    const std::string typed = trimmed(request.get_param_value("checkcode"));

    // Every attempt uses up the captcha it was made with. A fixed captcha is
    // always the expected text, so scripted runs need not fetch the picture first.
    std::string expected = options.fixedCaptcha;
    sessions.update(id, [&expected](Session& session) {
      if (expected.empty()) expected = session.captcha;
      session.captcha.clear();
    });

    const char* notice = nullptr;
    if (!accountMatches(user, password)) {
      notice = kWrongAccount;
    } else if (typed.empty()) {
      notice = kCaptchaMissing;
    } else if (expected.empty() || !equalsIgnoringCase(typed, expected)) {
      notice = kCaptchaWrong;
    }
    if (notice) {
      sendHtml(response, loginPage(notice, pageTail(), options.inertLogin));
      return;
    }
    // A fresh session id on sign-in, so an id known before it is worth nothing after.
    sessions.erase(id);
    Session signedIn;
    signedIn.user = user;
    setSessionCookie(response, sessions.create(std::move(signedIn)));
    response.set_redirect("/logon", 302);
  }

  void onLogout(const httplib::Request& request, httplib::Response& response) {
    const std::string id = cookieValue(request, kSessionCookie);
    if (!id.empty()) sessions.erase(id);
    response.set_header(
        "Set-Cookie", std::string(kSessionCookie) + "=; Path=/; Max-Age=0; HttpOnly; SameSite=Lax");
    sendHtml(response, signedOutPage(pageTail()));
  }

  void onCaptcha(const httplib::Request& request, httplib::Response& response) {
    const std::string id = ensureSession(request, response);
    std::string text = options.fixedCaptcha;
    if (text.empty()) text = randomDigits(4);
    sessions.update(id, [&text](Session& session) { session.captcha = text; });
    {
      std::lock_guard lock(recordsMutex);
      lastCaptcha = IssuedCaptcha{id, text};
    }
    response.set_header("Cache-Control", "no-store, no-cache, must-revalidate");
    response.set_header("Pragma", "no-cache");
    response.set_content(captchaPng(text, dice.next()), "image/png");
  }

  void onSharePage(const httplib::Request& request, httplib::Response& response) {
    const std::string user = signedInUser(request);
    if (user.empty()) {
      response.set_redirect("/logon", 302);
      return;
    }
    const int made = sharesMadeBy(user);
    sendHtml(response, options.movedLayout ? movedSharePage(user, made, pageTail())
                                           : sharePage(user, made, pageTail()));
  }

  void onShareCheck(const httplib::Request& request, httplib::Response& response) {
    response.set_header("Cache-Control", "no-store");
    const std::string id = cookieValue(request, kSessionCookie);
    if (signedInUser(request).empty()) {
      response.set_content(answerJson(false, "请先登录"), kJson);
      return;
    }
    const std::string address = request.get_param_value("url");
    auto item = parseItemAddress(address, port);
    if (item && dice.roll(options.wrongLinkRate)) item.reset();

    const std::string token = item ? SessionStore::randomHex(16) : std::string();
    sessions.update(id, [&](Session& session) {
      session.pendingItem = item.value_or(0);
      session.pendingAddress = item ? address : std::string();
      session.pendingToken = token;
    });
    if (!item) {
      response.set_content(answerJson(false, kWrongLink), kJson);
      return;
    }
    response.set_content("{\"ok\":true,\"item\":" + std::to_string(*item) + ",\"title\":\"" +
                             jsonEscaped(itemTitle(*item)) + "\",\"token\":\"" + token + "\"}",
                         kJson);
  }

  void onShareConfirm(const httplib::Request& request, httplib::Response& response) {
    response.set_header("Cache-Control", "no-store");
    const std::string id = cookieValue(request, kSessionCookie);
    const std::string token = request.get_param_value("token");
    ShareRecord record;
    bool pending = false;
    sessions.update(id, [&](Session& session) {
      // A confirm belongs to the latest accepted address and is used up by it.
      pending = !session.user.empty() && session.pendingItem != 0 && !token.empty() &&
                token == session.pendingToken;
      if (pending) {
        record.account = session.user;
        record.item = session.pendingItem;
        record.address = session.pendingAddress;
      }
      session.pendingItem = 0;
      session.pendingAddress.clear();
      session.pendingToken.clear();
    });
    if (!pending) {
      response.set_content(answerJson(false, "请先输入宝贝链接"), kJson);
      return;
    }
    if (during(muteUntil)) {
      // A muted account's shares are turned away before they are made.
      response.set_content(answerJson(false, kTooOften), kJson);
      return;
    }
    record.comment = request.get_param_value("comment");
    record.ok = options.failItems.count(record.item) == 0 && !dice.roll(options.failRate);
    if (options.failOnceItems.count(record.item) > 0) {
      std::lock_guard lock(recordsMutex);
      if (failedOnce.insert(record.item).second) record.ok = false;
    }
    localTimeText(record.time, record.timeMs);
    {
      std::lock_guard lock(recordsMutex);
      // Bounded, so that a client sharing without end cannot exhaust memory:
      // the oldest tenth goes when the record is full.
      if (records.size() >= kMaxRecords) {
        records.erase(records.begin(), records.begin() + kMaxRecords / 10);
      }
      records.push_back(record);
    }
    if (countShare()) {
      sessions.update(id, [](Session& session) { session.user.clear(); });
    }
    const char* made = options.movedLayout ? kShareMadeMoved : kShareMade;
    response.set_content(answerJson(record.ok, record.ok ? made : kShareFailed), kJson);
  }

  // The stalled resource: trickles one space a second (which also finds out
  // when the browser has gone away) until the stall time is over or the site stops.
  void onPending(const httplib::Request&, httplib::Response& response) {
    const auto until =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(options.stallMs);
    response.set_header("Cache-Control", "no-store");
    response.set_chunked_content_provider(
        "text/javascript", [this, until](std::size_t, httplib::DataSink& sink) {
          const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
              until - std::chrono::steady_clock::now());
          if (left.count() <= 0 ||
              !pause(static_cast<int>(std::min<long long>(left.count(), 1000)))) {
            sink.done();
            return true;
          }
          return sink.write(" ", 1);
        });
  }

  void routes() {
    auto& s = *server;
    // Address reuse only: the library's default also sets SO_REUSEPORT, which
    // would let a second site bind the same port and take half its visitors.
    s.set_socket_options([](socket_t socket) {
      const int on = 1;
      setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    });
    s.set_payload_max_length(kMaxBody);
    s.set_keep_alive_timeout(2);
    s.set_read_timeout(5);
    s.set_write_timeout(5);
    s.new_task_queue = [] { return new httplib::ThreadPool(kWorkerThreads); };
    s.set_pre_routing_handler(
        [this](const httplib::Request& q, httplib::Response& r) { return beforeRouting(q, r); });

    s.Get("/", [](const httplib::Request&, httplib::Response& r) { r.set_redirect("/logon"); });
    s.Get("/logon", [this](const auto& q, auto& r) { onLogonPage(q, r); });
    s.Post("/logon", [this](const httplib::Request& q, httplib::Response& r) { onLogin(q, r); });
    s.Get("/users/logout", [this](const auto& q, auto& r) { onLogout(q, r); });
    s.Get("/css/checkCode.php", [this](const auto& q, auto& r) { onCaptcha(q, r); });
    s.Get("/share", [this](const auto& q, auto& r) { onSharePage(q, r); });
    s.Post("/share/check",
           [this](const httplib::Request& q, httplib::Response& r) { onShareCheck(q, r); });
    s.Post("/share/confirm",
           [this](const httplib::Request& q, httplib::Response& r) { onShareConfirm(q, r); });
    s.Get("/js/share.js", [](const httplib::Request&, httplib::Response& r) {
      r.set_content(std::string(shareScript()), "text/javascript; charset=utf-8");
    });
    s.Get("/assets/pending.js", [this](const auto& q, auto& r) { onPending(q, r); });
    s.Get(R"(/item/(\d{1,6}))", [this](const httplib::Request& q, httplib::Response& r) {
      const auto id = parseItemId(q.matches[1].str());
      if (!id) {
        r.status = 404;
        return;
      }
      sendHtml(r, itemPage(*id, pageTail()));
    });
    s.Get("/search", [this](const httplib::Request& q, httplib::Response& r) {
      sendHtml(r, searchPage(q.get_param_value("q"), port, pageTail()));
    });
    s.Get("/favicon.ico", [](const auto&, auto& r) { r.status = 204; });
    s.Get("/demo/shares", [this](const auto&, httplib::Response& r) {
      std::lock_guard lock(recordsMutex);
      r.set_header("Cache-Control", "no-store");
      r.set_content(sharesToJson(records), kJson);
    });
    s.Post("/demo/reset", [this](const httplib::Request&, httplib::Response& r) {
      std::lock_guard lock(recordsMutex);
      records.clear();
      r.set_content("[]", kJson);
    });
    s.set_error_handler([](const httplib::Request&, httplib::Response& r) {
      if (!r.body.empty()) return;
      if (r.status == 404) {
        r.set_content(notFoundPage(), kHtml);
      } else {
        r.set_content("HTTP " + std::to_string(r.status) + "\n", "text/plain; charset=utf-8");
      }
    });
    s.set_exception_handler([](const httplib::Request&, httplib::Response& r, std::exception_ptr) {
      r.status = 500;
      r.set_content("服务器忙，请稍后再试\n", "text/plain; charset=utf-8");
    });
  }
};

DemoSite::DemoSite(DemoOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {}

DemoSite::~DemoSite() {
  stop();
}

bool DemoSite::start(const std::string& host, int port) {
  if (impl_->server) return false;
  if (host != "127.0.0.1" && host != "localhost") return false;
  if (port < 0 || port > 65535) return false;
  {
    std::lock_guard lock(impl_->stopMutex);
    impl_->stopping = false;
  }
  impl_->server = std::make_unique<httplib::Server>();
  impl_->routes();
  int bound = port;
  if (port == 0) {
    bound = impl_->server->bind_to_any_port("127.0.0.1");
  } else if (!impl_->server->bind_to_port("127.0.0.1", port)) {
    bound = -1;
  }
  if (bound <= 0) {
    impl_->server.reset();
    return false;
  }
  impl_->port = bound;
  impl_->thread = std::thread([server = impl_->server.get()] { server->listen_after_bind(); });
  // stop() only reaches a server whose accept loop has begun; the socket
  // already listens, so clients may connect in the meantime.
  for (int i = 0; i < 5000 && !impl_->server->is_running(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

void DemoSite::stop() {
  if (!impl_->server) return;
  {
    std::lock_guard lock(impl_->stopMutex);
    impl_->stopping = true;
  }
  impl_->stopSignal.notify_all();
  impl_->server->stop();
  if (impl_->thread.joinable()) impl_->thread.join();
  impl_->server.reset();
}

bool DemoSite::isRunning() const {
  return impl_->server && impl_->server->is_running();
}

int DemoSite::port() const {
  return impl_->port;
}

std::string DemoSite::baseUrl() const {
  return "http://127.0.0.1:" + std::to_string(port());
}

std::string DemoSite::itemUrl(int id) const {
  return itemAddress(port(), id);
}

std::vector<ShareRecord> DemoSite::shares() const {
  std::lock_guard lock(impl_->recordsMutex);
  return impl_->records;
}

void DemoSite::clearShares() {
  std::lock_guard lock(impl_->recordsMutex);
  impl_->records.clear();
}

std::vector<DemoAccount> DemoSite::accounts() const {
  return impl_->accounts;
}

std::optional<std::string> DemoSite::sessionCaptcha(const std::string& sessionId) const {
  const auto session = impl_->sessions.find(sessionId);
  if (!session || session->captcha.empty()) return std::nullopt;
  return session->captcha;
}

std::optional<DemoSite::IssuedCaptcha> DemoSite::lastCaptcha() const {
  std::lock_guard lock(impl_->recordsMutex);
  return impl_->lastCaptcha;
}

std::optional<std::string> DemoSite::sessionUser(const std::string& sessionId) const {
  const auto session = impl_->sessions.find(sessionId);
  if (!session) return std::nullopt;
  return session->user;
}

}  // namespace quillet
