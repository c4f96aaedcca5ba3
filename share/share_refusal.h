#pragma once

#include <QString>

namespace quillet {

/// Why the engine would not start what "发表" or "失败重发" asked for. The
/// engine hands the reason on; the window and the terminal each say it their
/// own way with the title and text below.
enum class Refusal {
  /// No rows, or a period that is missing or below 21 seconds.
  NothingToShare,
  /// "失败重发" without a failed address.
  NoFailures,
};

/// The title of the message that gives `reason`.
QString refusalTitle(Refusal reason);
/// The message that gives `reason`.
QString refusalText(Refusal reason);

}  // namespace quillet
