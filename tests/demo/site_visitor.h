#pragma once

#include <httplib.h>

#include <map>
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

}  // namespace quillet::test
