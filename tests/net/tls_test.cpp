#include <gtest/gtest.h>
#include <httplib.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "net/cookie_jar.h"
#include "net/http_request.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;

// A certificate authority and a server certificate for 127.0.0.1 signed by it, made with the
// openssl command for this run only; and a second, self-signed certificate that nobody trusts.
class TlsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new fs::path(fs::temp_directory_path() / ("quillet-tls-" + std::to_string(::getpid())));
    fs::create_directories(*dir_);
    const std::string d = dir_->string();
    const std::string ec = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
    const std::string script =
        "cd " + d + " && openssl req -x509" + ec +
        " -keyout ca.key -out ca.pem -days 2 -subj '/CN=Quillet Test CA' && "
        "openssl req" +
        ec +
        " -keyout server.key -out server.csr -subj '/CN=127.0.0.1' && "
        "printf 'subjectAltName=IP:127.0.0.1\\nbasicConstraints=CA:FALSE\\n' > ext.cnf && "
        "openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial "
        "-out server.pem -days 2 -extfile ext.cnf && "
        "openssl req -x509" +
        ec +
        " -keyout self.key -out self.pem -days 2 -subj '/CN=127.0.0.1' "
        "-addext subjectAltName=IP:127.0.0.1";
    made_ = std::system(("(" + script + ") >/dev/null 2>&1").c_str()) == 0;
  }
  static void TearDownTestSuite() {
    fs::remove_all(*dir_);
    delete dir_;
  }

  void SetUp() override {
    if (!made_) GTEST_SKIP() << "the openssl command could not make test certificates";
    CookieJar::instance().clear();
  }
  void TearDown() override { setTrustedCertificates(""); }

  static std::string file(const char* name) { return (*dir_ / name).string(); }

  // Serves "/hello" and a redirect to it over TLS with the given certificate, on a free port.
  struct Server {
    Server(const std::string& certificate, const std::string& key)
        : server(certificate.c_str(), key.c_str()) {
      server.Get("/hello", [](const httplib::Request& request, httplib::Response& response) {
        response.set_header("Set-Cookie", "tls=1; Secure; path=/");
        response.set_content("hello over tls, cookie " + request.get_header_value("Cookie"),
                             "text/plain");
      });
      server.Get("/cookies", [](const httplib::Request& request, httplib::Response& response) {
        std::string lines;
        for (std::size_t i = 0; i < request.get_header_value_count("Cookie"); ++i)
          lines += "[" + request.get_header_value("Cookie", i) + "]";
        response.set_header("Set-Cookie", "fresh=2; path=/");
        response.set_content(lines, "text/plain");
      });
      server.Get("/redirect", [](const httplib::Request&, httplib::Response& response) {
        response.set_redirect("/hello");
      });
      port = server.bind_to_any_port("127.0.0.1");
      thread = std::thread([this] { server.listen_after_bind(); });
    }
    ~Server() {
      server.stop();
      thread.join();
    }
    std::string url(const std::string& path) const {
      return "https://127.0.0.1:" + std::to_string(port) + path;
    }
    httplib::SSLServer server;
    int port = 0;
    std::thread thread;
  };

  static inline fs::path* dir_ = nullptr;
  static inline bool made_ = false;
};

HttpRequestRecord get(const std::string& address, bool follow = true,
                      const std::string& proxy = "") {
  return {address, "GET", proxy, "", "", "", follow ? kFollowRedirectsText : "no"};
}

TEST_F(TlsTest, TrustedCertificateOnItsOwnPort) {
  Server server(file("server.pem"), file("server.key"));
  ASSERT_GT(server.port, 0);
  setTrustedCertificates(file("ca.pem"));
  HttpRequestRecord record = get(server.url("/hello"));
  performHttpRequest(record);
  EXPECT_EQ(record[0], "hello over tls, cookie ");
  EXPECT_TRUE(record[5].starts_with("HTTP/1.1 200 OK\r\n"));
  EXPECT_EQ(record[1], "tls=1;");
  // The secure cookie went into the jar and comes back on the next secure request.
  HttpRequestRecord again = get(server.url("/hello"));
  performHttpRequest(again);
  EXPECT_EQ(again[0], "hello over tls, cookie tls=1");
}

TEST_F(TlsTest, UntrustedCertificatesGiveEmptyResults) {
  Server signedByTestCa(file("server.pem"), file("server.key"));
  Server selfSigned(file("self.pem"), file("self.key"));
  // The system's store knows neither; the test authority does not cover the self-signed one.
  for (const std::string& trusted : {std::string(), file("ca.pem")}) {
    setTrustedCertificates(trusted);
    HttpRequestRecord record = get(selfSigned.url("/hello"));
    performHttpRequest(record);
    EXPECT_EQ(record[0] + record[1] + record[5], "") << trusted;
  }
  setTrustedCertificates("");
  HttpRequestRecord record = get(signedByTestCa.url("/hello"));
  performHttpRequest(record);
  EXPECT_EQ(record[0] + record[1] + record[5], "");
}

TEST_F(TlsTest, SecureRequestsFollowRedirectsAndIgnoreTheProxy) {
  Server server(file("server.pem"), file("server.key"));
  setTrustedCertificates(file("ca.pem"));
  // The choice to refuse redirects does not reach a secure request; the proxy is for http only
  // (port 9 on loopback has nobody listening).
  HttpRequestRecord record = get(server.url("/redirect"), false, "127.0.0.1:9");
  performHttpRequest(record);
  EXPECT_EQ(record[0], "hello over tls, cookie ");
}

// A cookie text replaces the stored cookies on https as on http: one Cookie line goes out, not
// the text's and another one from the jar. Received cookies are still stored.
TEST_F(TlsTest, CookieTextIsTheOnlyCookieLine) {
  Server server(file("server.pem"), file("server.key"));
  setTrustedCertificates(file("ca.pem"));
  HttpRequestRecord first = get(server.url("/hello"));
  performHttpRequest(first);
  ASSERT_EQ(first[1], "tls=1;");

  HttpRequestRecord withText = get(server.url("/cookies"));
  withText[kSlotCookies] = "mine=1";
  performHttpRequest(withText);
  EXPECT_EQ(withText[0], "[mine=1]");
  HttpRequestRecord fromJar = get(server.url("/cookies"));
  performHttpRequest(fromJar);
  EXPECT_NE(fromJar[0].find("fresh=2"), std::string::npos) << fromJar[0];
  EXPECT_NE(fromJar[0].find("tls=1"), std::string::npos) << fromJar[0];
  EXPECT_EQ(fromJar[0].find("]["), std::string::npos) << fromJar[0];
}

}  // namespace
}  // namespace quillet
