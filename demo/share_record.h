#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// One share that reached the confirm step, whether the site then made it or not.
struct ShareRecord {
  std::string account;      // the signed-in user name
  int item = 0;             // the item id
  std::string address;      // the item address exactly as it was entered
  std::string comment;      // the text of the share's comment field ("" when empty)
  std::string time;         // local time, "YYYY-MM-DD HH:MM:SS"
  std::int64_t timeMs = 0;  // the same moment, milliseconds since the Unix epoch
  bool ok = false;          // true when the share was made
};

// `text` as the contents of a JSON string literal (without the quotes). UTF-8
// passes through; quotes, backslashes and control characters are escaped.
std::string jsonEscaped(std::string_view text);

// The records as a JSON array of objects with the keys account, item, address,
// comment, time, timeMs and ok, in the records' order.
std::string sharesToJson(const std::vector<ShareRecord>& records);

}  // namespace quillet
