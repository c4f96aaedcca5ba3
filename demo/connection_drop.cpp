#include "demo/connection_drop.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdlib>
#include <memory>

namespace quillet {
namespace {

bool endpoint(const sockaddr_storage& address, std::string& host, int& port) {
  char text[INET6_ADDRSTRLEN] = {};
  if (address.ss_family == AF_INET) {
    const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
    if (!inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text)) return false;
    port = ntohs(v4.sin_port);
  } else if (address.ss_family == AF_INET6) {
    const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
    if (!inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text)) return false;
    port = ntohs(v6.sin6_port);
  } else {
    return false;
  }
  host = text;
  return true;
}

}  // namespace

bool dropConnection(int localPort, const std::string& peerAddress, int peerPort) {
  // The HTTP library keeps the socket to itself; the process's descriptor table
  // is the one place where it can be found again by its two end points.
  std::unique_ptr<DIR, int (*)(DIR*)> directory(opendir("/proc/self/fd"), &closedir);
  if (!directory) return false;
  while (const dirent* entry = readdir(directory.get())) {
    char* end = nullptr;
    const long fd = std::strtol(entry->d_name, &end, 10);
    if (end == entry->d_name || *end != '\0') continue;
    sockaddr_storage local{};
    sockaddr_storage peer{};
    socklen_t localLength = sizeof local;
    socklen_t peerLength = sizeof peer;
    if (getsockname(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&local), &localLength) != 0 ||
        getpeername(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0) {
      continue;
    }
    std::string localHost;
    std::string peerHost;
    int localPortFound = 0;
    int peerPortFound = 0;
    if (!endpoint(local, localHost, localPortFound) || !endpoint(peer, peerHost, peerPortFound)) {
      continue;
    }
    if (localPortFound == localPort && peerPortFound == peerPort && peerHost == peerAddress) {
      shutdown(static_cast<int>(fd), SHUT_RDWR);
      return true;
    }
  }
  return false;
}

}  // namespace quillet
