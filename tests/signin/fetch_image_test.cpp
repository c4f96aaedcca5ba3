#include "signin/fetch_image.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <string>
#include <thread>

#include "demo/demo_site.h"
#include "test_servers.h"

namespace quillet {
namespace {

class FetchImageTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(site_.start()); }
  std::string captchaAddress() const { return site_.baseUrl() + "/css/checkCode.php?"; }

  DemoSite site_;
};

TEST_F(FetchImageTest, CaptchaComesBackAsGifByDefaultAndTheAddressGetsItsScheme) {
  std::string address = captchaAddress().substr(std::string("http://").size());
  std::string headers;
  const std::string image = fetchImageAs(address, std::string(), &headers);
  EXPECT_EQ(address, captchaAddress());
  ASSERT_GT(image.size(), 6u);
  EXPECT_EQ(image.substr(0, 4), "GIF8");
  // The site sent PNG: the conversion really happened.
  EXPECT_NE(headers.find("image/png"), std::string::npos) << headers;
}

TEST_F(FetchImageTest, OtherFormatsOnRequest) {
  std::string address = captchaAddress();
  const std::string png = fetchImageAs(address, std::nullopt, nullptr, 5);
  ASSERT_GT(png.size(), 8u);
  EXPECT_EQ(png.substr(1, 3), "PNG");
  const std::string bmp = fetchImageAs(address, std::nullopt, nullptr, 1);
  ASSERT_GT(bmp.size(), 54u);
  EXPECT_EQ(bmp.substr(0, 2), "BM");
}

TEST_F(FetchImageTest, APageThatIsNotAnImageGivesNothing) {
  std::string address = site_.baseUrl() + "/logon";
  EXPECT_EQ(fetchImageAs(address), std::string());
  std::string missing = site_.baseUrl() + "/no/such/picture.png";
  EXPECT_EQ(fetchImageAs(missing), std::string());
}

// A captcha is a small picture: an answer past the captcha limit is refused as it arrives rather
// than held, even when it starts as a good picture; one just below the limit still counts.
TEST_F(FetchImageTest, AnOversizedAnswerIsRefused) {
  std::string address = captchaAddress();
  const std::string png = fetchImageAs(address, std::nullopt, nullptr, 5);
  ASSERT_GT(png.size(), 8u);
  httplib::Server server;
  server.Get(R"(/padded/(\d+))", [&png](const httplib::Request& request, httplib::Response& r) {
    const std::size_t size = std::stoul(request.matches[1].str());
    r.set_content(png + std::string(size - png.size(), '\0'), "image/png");
  });
  const int port = server.bind_to_any_port("127.0.0.1");
  std::thread serving([&server] { server.listen_after_bind(); });
  const std::string base = "http://127.0.0.1:" + std::to_string(port);

  std::string below = base + "/padded/" + std::to_string(kMaxCaptchaBytes);
  std::string headers;
  EXPECT_FALSE(fetchImageAs(below, std::nullopt, &headers, 5).empty());
  EXPECT_FALSE(headers.empty());
  std::string over = base + "/padded/" + std::to_string(kMaxCaptchaBytes + 1);
  EXPECT_EQ(fetchImageAs(over, std::nullopt, &headers, 5), std::string());
  EXPECT_EQ(headers, "");  // the request failed as a whole
  server.stop();
  serving.join();
}

// The time-out message that comes back from a server that never answers is
// no picture either.
TEST(FetchImageTimeoutTest, ASilentServerGivesNothingAtTheTimeOut) {
  testing::SilentServer silent;
  ASSERT_NE(silent.port(), 0);
  std::string address = silent.base() + "/css/checkCode.php?";
  std::string headers = "untouched";
  EXPECT_EQ(fetchImageAs(address, std::nullopt, &headers, 3, 1), std::string());
  EXPECT_EQ(headers, "untouched");
}

}  // namespace
}  // namespace quillet
