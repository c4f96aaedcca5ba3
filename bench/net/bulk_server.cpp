// A minimal HTTP/1.1 server for the download benchmarks: answers "GET /bytes/N" with N bytes
// from memory, as fast as the loopback takes them, one thread per connection, then closes.
// "GET /silent" is never answered (for waits that run into their deadline).
// Usage: quillet-bench-bulk-server PORTFILE   (listens on 127.0.0.1 and a free port, writes the
// port to PORTFILE, serves until killed)
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

const std::string& chunk() {
  static const std::string data = [] {
    std::string d(4 << 20, '\0');
    for (std::size_t i = 0; i < d.size(); ++i) d[i] = static_cast<char>('a' + i % 26);
    return d;
  }();
  return data;
}

bool sendAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

void serve(int fd) {
  std::string request;
  char buffer[8192];
  while (request.find("\r\n\r\n") == std::string::npos) {
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) {
      close(fd);
      return;
    }
    request.append(buffer, static_cast<std::size_t>(n));
  }
  if (request.starts_with("GET /silent")) {
    while (recv(fd, buffer, sizeof buffer, 0) > 0) {
    }
    close(fd);
    return;
  }
  std::size_t size = 0;
  const std::size_t at = request.find("/bytes/");
  if (at != std::string::npos) size = std::strtoull(request.c_str() + at + 7, nullptr, 10);
  const std::string head =
      "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
      "Content-Length: " +
      std::to_string(size) + "\r\nConnection: close\r\n\r\n";
  if (sendAll(fd, head.data(), head.size())) {
    while (size > 0) {
      const std::size_t n = std::min(size, chunk().size());
      if (!sendAll(fd, chunk().data(), n)) break;
      size -= n;
    }
  }
  shutdown(fd, SHUT_WR);
  // Let the client read to the end before the socket goes.
  while (recv(fd, buffer, sizeof buffer, 0) > 0) {
  }
  close(fd);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s PORTFILE\n", argv[0]);
    return 2;
  }
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  const int yes = 1;
  setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener, 128) != 0) {
    std::perror("bind");
    return 1;
  }
  socklen_t length = sizeof address;
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  { std::ofstream(argv[1]) << ntohs(address.sin_port) << "\n"; }
  for (;;) {
    const int fd = accept(listener, nullptr, nullptr);
    if (fd < 0) continue;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    std::thread(serve, fd).detach();
  }
}
