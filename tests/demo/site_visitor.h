#pragma once

#include <httplib.h>

#include <map>
#include <regex>
#include <string>

namespace quillet::test {

// One visitor of a site on 127.0.0.1: an HTTP client that keeps the cookies
// the site sets, as a browser would, without following redirects.
class SiteVisitor {
 public:
  explicit SiteVisitor(int port);

  httplib::Result get(const std::string& path);
  httplib::Result post(const std::string& path, const httplib::Params& fields);

  // The session cookie's value ("" when the site has set none or removed it).
  std::string sessionId() const;

  // Posts the sign-in form of the login page; returns the site's answer.
  httplib::Result signInWith(const std::string& user, const std::string& password,
                             const std::string& captcha);

  httplib::Client& client() { return client_; }

 private:
  void keepCookies(const httplib::Result& result);
  httplib::Headers cookieHeaders() const;

  httplib::Client client_;
  std::map<std::string, std::string> cookies_;
};

inline bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The token of an accepted address check's JSON answer ("" when refused).
inline std::string tokenOf(const std::string& json) {
  std::smatch match;
  return std::regex_search(json, match, std::regex("\"token\":\"([0-9a-f]+)\"")) ? match[1].str()
                                                                                 : std::string();
}

}  // namespace quillet::test
