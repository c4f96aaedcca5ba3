// The request engine's header composition over arbitrary caller texts. The input's parts,
// separated by zero bytes, fill the request record's slots (address, method, proxy, header
// text, body, cookie text, redirect rule). A request that is not refused must not carry a line
// break inside any header line it would send.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "net/http_request.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  quillet::HttpRequestRecord record;
  while (!rest.empty() && record.size() < quillet::kHttpRecordSlots) {
    const std::size_t zero = rest.find('\0');
    record.emplace_back(rest.substr(0, zero));
    rest = zero == std::string_view::npos ? std::string_view{} : rest.substr(zero + 1);
  }
  const quillet::HttpRequestPlan plan = quillet::planHttpRequest(record);
  if (plan.refused) return 0;
  if (plan.agent.find_first_of("\r\n") != std::string::npos) std::abort();
  if (plan.host.find_first_of("\r\n") != std::string::npos) std::abort();
  if (plan.path.find_first_of("\r\n") != std::string::npos) std::abort();
  for (const std::string& line : quillet::requestHeaderLines(plan.headerText)) {
    if (line.empty() || line.find_first_of("\r\n") != std::string::npos) std::abort();
  }
  return 0;
}
