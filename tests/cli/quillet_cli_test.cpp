#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "raw_http_server.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using testing::headerValue;
using testing::RawConnection;
using testing::RawHttpServer;
using testing::requestBody;
using testing::requestTarget;

struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};

std::string slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

std::string quoted(const std::string& arg) {
  std::string q = "'";
  for (char c : arg) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

class QuilletCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("quillet-cli-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs quillet-cli with `args`, `input` on its standard input.
  CliRun run(const std::vector<std::string>& args, const std::string& input = "") {
    std::ofstream(dir_ / "in", std::ios::binary) << input;
    std::string command = QUILLET_CLI_PATH;
    for (const std::string& arg : args) command += " " + quoted(arg);
    command += " <" + (dir_ / "in").string() + " >" + (dir_ / "out").string() + " 2>" +
               (dir_ / "err").string();
    CliRun result;
    const int raw = std::system(command.c_str());
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = slurp(dir_ / "out");
    result.err = slurp(dir_ / "err");
    return result;
  }
  std::string path(const char* name) const { return (dir_ / name).string(); }

  fs::path dir_;
};

TEST_F(QuilletCliTest, HelpEverywhereAndUsageErrors) {
  for (const auto& args : std::vector<std::vector<std::string>>{{"--help"},
                                                                {"-h"},
                                                                {"fetch", "--help"},
                                                                {"fetch", "http://x/", "-h"},
                                                                {"text", "--help"}}) {
    const CliRun help = run(args);
    EXPECT_EQ(help.status, 0) << args[0];
    EXPECT_NE(help.out.find("Usage: quillet-cli"), std::string::npos) << args[0];
    EXPECT_EQ(help.err, "");
  }
  EXPECT_NE(run({"fetch", "--help"}).out.find("--no-redirects"), std::string::npos);
  EXPECT_NE(run({"text", "--help"}).out.find("big5-to-simplified-gbk"), std::string::npos);

  for (const auto& args : std::vector<std::vector<std::string>>{
           {},
           {"explode"},
           {"fetch"},
           {"fetch", "a", "b"},
           {"fetch", "http://x/", "--bogus"},
           {"fetch", "http://x/", "--timeout"},
           {"fetch", "http://x/", "-t", "soon"},
           {"fetch", "http://x/", "-X", "PUT"},
           {"fetch", "http://x/", "-e", "latin1"},
           {"fetch", "http://x/", "--data-file", "/nonexistent/file"},
           {"text"},
           {"text", "rot13"}}) {
    const CliRun bad = run(args);
    EXPECT_EQ(bad.status, 64) << (args.empty() ? "" : args.back());
    EXPECT_NE(bad.err, "");
    EXPECT_EQ(bad.out, "");
  }
}

TEST_F(QuilletCliTest, FetchWritesBodyHeadersAndCookies) {
  const std::string body("bin\0ary\xFF", 8);
  RawHttpServer server([&](RawConnection& connection) {
    const std::string request = connection.readRequest();
    if (requestTarget(request) == "/echo") {
      connection.send(RawHttpServer::response("200 OK", "", request));
    } else {
      connection.send(RawHttpServer::response(
          "200 OK", "Set-Cookie: s=1; path=/\r\nSet-Cookie: t=2\r\n", body));
    }
  });
  CliRun plain = run({"fetch", "127.0.0.1:" + std::to_string(server.port()) + "/file"});
  EXPECT_EQ(plain.status, 0) << plain.err;
  EXPECT_EQ(plain.out, body);

  CliRun toFiles = run({"fetch", server.url("/file"), "-o", path("body"), "--dump-headers",
                        path("headers"), "--dump-cookies", path("cookies")});
  EXPECT_EQ(toFiles.status, 0) << toFiles.err;
  EXPECT_EQ(toFiles.out, "");
  EXPECT_EQ(slurp(path("body")), body);
  EXPECT_TRUE(slurp(path("headers")).starts_with("HTTP/1.1 200 OK\r\nSet-Cookie: s=1"));
  EXPECT_EQ(slurp(path("cookies")), "s=1;t=2;");

  std::ofstream(path("payload"), std::ios::binary) << std::string("a=1\0&b", 6);
  CliRun post =
      run({"fetch", server.url("/echo"), "-X", "POST", "--data-file", path("payload"), "-H",
           "X-One: 1", "--header=X-Two: 2", "-b", "c=3", "--header-text", "RefererNo"});
  EXPECT_EQ(post.status, 0) << post.err;
  EXPECT_TRUE(post.out.starts_with("POST /echo HTTP/1.1\r\n"));
  EXPECT_EQ(requestBody(post.out), std::string("a=1\0&b", 6));
  EXPECT_EQ(headerValue(post.out, "X-One"), "1");
  EXPECT_EQ(headerValue(post.out, "X-Two"), "2");
  EXPECT_EQ(headerValue(post.out, "Cookie"), "c=3");
  EXPECT_EQ(headerValue(post.out, "Referer"), "");
}

TEST_F(QuilletCliTest, FetchRedirectsAndEncodings) {
  RawHttpServer server([](RawConnection& connection) {
    const std::string target = requestTarget(connection.readRequest());
    if (target == "/moved") {
      connection.send(RawHttpServer::response("302 Found", "Location: /utf8\r\n", "moved"));
    } else {
      connection.send(RawHttpServer::response("200 OK", "", "\xE5\x9C\x8B"));  // 國 in UTF-8
    }
  });
  EXPECT_EQ(run({"fetch", server.url("/moved")}).out, "\xE5\x9C\x8B");
  const CliRun refused = run({"fetch", server.url("/moved"), "--no-redirects"});
  EXPECT_EQ(refused.status, 0);
  EXPECT_EQ(refused.out, "moved");
  EXPECT_EQ(run({"fetch", server.url("/utf8"), "--encoding", "utf8"}).out, "\x87\xF8");
  const CliRun traced = run({"fetch", server.url("/utf8"), "--verbose"});
  EXPECT_EQ(traced.out, "\xE5\x9C\x8B");
  EXPECT_NE(traced.err.find("> GET /utf8 HTTP/1.1"), std::string::npos) << traced.err;
}

TEST_F(QuilletCliTest, FetchTimeOutAndFailureExitNonZero) {
  RawHttpServer silent([](RawConnection& connection) {
    connection.readRequest();
    connection.waitForStop();
  });
  const CliRun late = run({"fetch", silent.url("/"), "-t", "0.3"});
  EXPECT_EQ(late.status, 2);
  EXPECT_EQ(late.out, "");
  EXPECT_NE(late.err.find("超时返回"), std::string::npos) << late.err;

  int closedPort;
  {
    RawHttpServer gone([](RawConnection&) {});
    closedPort = gone.port();
  }
  const CliRun refused = run({"fetch", "http://127.0.0.1:" + std::to_string(closedPort) + "/",
                              "--dump-headers", path("headers")});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("failed"), std::string::npos);
  EXPECT_FALSE(fs::exists(path("headers")));

  const CliRun unwritable = run({"fetch", silent.url("/"), "-o", "/nonexistent/dir/file"});
  EXPECT_EQ(unwritable.status, 1);
  EXPECT_NE(unwritable.err.find("/nonexistent/dir/file"), std::string::npos);
}

