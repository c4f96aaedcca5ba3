#include "signin/fetch_image.h"

#include <gtest/gtest.h>

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
  const std::string image = FetchImageAs(address, std::string(), &headers);
  EXPECT_EQ(address, captchaAddress());
  ASSERT_GT(image.size(), 6u);
  EXPECT_EQ(image.substr(0, 4), "GIF8");
  // The site sent PNG: the conversion really happened.
  EXPECT_NE(headers.find("image/png"), std::string::npos) << headers;
}

TEST_F(FetchImageTest, OtherFormatsOnRequest) {
  std::string address = captchaAddress();
  const std::string png = FetchImageAs(address, std::nullopt, nullptr, 5);
  ASSERT_GT(png.size(), 8u);
  EXPECT_EQ(png.substr(1, 3), "PNG");
  const std::string bmp = FetchImageAs(address, std::nullopt, nullptr, 1);
  ASSERT_GT(bmp.size(), 54u);
  EXPECT_EQ(bmp.substr(0, 2), "BM");
}

TEST_F(FetchImageTest, APageThatIsNotAnImageGivesNothing) {
  std::string address = site_.baseUrl() + "/logon";
  EXPECT_EQ(FetchImageAs(address), std::string());
  std::string missing = site_.baseUrl() + "/no/such/picture.png";
  EXPECT_EQ(FetchImageAs(missing), std::string());
}

// The time-out message that comes back from a server that never answers is
// no picture either.
TEST(FetchImageTimeoutTest, ASilentServerGivesNothingAtTheTimeOut) {
  testing::SilentServer silent;
  ASSERT_NE(silent.port(), 0);
  std::string address = silent.base() + "/css/checkCode.php?";
  std::string headers = "untouched";
  EXPECT_EQ(FetchImageAs(address, std::nullopt, &headers, 3, 1), std::string());
  EXPECT_EQ(headers, "untouched");
}

}  // namespace
}  // namespace quillet
