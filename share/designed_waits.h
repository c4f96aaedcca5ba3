#pragma once

// The designed waits of a share: how long the pass waits at each page step,
// what the period adds after a row, and how long a start page may take to
// load. Every wait the engine and the page steps take, every figure shown
// about the pacing (the status bar, the terminal's first line and progress,
// the time left in the window title) and the tests derive from these. No Qt
// here: anything that needs the numbers can include this header.

#include <algorithm>
#include <cstdint>

namespace quillet {

/// The fixed waits of one row's page steps, in designed (unscaled)
/// microseconds, in the order the pass takes them.
struct RowWaits {
  static constexpr std::int32_t kStartPage = 4'000'000;      // the start page loads
  static constexpr std::int32_t kStartLink = 2'000'000;      // after the start page's link
  static constexpr std::int32_t kShareDialog = 2'000'000;    // after the share link
  static constexpr std::int32_t kAddressAnswer = 2'000'000;  // after submitting the address
  static constexpr std::int32_t kBeforeConfirm = 6'000'000;  // before the confirm
  static constexpr std::int32_t kResult = 1'600'000;         // before the result is read
  /// One row's fixed waits together.
  static constexpr std::int64_t kTotal = std::int64_t{kStartPage} + kStartLink + kShareDialog +
                                         kAddressAnswer + kBeforeConfirm + kResult;
  /// The same in seconds.
  static constexpr double kTotalSeconds = static_cast<double>(kTotal) / 1e6;
  /// The longest of the fixed waits.
  static constexpr std::int32_t kLongest =
      std::max({kStartPage, kStartLink, kShareDialog, kAddressAnswer, kBeforeConfirm, kResult});
};

/// The final wait after a row is what the period exceeds this by (designed
/// µs): a period up to this long adds nothing to the fixed waits.
inline constexpr std::int64_t kPacingFreePeriodMicros = 25'000'000;

/// The longest wait for the start page to finish loading, in unscaled
/// milliseconds; when it runs out the pass goes on and the result decides.
inline constexpr int kStartPageLoadLimitMs = 60'000;

}  // namespace quillet
