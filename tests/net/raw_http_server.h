#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace quillet::testing {

/// One accepted connection of a RawHttpServer, for handlers that answer byte by byte.
class RawConnection {
 public:
  RawConnection(int fd, const std::atomic<bool>& stopping) : fd_(fd), stopping_(stopping) {}

  /// Reads one request: the header block and, when it names a Content-Length, that many body
  /// bytes. Empty when the peer closes first or the server stops.
  std::string readRequest();
  /// Sends all of `bytes`; false when the peer is gone or the server stops.
  bool send(std::string_view bytes);
  /// Closes with a TCP reset instead of an orderly close.
  void reset();
  /// Waits until the server stops (or `ms` pass, when positive). True when stopping.
  bool waitForStop(int ms = 0);
  bool stopping() const { return stopping_.load(); }

 private:
  int fd_;
  const std::atomic<bool>& stopping_;
  std::string pending_;
};

/// A TCP server on 127.0.0.1 and a free port that hands every connection to `handler` on a
/// thread of its own and records every request that a handler reads. Stops and joins its
/// threads when destroyed.
class RawHttpServer {
 public:
  using Handler = std::function<void(RawConnection&)>;

  explicit RawHttpServer(Handler handler);
  ~RawHttpServer();
  RawHttpServer(const RawHttpServer&) = delete;
  RawHttpServer& operator=(const RawHttpServer&) = delete;

  int port() const { return port_; }
  /// "http://127.0.0.1:PORT" followed by `path`.
  std::string url(std::string_view path = "/") const;
  /// Raw requests read so far, oldest first.
  std::vector<std::string> requests() const;
  std::size_t connections() const { return connections_.load(); }

  /// An answer with the given status line, extra header lines (each ending "\r\n") and body.
  static std::string response(std::string_view status, std::string_view headers,
                              std::string_view body);

 private:
  void acceptLoop();
  void record(std::string request);

  Handler handler_;
  int listenFd_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<std::size_t> connections_{0};
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
  std::vector<std::thread> workers_;
  std::vector<int> fds_;
  std::thread acceptor_;

  friend class RawConnection;
};

/// A handler that reads each request on the connection and answers every one with `answer`.
RawHttpServer::Handler answerWith(std::string answer);

/// The value of header `name` (any case) in a raw request or header block; empty when absent.
std::string headerValue(std::string_view block, std::string_view name);

/// The body of a raw request: everything after the blank line.
std::string requestBody(std::string_view request);

/// The header lines of a raw request between the request line and the blank line, each with its
/// "\r\n".
std::string requestHeaderLines(std::string_view request);

}  // namespace quillet::testing

namespace quillet::testing {

/// The request target of a raw request ("/a?b" from "GET /a?b HTTP/1.1").
std::string requestTarget(std::string_view request);

/// Counts the occurrences of `needle` in `text`.
std::size_t countOf(std::string_view text, std::string_view needle);

}  // namespace quillet::testing
