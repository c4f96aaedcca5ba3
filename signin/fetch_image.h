#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace quillet {

/// The largest picture fetchImageAs takes; a larger answer gives empty bytes.
inline constexpr std::size_t kMaxCaptchaBytes = 10u * 1024u * 1024u;

/// Downloads the image at `address` (through fetchWithTimeout, which may
/// rewrite the address in place: a missing scheme gets "http://") and
/// re-encodes it as `format` (an ImageFormat; GIF when left out). Gives up
/// after `timeoutSeconds` (10 when left out). Anything that is not an image,
/// the time-out message included, gives empty bytes. `receivedHeaders`,
/// when given, gets the response's header block.
std::string fetchImageAs(std::string& address, std::optional<std::string> proxy = std::nullopt,
                         std::string* receivedHeaders = nullptr,
                         std::optional<int> format = std::nullopt,
                         std::optional<int> timeoutSeconds = std::nullopt);

}  // namespace quillet
