#include "net/curl_global.h"

#include <curl/curl.h>

#include <mutex>

namespace quillet::detail {

void ensureCurlGlobalInit() {
  // Left initialised for the life of the process: worker threads that are still winding down
  // at exit keep using it.
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace quillet::detail
