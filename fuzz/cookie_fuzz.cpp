// Set-Cookie handling of the cookie jar over arbitrary header values: the first line is the host
// that answered, every further line the value of one Set-Cookie line. All of them are stored as
// one answer's cookies (so many cookies at once are covered), then the first few once more each
// on its own, and the jar is listed and published between. A jar listener checks what it hears.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "net/cookie_jar.h"

namespace {

bool clean(const std::string& field) {
  return field.find_first_of(std::string_view("\t\r\n\0", 4)) == std::string::npos;
}

void check(const quillet::Cookie& cookie) {
  if (cookie.name.empty() || cookie.domain.empty()) std::abort();
  if (!clean(cookie.name) || !clean(cookie.value) || !clean(cookie.domain) || !clean(cookie.path))
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const int listener = quillet::CookieJar::instance().addListener(
      [](const quillet::Cookie& cookie, bool) { check(cookie); });
  (void)listener;
  quillet::CookieJar& jar = quillet::CookieJar::instance();

  std::string_view rest(reinterpret_cast<const char*>(data), size);
  const std::size_t firstEnd = rest.find('\n');
  std::string host(rest.substr(0, firstEnd));
  rest = firstEnd == std::string_view::npos ? std::string_view{} : rest.substr(firstEnd + 1);
  std::vector<std::string> values;
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    values.emplace_back(rest.substr(0, end));
    rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
  }

  jar.storeFromHeaders(host, values);
  for (const quillet::Cookie& cookie : jar.all()) check(cookie);
  // One at a time, each publishing on its own (so costing a listing of the jar each): a few.
  for (std::size_t i = 0; i < values.size() && i < 8; ++i) jar.setFromHeader(host, values[i]);
  for (const quillet::Cookie& cookie : jar.all()) {
    check(cookie);
    // A cookie stays with the host that sent it, or a domain that host belongs to.
    const std::string domain =
        cookie.domain.starts_with('.') ? cookie.domain.substr(1) : cookie.domain;
    if (cookie.domain != host && domain != host && !host.ends_with("." + domain)) std::abort();
  }
  jar.clear();
  return 0;
}
