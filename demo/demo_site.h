#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "demo/demo_options.h"
#include "demo/share_record.h"

namespace quillet {

// The demo share site: a small HTTP server on 127.0.0.1 with the pages that
// Quillet works (sign-in with captcha, start page, share dialog), a record of
// every share, and faults injected at the rates of its options.
class DemoSite {
 public:
  static constexpr const char* kSessionCookie = "QSID";

  explicit DemoSite(DemoOptions options = {});
  ~DemoSite();  // stops the server
  DemoSite(const DemoSite&) = delete;
  DemoSite& operator=(const DemoSite&) = delete;

  // Binds `host`:`port` (port 0: a free port) and serves on a thread of its
  // own. Only loopback hosts are accepted. False when binding fails or the site
  // is already running. start, stop and isRunning belong to one thread.
  bool start(const std::string& host = "127.0.0.1", int port = 0);
  // Stops serving and joins every server thread; pages held open are ended.
  void stop();
  bool isRunning() const;

  int port() const;
  std::string baseUrl() const;  // "http://127.0.0.1:PORT"
  std::string itemUrl(int id) const;

  // Every share that reached the confirm, oldest first (the newest 100000 at
  // most); also served as JSON at /demo/shares.
  std::vector<ShareRecord> shares() const;
  void clearShares();  // also POST /demo/reset
  std::vector<DemoAccount> accounts() const;

  // The captcha text that the session `sessionId` has to type, if a captcha is open.
  std::optional<std::string> sessionCaptcha(const std::string& sessionId) const;
  // The captcha picture served last, and the session it was served to: a test
  // reads what the program's own fetch was shown.
  struct IssuedCaptcha {
    std::string sessionId;
    std::string text;
  };
  std::optional<IssuedCaptcha> lastCaptcha() const;
  // The account that session `sessionId` is signed in with ("" when signed out).
  std::optional<std::string> sessionUser(const std::string& sessionId) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace quillet
