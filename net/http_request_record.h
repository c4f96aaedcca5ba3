#pragma once

#include <string>
#include <vector>

namespace quillet {

/// The seven byte-string slots that carry one HTTP request to the transfer engine and its results
/// back. Texts are GBK bytes without a terminating zero.
///
/// | slot | given to the engine                  | handed back                   |
/// |------|--------------------------------------|-------------------------------|
/// | 0    | address, with "http://" or "https://"| response body, undecoded      |
/// | 1    | method: "GET" or "POST"              | received-cookie text "a=1;b=2;" |
/// | 2    | proxy host:port, empty for none      | unchanged                     |
/// | 3    | extra header lines, each ending CRLF | unchanged                     |
/// | 4    | request body (sent with POST only)   | unchanged                     |
/// | 5    | cookie text to send                  | raw response header block     |
/// | 6    | "真" (GBK) to follow redirects       | unchanged                     |
using HttpRequestRecord = std::vector<std::string>;

inline constexpr std::size_t kHttpRecordSlots = 7;

enum HttpRecordSlot : std::size_t {
  kSlotAddress = 0,
  kSlotMethod = 1,
  kSlotProxy = 2,
  kSlotHeaders = 3,
  kSlotBody = 4,
  kSlotCookies = 5,
  kSlotRedirect = 6,
  // The same slots as the engine hands them back.
  kSlotResponseBody = 0,
  kSlotReceivedCookies = 1,
  kSlotResponseHeaders = 5,
};

/// The GBK bytes of "真", the redirect slot's "follow redirects" value.
inline constexpr char kFollowRedirectsText[] = "\xD5\xE6";

/// Completes `record` with empty slots up to seven and drops the slots beyond the seventh.
inline void normalizeRecord(HttpRequestRecord& record) {
  record.resize(kHttpRecordSlots);
}

}  // namespace quillet
