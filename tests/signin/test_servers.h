#pragma once

#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace quillet::testing {

/// A small cookie server on 127.0.0.1 and a free port, for as long as the
/// object lives:
///   /set?name=N&value=V[&httponly=1]  answers with that Set-Cookie
///   /echo                             answers with the Cookie header it got
class CookieServer {
 public:
  CookieServer() {
    server_.Get("/set", [](const httplib::Request& request, httplib::Response& response) {
      std::string cookie =
          request.get_param_value("name") + "=" + request.get_param_value("value") + "; Path=/";
      if (request.has_param("httponly")) cookie += "; HttpOnly";
      response.set_header("Set-Cookie", cookie);
      response.set_content("<html><body>set</body></html>", "text/html");
    });
    server_.Get("/echo", [this](const httplib::Request& request, httplib::Response& response) {
      const std::string cookies = request.get_header_value("Cookie");
      {
        std::lock_guard lock(mutex_);
        lastCookies_ = cookies;
      }
      response.set_content(cookies, "text/plain");
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    if (port_ <= 0) return;
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    // stop() only reaches a server that is already running.
    while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~CookieServer() {
    server_.stop();
    if (thread_.joinable()) thread_.join();
  }
  CookieServer(const CookieServer&) = delete;
  CookieServer& operator=(const CookieServer&) = delete;

  std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }
  std::string lastCookies() const {
    std::lock_guard lock(mutex_);
    return lastCookies_;
  }

 private:
  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::string lastCookies_;
};

/// A login form on 127.0.0.1 (text boxes 2 to 4 and button 2, like the
/// share site's) whose submission is never answered while the object lives.
class StallingLoginServer {
 public:
  StallingLoginServer() {
    server_.Get("/logon", [](const httplib::Request&, httplib::Response& response) {
      response.set_content(
          "<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body>"
          "<form method=\"post\" action=\"/logon\"><input type=\"text\" name=\"q\">"
          "<input type=\"text\" name=\"u\"><input type=\"password\" name=\"p\">"
          "<input type=\"text\" name=\"c\"><input type=\"submit\" value=\"search\">"
          "<input type=\"submit\" value=\"login\"></form></body></html>",
          "text/html");
    });
    server_.Post("/logon", [this](const httplib::Request&, httplib::Response& response) {
      std::unique_lock lock(mutex_);
      released_.wait_for(lock, std::chrono::seconds(120), [this] { return stopping_; });
      response.set_content("late", "text/plain");
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    if (port_ <= 0) return;
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~StallingLoginServer() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    released_.notify_all();
    server_.stop();
    if (thread_.joinable()) thread_.join();
  }
  StallingLoginServer(const StallingLoginServer&) = delete;
  StallingLoginServer& operator=(const StallingLoginServer&) = delete;

  std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }

 private:
  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable released_;
  bool stopping_ = false;
};

/// A listening socket on 127.0.0.1 that never accepts: the kernel completes
/// connections to it, and no answer ever comes.
class SilentServer {
 public:
  SilentServer() {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::listen(fd_, 16) == 0 &&
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
      port_ = ntohs(address.sin_port);
    }
  }
  ~SilentServer() {
    if (fd_ >= 0) ::close(fd_);
  }
  SilentServer(const SilentServer&) = delete;
  SilentServer& operator=(const SilentServer&) = delete;

  int port() const { return port_; }
  std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }

 private:
  int fd_ = -1;
  int port_ = 0;
};

}  // namespace quillet::testing
