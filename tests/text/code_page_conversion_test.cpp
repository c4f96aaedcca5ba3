#include "text/code_page_conversion.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "text/gbk_decoder.h"

namespace quillet {
namespace {

// "中文" in the three encodings the program meets.
const std::string kChineseUtf8 = "\xE4\xB8\xAD\xE6\x96\x87";
const std::string kChineseGbk = "\xD6\xD0\xCE\xC4";
const std::string kChineseBig5 = "\xA4\xA4\xA4\xE5";

std::string fromHex(const std::string& hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

std::string toHex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : bytes) {
    hex.push_back(digits[c >> 4]);
    hex.push_back(digits[c & 15]);
  }
  return hex;
}

TEST(Utf8ToGbk, EmptyAsciiAndChinese) {
  EXPECT_EQ(utf8ToGbk(""), "");
  EXPECT_EQ(utf8ToGbk("plain ASCII 123 !?"), "plain ASCII 123 !?");
  EXPECT_EQ(utf8ToGbk(kChineseUtf8), kChineseGbk);
  EXPECT_EQ(utf8ToGbk("a" + kChineseUtf8 + "b"), "a" + kChineseGbk + "b");
}

TEST(Utf8ToGbk, TextEndsAtFirstZeroByte) {
  EXPECT_EQ(utf8ToGbk(std::string("ab\0cd", 5)), "ab");
  EXPECT_EQ(utf8ToGbk(std::string("\0abc", 4)), "");
}

TEST(Utf8ToGbk, MissingCharactersBecomeTheDefaultCharacter) {
  // U+1F600 (an emoji) has no GBK form; neither has a stray continuation byte.
  EXPECT_EQ(utf8ToGbk("x\xF0\x9F\x98\x80y"), "x?y");
  EXPECT_EQ(utf8ToGbk("x\x80y"), "x?y");
  // A truncated sequence at the end is not lost silently either.
  EXPECT_EQ(utf8ToGbk("x\xE4\xB8"), "x?");
}

TEST(Big5ToGbk, SameCharactersInGbk) {
  EXPECT_EQ(big5ToGbk(""), "");
  EXPECT_EQ(big5ToGbk("abc"), "abc");
  EXPECT_EQ(big5ToGbk(kChineseBig5), kChineseGbk);
  // 國 stays traditional: GBK holds the traditional form too (87 F8).
  EXPECT_EQ(big5ToGbk("\xB0\xEA"), "\x87\xF8");
}

TEST(Big5ToSimplifiedGbk, TraditionalBecomesSimplified) {
  // 國 -> 国, 語 -> 语, 中 stays 中.
  EXPECT_EQ(big5ToSimplifiedGbk("\xB0\xEA"), "\xB9\xFA");
  EXPECT_EQ(big5ToSimplifiedGbk("\xBB\x79"), "\xD3\xEF");
  EXPECT_EQ(big5ToSimplifiedGbk("A\xA4\xA4\xB0\xEA!"), "A\xD6\xD0\xB9\xFA!");
  EXPECT_EQ(big5ToSimplifiedGbk(""), "");
}

TEST(ToSimplifiedChinese, KeepsTheByteLength) {
  // 國語 in GBK (traditional forms) -> 国语.
  EXPECT_EQ(toSimplifiedChinese("\x87\xF8\xD5\x5A"), "\xB9\xFA\xD3\xEF");
  const std::string mixed = "ab \x87\xF8 12 \xD6\xD0 z";
  const std::string simplified = toSimplifiedChinese(mixed);
  ASSERT_EQ(simplified.size(), mixed.size());
  EXPECT_EQ(simplified, "ab \xB9\xFA 12 \xD6\xD0 z");
  EXPECT_EQ(toSimplifiedChinese(""), "");
}

TEST(ToSimplifiedChinese, BrokenBytesPassThrough) {
  // A lone lead byte at the end, a lead byte before ASCII, 0x80 and 0xFF: each stays in place.
  EXPECT_EQ(toSimplifiedChinese("a\x87"), "a\x87");
  EXPECT_EQ(toSimplifiedChinese("\x87"
                                "a\x87\xF8"),
            "\x87"
            "a\xB9\xFA");
  EXPECT_EQ(toSimplifiedChinese("\x80\xFF"), "\x80\xFF");
}

TEST(MultiByteToUtf16, TerminatingUnitIncluded) {
  EXPECT_EQ(multiByteToUtf16("A"), std::string("A\0\0\0", 4));
  EXPECT_EQ(multiByteToUtf16(kChineseUtf8), std::string("\x2D\x4E\x87\x65\0\0", 6));
  EXPECT_EQ(multiByteToUtf16(kChineseGbk, 936), std::string("\x2D\x4E\x87\x65\0\0", 6));
  EXPECT_EQ(multiByteToUtf16(kChineseBig5, 950), std::string("\x2D\x4E\x87\x65\0\0", 6));
  EXPECT_EQ(multiByteToUtf16(""), "");
  // A supplementary character needs a surrogate pair.
  EXPECT_EQ(multiByteToUtf16("\xF0\x9F\x98\x80"), std::string("\x3D\xD8\x00\xDE\0\0", 6));
}

TEST(Utf16ToMultiByte, DefaultIsTheSystemCodePage) {
  const std::string utf16 = multiByteToUtf16(kChineseUtf8);
  EXPECT_EQ(utf16ToMultiByte(utf16), kChineseUtf8);  // code page 0 is UTF-8 here
  EXPECT_EQ(utf16ToMultiByte(utf16, 0), kChineseUtf8);
  EXPECT_EQ(utf16ToMultiByte(utf16, 936), kChineseGbk);
  EXPECT_EQ(utf16ToMultiByte(utf16, 950), kChineseBig5);
  // Stops at the first zero unit; an odd trailing byte is ignored.
  EXPECT_EQ(utf16ToMultiByte(std::string("A\0\0\0B\0", 6), 936), "A");
  EXPECT_EQ(utf16ToMultiByte(std::string("A\0B", 3), 936), "A");
  EXPECT_EQ(utf16ToMultiByte("", 936), "");
  // A lone surrogate has no form in any code page.
  EXPECT_EQ(utf16ToMultiByte(std::string("\x3D\xD8"
                                         "A\0",
                                         4),
                             936),
            "?A");
}

TEST(CodePages, UnknownCodePageGivesEmptyResult) {
  EXPECT_EQ(multiByteToUtf16("abc", 12345), "");
  EXPECT_EQ(utf16ToMultiByte(multiByteToUtf16("abc"), 12345), "");
  EXPECT_EQ(utf16ToMultiByte(multiByteToUtf16("abc"), 1252), "abc");
}

TEST(GbkToUtf8, RoundTripsWithUtf8ToGbk) {
  EXPECT_EQ(gbkToUtf8(kChineseGbk), kChineseUtf8);
  EXPECT_EQ(gbkToUtf8(utf8ToGbk("用户名 user")), "用户名 user");
  EXPECT_EQ(gbkToUtf8(""), "");
}

std::u16string decodeWith(GbkDecoder& decoder, const std::string& bytes) {
  std::u16string out(bytes.size() + 1, u'#');  // one spare unit shows any overrun
  out.resize(decoder.decode(bytes, out.data()) + (out.back() == u'#' ? 0 : 1));
  return out;
}

TEST(GbkDecoder, DecodesRunAfterRunWithOneConverter) {
  GbkDecoder decoder;
  EXPECT_EQ(decodeWith(decoder, kChineseGbk), u"中文");
  EXPECT_EQ(decodeWith(decoder, ""), u"");
  EXPECT_EQ(decodeWith(decoder, "http://a/b?x=1"), u"http://a/b?x=1");
  // A zero byte is a character here, not the end of the text.
  EXPECT_EQ(decodeWith(decoder, std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
}

TEST(GbkDecoder, BrokenBytesNeverEndTheRunOrLeakIntoTheNext) {
  GbkDecoder decoder;
  // A lead byte cut off at the end of one run must not swallow the start of the next run.
  const std::u16string cut = decodeWith(decoder, kChineseGbk + "\xD6");
  EXPECT_EQ(cut.substr(0, 2), u"中文");
  EXPECT_EQ(cut.size(), 3u);
  EXPECT_EQ(cut[2], u'\uFFFD');
  EXPECT_EQ(decodeWith(decoder, "xy"), u"xy");
  // Undecodable pairs in the middle: replaced, the rest kept, never more units than bytes.
  const std::string broken = std::string("a\x81\x7F") + "b" + kChineseGbk;
  const std::u16string decoded = decodeWith(decoder, broken);
  EXPECT_LE(decoded.size(), broken.size());
  EXPECT_EQ(decoded.front(), u'a');
  EXPECT_EQ(decoded.substr(decoded.size() - 3), u"b中文");
  EXPECT_NE(decoded.find(u'\uFFFD'), std::u16string::npos);
}

// Every two-byte code of GBK and of Big5, against Python's codecs (an implementation that shares
// nothing with ICU). Python has to be Debian's; without it the comparison cannot run.
std::vector<std::pair<std::string, std::string>> referenceTable(const std::string& table) {
  const std::filesystem::path python = "/usr/bin/python3";
  if (!std::filesystem::exists(python)) return {};
  const std::string command =
      python.string() + " " + QUILLET_CODEC_REFERENCE_SCRIPT + " " + table + " 2>/dev/null";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) return {};
  std::string output;
  char buffer[65536];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe.get())) > 0) output.append(buffer, n);
  std::vector<std::pair<std::string, std::string>> rows;
  std::istringstream lines(output);
  std::string code;
  std::string expected;
  while (lines >> code >> expected) rows.emplace_back(code, expected);
  return rows;
}

