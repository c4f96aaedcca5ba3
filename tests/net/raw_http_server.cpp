#include "raw_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace quillet::testing {
namespace {

thread_local RawHttpServer* currentServer = nullptr;

std::size_t findIgnoringCase(std::string_view text, std::string_view needle, std::size_t from = 0) {
  const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
  for (std::size_t i = from; i + needle.size() <= text.size(); ++i) {
    std::size_t j = 0;
    while (j < needle.size() && lower(text[i + j]) == lower(needle[j])) ++j;
    if (j == needle.size()) return i;
  }
  return std::string_view::npos;
}

}  // namespace

std::string RawConnection::readRequest() {
  std::string data = std::move(pending_);
  pending_.clear();
  std::size_t headerEnd;
  std::size_t wanted = std::string::npos;
  char buffer[65536];
  for (;;) {
    headerEnd = data.find("\r\n\r\n");
    if (headerEnd != std::string::npos) {
      const std::string length =
          headerValue(std::string_view(data).substr(0, headerEnd + 2), "Content-Length");
      wanted = headerEnd + 4 + (length.empty() ? 0 : std::stoul(length));
      if (data.size() >= wanted) break;
    }
    pollfd p{fd_, POLLIN, 0};
    const int ready = poll(&p, 1, 50);
    if (stopping_.load()) return {};
    if (ready <= 0) continue;
    const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
    if (n <= 0) return {};
    data.append(buffer, static_cast<std::size_t>(n));
  }
  pending_ = data.substr(wanted);
  data.resize(wanted);
  if (currentServer != nullptr) currentServer->record(data);
  return data;
}

bool RawConnection::send(std::string_view bytes) {
  while (!bytes.empty()) {
    if (stopping_.load()) return false;
    pollfd p{fd_, POLLOUT, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

void RawConnection::reset() {
  linger l{1, 0};
  setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
  shutdown(fd_, SHUT_RDWR);
}

bool RawConnection::waitForStop(int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!stopping_.load()) {
    if (ms > 0 && std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

RawHttpServer::RawHttpServer(Handler handler) : handler_(std::move(handler)) {
  listenFd_ = socket(AF_INET, SOCK_STREAM, 0);
  const int yes = 1;
  setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
  listen(listenFd_, 64);
  socklen_t length = sizeof address;
  getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread(&RawHttpServer::acceptLoop, this);
}

RawHttpServer::~RawHttpServer() {
  stopping_.store(true);
  acceptor_.join();
  for (std::thread& worker : workers_) worker.join();
  for (int fd : fds_) close(fd);
  close(listenFd_);
}

void RawHttpServer::acceptLoop() {
  while (!stopping_.load()) {
    pollfd p{listenFd_, POLLIN, 0};
    if (poll(&p, 1, 20) <= 0) continue;
    const int fd = accept(listenFd_, nullptr, nullptr);
    if (fd < 0) continue;
    ++connections_;
    std::lock_guard lock(mutex_);
    fds_.push_back(fd);
    workers_.emplace_back([this, fd] {
      currentServer = this;
      RawConnection connection(fd, stopping_);
      handler_(connection);
      shutdown(fd, SHUT_WR);
    });
  }
}

void RawHttpServer::record(std::string request) {
  std::lock_guard lock(mutex_);
  requests_.push_back(std::move(request));
}

std::vector<std::string> RawHttpServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::string RawHttpServer::url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::string RawHttpServer::response(std::string_view status, std::string_view headers,
                                    std::string_view body) {
  std::string out = "HTTP/1.1 " + std::string(status) + "\r\n";
  out += headers;
  out += "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n";
  out += body;
  return out;
}

RawHttpServer::Handler answerWith(std::string answer) {
  return [answer = std::move(answer)](RawConnection& connection) {
    while (!connection.readRequest().empty()) {
      if (!connection.send(answer)) return;
    }
  };
}

std::string headerValue(std::string_view block, std::string_view name) {
  const std::string needle = "\r\n" + std::string(name) + ":";
  const std::size_t at = findIgnoringCase(block, needle);
  if (at == std::string_view::npos) return {};
  std::size_t begin = at + needle.size();
  while (begin < block.size() && block[begin] == ' ') ++begin;
  const std::size_t end = block.find("\r\n", begin);
  return std::string(block.substr(begin, end - begin));
}

std::string requestBody(std::string_view request) {
  const std::size_t end = request.find("\r\n\r\n");
  return end == std::string_view::npos ? std::string() : std::string(request.substr(end + 4));
}

std::string requestHeaderLines(std::string_view request) {
  const std::size_t first = request.find("\r\n");
  const std::size_t end = request.find("\r\n\r\n");
  if (first == std::string_view::npos || end == std::string_view::npos) return {};
  return std::string(request.substr(first + 2, end + 2 - first - 2));
}

}  // namespace quillet::testing

namespace quillet::testing {

std::string requestTarget(std::string_view request) {
  const std::size_t first = request.find(' ');
  const std::size_t second = request.find(' ', first + 1);
  if (first == std::string_view::npos || second == std::string_view::npos) return {};
  return std::string(request.substr(first + 1, second - first - 1));
}

std::size_t countOf(std::string_view text, std::string_view needle) {
  std::size_t count = 0;
  for (std::size_t at = text.find(needle); at != std::string_view::npos;
       at = text.find(needle, at + needle.size())) {
    ++count;
  }
  return count;
}

}  // namespace quillet::testing
