#include "demo/share_record.h"

#include <cstdio>

namespace quillet {

std::string jsonEscaped(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char buffer[8];
          std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned>(c));
          out += buffer;
        } else {
          out += c;
        }
    }
  }
  return out;
}

std::string sharesToJson(const std::vector<ShareRecord>& records) {
  std::string out = "[";
  for (std::size_t i = 0; i < records.size(); ++i) {
    const ShareRecord& r = records[i];
    if (i > 0) out += ",";
    out += "\n{\"account\":\"" + jsonEscaped(r.account) + "\",\"item\":" + std::to_string(r.item) +
           ",\"address\":\"" + jsonEscaped(r.address) + "\",\"comment\":\"" +
           jsonEscaped(r.comment) + "\",\"time\":\"" + jsonEscaped(r.time) +
           "\",\"timeMs\":" + std::to_string(r.timeMs) + ",\"ok\":" + (r.ok ? "true" : "false") +
           "}";
  }
  out += records.empty() ? "]" : "\n]";
  return out;
}

}  // namespace quillet