TEST(FullTables, EveryGbkCharacterDecodesAsPythonDoes) {
  const auto rows = referenceTable("gbk");
  if (rows.empty()) GTEST_SKIP() << "/usr/bin/python3 is not installed (Debian package python3)";
  ASSERT_EQ(rows.size(), 126u * 190u);
  int compared = 0;
  std::vector<std::string> differences;
  for (const auto& [code, expected] : rows) {
    const std::string decoded = gbkToUtf8(fromHex(code));
    if (expected == "-") {
      // Python knows no character here: ours must still give something, never an empty text
      // or the raw bytes passed through as if they were UTF-8.
      EXPECT_FALSE(decoded.empty()) << code;
      continue;
    }
    ++compared;
    if (toHex(decoded) != expected)
      differences.push_back(code + " " + toHex(decoded) + " " + expected);
  }
  EXPECT_GT(compared, 21000);
  EXPECT_TRUE(differences.empty())
      << differences.size() << " differences, first: " << differences.front();
}

TEST(FullTables, EveryBig5CharacterConvertsToGbkAsPythonDoes) {
  const auto rows = referenceTable("big5");
  if (rows.empty()) GTEST_SKIP() << "/usr/bin/python3 is not installed (Debian package python3)";
  ASSERT_EQ(rows.size(), 126u * 190u);
  int compared = 0;
  std::vector<std::string> differences;
  for (const auto& [code, expected] : rows) {
    const std::string converted = big5ToGbk(fromHex(code));
    if (expected != "-" && code >= "c6a1" && code <= "c7fc" && toHex(converted) != expected) {
      // Python's cp950 fills this range with the kana and Cyrillic of an older Big5 extension;
      // code page 950 keeps it for user-defined characters (private use, U+F6B1 on), which GBK
      // cannot hold.
      const std::string utf16 = multiByteToUtf16(fromHex(code), 950);
      ASSERT_EQ(utf16.size(), 4u) << code;
      const unsigned unit =
          static_cast<unsigned char>(utf16[0]) | static_cast<unsigned char>(utf16[1]) << 8;
      EXPECT_TRUE(unit >= 0xE000 && unit <= 0xF8FF) << code;
      EXPECT_EQ(converted, "?") << code;
      continue;
    }
    if (expected == "-") {
      EXPECT_FALSE(converted.empty()) << code;
      continue;
    }
    ++compared;
    if (toHex(converted) != expected)
      differences.push_back(code + " " + toHex(converted) + " " + expected);
  }
  EXPECT_GT(compared, 13000);
  EXPECT_TRUE(differences.empty())
      << differences.size() << " differences, first: " << differences.front();
}

