#pragma once

namespace quillet::detail {

/// Initialises libcurl once per process, before the first handle is made on any thread.
void ensureCurlGlobalInit();

}  // namespace quillet::detail
