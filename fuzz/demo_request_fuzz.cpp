// The demo site's request handling, from the bytes of a request on: each input goes to a running
// site over a fresh connection, exactly as a browser's request would, and the answer is read to
// its end. The site parses the request line, headers, cookies, form fields and item addresses.
//
// "@SID@" in an input stands for the session cookie of an account signed in just before, so
// that the pages behind the sign-in are reached too. The item-address parser is also fed the
// input directly.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "demo/demo_site.h"
#include "demo/item_address.h"

namespace {

constexpr std::string_view kSessionMark = "@SID@";
constexpr char kCaptcha[] = "7391";

class Socket {
 public:
  explicit Socket(int port) : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
    if (fd_ < 0) return;
    timeval timeout{3, 0};
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~Socket() {
    if (fd_ >= 0) ::close(fd_);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  // Sends `request`, ends the sending side and returns what came back until the site closed.
  std::string exchange(std::string_view request) {
    std::string answer;
    if (fd_ < 0) return answer;
    while (!request.empty()) {
      const ssize_t sent = ::send(fd_, request.data(), request.size(), MSG_NOSIGNAL);
      if (sent <= 0) break;
      request.remove_prefix(static_cast<std::size_t>(sent));
    }
    ::shutdown(fd_, SHUT_WR);
    char buffer[16384];
    for (;;) {
      const ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
      if (got <= 0) break;
      answer.append(buffer, static_cast<std::size_t>(got));
    }
    return answer;
  }

 private:
  int fd_;
};

quillet::DemoSite& site() {
  static quillet::DemoSite* running = [] {
    quillet::DemoOptions options;
    options.fixedCaptcha = kCaptcha;
    options.stallMs = 20;  // a page held loading ends soon
    options.seed = 1;
    auto* demo = new quillet::DemoSite(options);  // lives as long as the process
    if (!demo->start()) std::abort();
    return demo;
  }();
  return *running;
}

// Signs the default account in and returns the new session id.
std::string signIn() {
  const std::string form = std::string("username=demo&password=demo123&checkcode=") + kCaptcha;
  const std::string request =
      "POST /logon HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
      "Content-Type: application/x-www-form-urlencoded\r\n"
      "Content-Length: " +
      std::to_string(form.size()) + "\r\n\r\n" + form;
  const std::string answer = Socket(site().port()).exchange(request);
  const std::size_t at = answer.find("QSID=");
  if (at == std::string::npos) return {};
  const std::size_t end = answer.find(';', at);
  return answer.substr(at + 5, end == std::string::npos ? std::string::npos : end - at - 5);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string request(reinterpret_cast<const char*>(data), size);
  quillet::parseItemAddress(request, site().port());
  quillet::parseItemId(request);
  if (request.find(kSessionMark) != std::string::npos) {
    const std::string id = signIn();
    for (std::size_t at = request.find(kSessionMark); at != std::string::npos;
         at = request.find(kSessionMark, at + id.size())) {
      request.replace(at, kSessionMark.size(), id);
    }
  }
  Socket(site().port()).exchange(request);
  return 0;
}
