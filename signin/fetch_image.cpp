#include "signin/fetch_image.h"

#include "net/fetch_with_timeout.h"
#include "signin/convert_image.h"

namespace quillet {

std::string fetchImageAs(std::string& address, std::optional<std::string> proxy,
                         std::string* receivedHeaders, std::optional<int> format,
                         std::optional<int> timeoutSeconds) {
  // A captcha is a small picture; a larger answer is refused rather than held.
  FetchExtras extras;
  extras.maxBodyBytes = kMaxCaptchaBytes;
  const std::string body =
      fetchWithTimeout(address, std::nullopt, std::move(proxy), std::nullopt, std::nullopt,
                       std::nullopt, double(timeoutSeconds.value_or(10)), receivedHeaders,
                       std::nullopt, nullptr, std::nullopt, extras);
  std::string image;
  convertImage(body, format.value_or(kImageGif), QString(), &image);
  return image;
}

}  // namespace quillet
