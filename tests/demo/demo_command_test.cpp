// quillet-demo-site as the demo command runs it: options from the command
// line reach the site, and SIGTERM stops it cleanly.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "site_visitor.h"

namespace quillet {
namespace {

using test::contains;
using test::SiteVisitor;
using test::tokenOf;

int freePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

TEST(DemoCommand, ServesWithTheGivenOptionsAndStopsOnSigterm) {
  const int port = freePort();
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    const std::string portText = std::to_string(port);
    execl(QUILLET_DEMO_SITE_PATH, "quillet-demo-site", "--port", portText.c_str(),
          "--fixed-captcha", "9876", "--account", "tester:secret", "--fail-item=5", nullptr);
    _exit(127);
  }
  close(out[1]);
  // The start-up lines: read until the account has been printed.
  std::string printed;
  char buffer[256];
  FILE* stream = fdopen(out[0], "r");
  while (!contains(printed, "password:") && fgets(buffer, sizeof buffer, stream)) printed += buffer;
  EXPECT_TRUE(contains(printed, "listening on http://127.0.0.1:" + std::to_string(port)));
  EXPECT_TRUE(contains(printed, "Account: tester  password: secret"));

  SiteVisitor visitor(port);
  const auto signIn = visitor.signInWith("tester", "secret", "9876");
  ASSERT_TRUE(signIn);
  EXPECT_EQ(signIn->status, 302);
  const std::string base = "http://127.0.0.1:" + std::to_string(port);
  for (int item : {4, 5}) {
    const auto check =
        visitor.post("/share/check", {{"url", base + "/item/" + std::to_string(item)}});
    ASSERT_TRUE(check);
    const auto confirm = visitor.post("/share/confirm", {{"token", tokenOf(check->body)}});
    ASSERT_TRUE(confirm);
    EXPECT_EQ(contains(confirm->body, "分享成功"), item == 4) << confirm->body;
  }

  kill(child, SIGTERM);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  fclose(stream);
}

TEST(DemoCommand, RefusesBadArgumentsWithoutServing) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (freopen("/dev/null", "w", stderr) == nullptr) _exit(126);
    execl(QUILLET_DEMO_SITE_PATH, "quillet-demo-site", "--host", "0.0.0.0", nullptr);
    _exit(127);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_EQ(WEXITSTATUS(status), 2);
}

}  // namespace
}  // namespace quillet