// An answer that breaks off after its headers is no success: what arrived is written, standard
// error says why, and the exit status is its own. With or without a conversion.
TEST_F(QuilletCliTest, FetchIncompleteAnswerHasItsOwnStatus) {
  const auto once = [](std::string answer) {
    return [answer](RawConnection& connection) {
      connection.readRequest();
      connection.send(answer);
    };
  };
  RawHttpServer shortBody(once("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly ten.."));
  RawHttpServer badChunk(
      once("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nfirst\r\nzz\r\n"));

  const CliRun cut = run({"fetch", shortBody.url("/"), "--dump-headers", path("headers")});
  EXPECT_EQ(cut.status, 3);
  EXPECT_EQ(cut.out, "only ten..");
  EXPECT_NE(cut.err.find("incomplete answer: "), std::string::npos) << cut.err;
  EXPECT_TRUE(slurp(path("headers")).starts_with("HTTP/1.1 200 OK\r\n"));

  const CliRun converted = run({"fetch", shortBody.url("/"), "-e", "utf8"});
  EXPECT_EQ(converted.status, 3);
  EXPECT_EQ(converted.out, "only ten..");
  EXPECT_NE(converted.err.find("incomplete answer: "), std::string::npos) << converted.err;

  const CliRun chunk = run({"fetch", badChunk.url("/")});
  EXPECT_EQ(chunk.status, 3);
  EXPECT_NE(chunk.err.find("incomplete answer: "), std::string::npos) << chunk.err;

  // A cookie text with a line break is refused before anything is sent.
  const CliRun injected = run({"fetch", shortBody.url("/"), "-b", "a=1\r\nX-Evil: 1"});
  EXPECT_EQ(injected.status, 1);
  EXPECT_EQ(shortBody.connections(), 2u);
}

TEST_F(QuilletCliTest, TextConversionsFromStandardInput) {
  EXPECT_EQ(run({"text", "utf8-to-gbk"}, "a\xE4\xB8\xAD").out, "a\xD6\xD0");
  EXPECT_EQ(run({"text", "big5-to-gbk"}, "\xB0\xEA").out, "\x87\xF8");
  EXPECT_EQ(run({"text", "big5-to-simplified-gbk"}, "\xB0\xEA").out, "\xB9\xFA");
  EXPECT_EQ(run({"text", "to-simplified"}, "x\x87\xF8").out, "x\xB9\xFA");
  EXPECT_EQ(run({"text", "gbk-to-utf8"}, "\xB9\xFA").out, "\xE5\x9B\xBD");
  const CliRun empty = run({"text", "utf8-to-gbk"}, "");
  EXPECT_EQ(empty.status, 0);
  EXPECT_EQ(empty.out, "");
}

}  // namespace
}  // namespace quillet
