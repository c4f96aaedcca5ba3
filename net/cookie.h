#pragma once

#include <cstdint>
#include <string>

namespace quillet {

/// One cookie of the process-wide jar.
///
/// `domain` follows the Netscape convention: a leading "." marks a domain cookie that is also sent
/// to subdomains (".example.com"); without it the cookie belongs to that host only. An empty
/// `path` means "/". `expires` is in seconds since the Unix epoch; 0 marks a session cookie.
struct Cookie {
  std::string domain;
  std::string path;
  std::string name;
  std::string value;
  bool secure = false;
  bool httpOnly = false;
  std::int64_t expires = 0;

  /// Same identity: the jar holds at most one cookie per (domain, path, name).
  bool sameIdentity(const Cookie& other) const {
    return domain == other.domain && path == other.path && name == other.name;
  }
  bool operator==(const Cookie& other) const = default;
};

}  // namespace quillet
