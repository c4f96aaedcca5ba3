#include "site_visitor.h"

#include "demo/demo_site.h"

namespace quillet::test {

SiteVisitor::SiteVisitor(int port) : client_("127.0.0.1", port) {
  client_.set_connection_timeout(5);
  client_.set_read_timeout(20);
}

httplib::Result SiteVisitor::get(const std::string& path) {
  auto result = client_.Get(path.c_str(), cookieHeaders());
  keepCookies(result);
  return result;
}

httplib::Result SiteVisitor::post(const std::string& path, const httplib::Params& fields) {
  auto result = client_.Post(path.c_str(), cookieHeaders(), fields);
  keepCookies(result);
  return result;
}

std::string SiteVisitor::sessionId() const {
  const auto found = cookies_.find(DemoSite::kSessionCookie);
  return found == cookies_.end() ? std::string() : found->second;
}

httplib::Result SiteVisitor::signInWith(const std::string& user, const std::string& password,
                                        const std::string& captcha) {
  return post("/logon", {{"username", user}, {"password", password}, {"checkcode", captcha}});
}

void SiteVisitor::keepCookies(const httplib::Result& result) {
  if (!result) return;
  const auto count = result->get_header_value_count("Set-Cookie");
  for (std::size_t i = 0; i < count; ++i) {
    const std::string line = result->get_header_value("Set-Cookie", i);
    const auto equals = line.find('=');
    if (equals == std::string::npos) continue;
    const auto end = line.find(';', equals);
    const std::string name = line.substr(0, equals);
    const std::string value =
        line.substr(equals + 1, end == std::string::npos ? end : end - equals - 1);
    if (value.empty() || line.find("Max-Age=0") != std::string::npos) {
      cookies_.erase(name);
    } else {
      cookies_[name] = value;
    }
  }
}

httplib::Headers SiteVisitor::cookieHeaders() const {
  std::string cookie;
  for (const auto& [name, value] : cookies_) {
    if (!cookie.empty()) cookie += "; ";
    cookie += name + "=" + value;
  }
  if (cookie.empty()) return {};
  return {{"Cookie", cookie}};
}

}  // namespace quillet::test
