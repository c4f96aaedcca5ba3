#include "signin/vips_handles.h"

#include <mutex>

namespace quillet {

bool ensureVipsStarted() {
  static std::once_flag once;
  static bool started = false;
  std::call_once(once, [] {
    started = VIPS_INIT("quillet") == 0;
    // Buffer loaders do not copy their input, and the operation cache keys
    // them by address: a later image that lands at the same address could be
    // answered from the cache with an earlier picture. Converting small
    // images gains nothing from the cache, so it stays off.
    if (started) vips_cache_set_max(0);
  });
  return started;
}

}  // namespace quillet
