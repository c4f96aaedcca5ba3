#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillet {

inline constexpr int kFirstItemId = 1;
inline constexpr int kLastItemId = 100000;

// The address of item `id` on the site at `port` of 127.0.0.1.
std::string itemAddress(int port, int id);

// The item id written as `digits` (1 to 100000, plain decimal, no leading zero).
std::optional<int> parseItemId(std::string_view digits);

// The item id that `address` names on the site at `port`, or nothing when the
// address is not one of the site's items. Accepted: "http://127.0.0.1:PORT/item/ID"
// (host also "localhost", an optional trailing "/"), with spaces, tabs and line
// breaks around it ignored; ID is 1 to 100000 in plain decimal digits.
std::optional<int> parseItemAddress(std::string_view address, int port);

}  // namespace quillet
