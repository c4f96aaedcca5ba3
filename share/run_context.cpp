#include "share/run_context.h"

#include <algorithm>
#include <limits>

namespace quillet {

bool pauseFor(const std::shared_ptr<RunContext>& context, std::int64_t microseconds) {
  // Keep the context (and the wait function in it) alive through the wait.
  const std::shared_ptr<RunContext> keep = context;
  constexpr std::int64_t kLongestWait = std::numeric_limits<std::int32_t>::max();
  while (microseconds > 0 && keep->alive && !keep->stopRequested) {
    const auto piece = static_cast<std::int32_t>(std::min(microseconds, kLongestWait));
    const auto wait = keep->wait;
    if (wait) wait(piece);
    microseconds -= piece;
  }
  return keep->alive && !keep->stopRequested;
}

}  // namespace quillet