TEST(FullTables, SimplifyingKeepsEveryGbkCharacterTwoBytes) {
  std::string all;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      all.push_back(static_cast<char>(lead));
      all.push_back(static_cast<char>(trail));
    }
  }
  const std::string simplified = toSimplifiedChinese(all);
  ASSERT_EQ(simplified.size(), all.size());
  int changed = 0;
  for (std::size_t i = 0; i < all.size(); i += 2) {
    if (simplified.compare(i, 2, all, i, 2) == 0) continue;
    ++changed;
    // A changed character is still one valid two-byte GBK character.
    ASSERT_GE(static_cast<unsigned char>(simplified[i]), 0x81u);
    ASSERT_GE(static_cast<unsigned char>(simplified[i + 1]), 0x40u);
  }
  // GBK carries a few thousand traditional characters; a handful would mean the map is missing.
  EXPECT_GT(changed, 1500);
}

// Big5 goes through a table; it must give what decoding to UTF-16 and encoding again gives, for
// every byte pair and for arbitrary bytes, undecodable ones included.
std::string big5ThroughUtf16(const std::string& big5) {
  return utf16ToMultiByte(multiByteToUtf16(big5, 950), 936);
}

TEST(Big5Table, EveryBytePairAsThroughUtf16) {
  int differences = 0;
  for (int lead = 0x80; lead <= 0xFF; ++lead) {
    for (int next = 1; next <= 0xFF; ++next) {
      const std::string bytes{static_cast<char>(lead), static_cast<char>(next)};
      const std::string expected = big5ThroughUtf16(bytes);
      if (big5ToGbk(bytes) != expected) ++differences;
      if (big5ToSimplifiedGbk(bytes) != toSimplifiedChinese(expected)) ++differences;
    }
  }
  EXPECT_EQ(differences, 0);
}

TEST(Big5Table, ArbitraryBytesAsThroughUtf16) {
  std::uint32_t seed = 12345;
  const auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) & 0xFF;
  };
  for (int round = 0; round < 20000; ++round) {
    std::string bytes;
    const unsigned length = next() % 24;
    for (unsigned i = 0; i < length; ++i) {
      const unsigned b = next();
      // Mostly high bytes, where the lead and trail rules matter; never a zero byte.
      bytes.push_back(static_cast<char>(b < 64 ? (b % 0x7F) + 1 : 0x80 | b));
    }
    const std::string expected = big5ThroughUtf16(bytes);
    ASSERT_EQ(toHex(big5ToGbk(bytes)), toHex(expected)) << toHex(bytes);
    ASSERT_EQ(toHex(big5ToSimplifiedGbk(bytes)), toHex(toSimplifiedChinese(expected)))
        << toHex(bytes);
  }
}

}  // namespace
}  // namespace quillet
