#include "net/url_text.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

struct AddressCase {
  const char* address;
  const char* host;
  const char* path;
  int port;
  bool secure;
};

class AddressParts : public ::testing::TestWithParam<AddressCase> {};

TEST_P(AddressParts, HostPathPortAndScheme) {
  const AddressCase& c = GetParam();
  EXPECT_EQ(urlHost(c.address), c.host);
  EXPECT_EQ(urlPath(c.address), c.path);
  EXPECT_EQ(urlPort(c.address), c.port);
  EXPECT_EQ(isSecureAddress(c.address), c.secure);
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, AddressParts,
    ::testing::Values(
        AddressCase{"http://Example.COM/a/b?c=d", "example.com", "/a/b?c=d", 80, false},
        AddressCase{"http://example.com", "example.com", "/", 80, false},
        AddressCase{"http://example.com:81/x", "example.com", "/x", 81, false},
        AddressCase{"https://example.com/x", "example.com", "/x", 443, true},
        // A port written in an https address is the port to use; 443 is only the default.
        AddressCase{"https://example.com:8443/x", "example.com", "/x", 8443, true},
        // Schemes in any case; an https address further on does not make a request secure.
        AddressCase{"HTTP://Example.com/", "example.com", "/", 80, false},
        AddressCase{"HTTPS://example.com:9/", "example.com", "/", 9, true},
        AddressCase{"http://a.com/go?to=https://b.com/", "a.com", "/go?to=https://b.com/", 80,
                    false},
        // A query right after the host belongs to the path, not to the host.
        AddressCase{"http://a.com?q=1", "a.com", "/?q=1", 80, false},
        AddressCase{"http://a.com:82?q=1", "a.com", "/?q=1", 82, false},
        AddressCase{"a.com:83/p", "a.com", "/p", 83, false},
        // Odd port texts: leading digits count, none or too many give 0, an empty one the default.
        AddressCase{"http://a.com:81x/", "a.com", "/", 81, false},
        AddressCase{"http://a.com:x/", "a.com", "/", 0, false},
        AddressCase{"http://a.com:99999/", "a.com", "/", 0, false},
        AddressCase{"http://a.com:/", "a.com", "/", 80, false}, AddressCase{"", "", "/", 80, false},
        // IPv6 literals keep their brackets and their colons are not the port's.
        AddressCase{"http://[::1]:8080/a", "[::1]", "/a", 8080, false},
        AddressCase{"https://[FE80::1]/", "[fe80::1]", "/", 443, true},
        AddressCase{"http://[::1]x/", "[::1]", "/", 0, false},
        // User information is neither host nor port.
        AddressCase{"http://user:pw@Host.example:81/p", "host.example", "/p", 81, false},
        AddressCase{"http://user@[::1]:82?q", "[::1]", "/?q", 82, false},
        AddressCase{"http://a:b@c@d.example/", "d.example", "/", 80, false}));

TEST(TextBetween, MarkersCaseAndStart) {
  EXPECT_EQ(textBetween("x User-Agent: abc\r\nNext", "user-agent:", "\r\n"), " abc");
  EXPECT_EQ(textBetween("x User-Agent: abc\r\nNext", "user-agent:", "\r\n", std::nullopt, true),
            "");
  EXPECT_EQ(textBetween("[a][b]", "[", "]"), "a");
  EXPECT_EQ(textBetween("[a][b]", "[", "]", 2), "b");
  EXPECT_EQ(textBetween("[a", "[", "]"), "");
  EXPECT_EQ(textBetween("a]", "[", "]"), "");
  // "#引号" (GBK) stands for a double quote in either marker.
  EXPECT_EQ(textBetween("name=\"value\" rest", "name=#\xD2\xFD\xBA\xC5", "#\xD2\xFD\xBA\xC5"),
            "value");
}

TEST(TextBefore, SeparatorCaseAndStart) {
  EXPECT_EQ(textBefore("a=1; path=/", ";"), "a=1");
  EXPECT_EQ(textBefore("a=1", ";"), "");
  EXPECT_EQ(textBefore("aXbxc", "x"), "aXb");
  EXPECT_EQ(textBefore("aXbxc", "x", std::nullopt, true), "a");
  EXPECT_EQ(textBefore("a;b;c", ";", 3), "a;b");
  EXPECT_EQ(textBefore("a;b", ";", -5), "a");
}

TEST(FindIgnoringCase, Basics) {
  EXPECT_EQ(findIgnoringCase("Accept-Language", "accept"), 0u);
  EXPECT_EQ(findIgnoringCase("xxACCEPT", "accept", 1), 2u);
  EXPECT_EQ(findIgnoringCase("abc", "abcd"), std::string_view::npos);
  EXPECT_EQ(findIgnoringCase("abc", "b", 5), std::string_view::npos);
}

}  // namespace
}  // namespace quillet
