// Conversion speed over 64 MB of Chinese text, each conversion beside glibc's iconv doing the
// same job on the same bytes in the same process (iconv cannot simplify characters, so
// big5ToSimplifiedGbk is measured against iconv's plain Big5 to GBK).
#include <benchmark/benchmark.h>
#include <iconv.h>

#include <string>

#include "text/code_page_conversion.h"

namespace {

constexpr std::size_t kInputSize = 64u << 20;

// Every character both code pages hold, with some ASCII between them, repeated up to 64 MB.
std::string repeatTo(const std::string& unit) {
  std::string text;
  text.reserve(kInputSize + unit.size());
  while (text.size() < kInputSize) text += unit;
  text.resize(kInputSize - kInputSize % 2);
  return text;
}

const std::string& utf8Input() {
  static const std::string text = [] {
    std::string gbk;
    for (int lead = 0xB0; lead <= 0xF7; ++lead) {
      for (int trail = 0xA1; trail <= 0xFE; ++trail) {
        gbk.push_back(static_cast<char>(lead));
        gbk.push_back(static_cast<char>(trail));
      }
      gbk += " ascii, 123.\n";
    }
    return repeatTo(quillet::gbkToUtf8(gbk));
  }();
  return text;
}

const std::string& big5Input() {
  static const std::string text = [] {
    std::string big5;
    // The two common-character blocks of Big5; the user-defined rows between them are left out.
    for (int lead = 0xA4; lead <= 0xF8; ++lead) {
      if (lead >= 0xC6 && lead <= 0xC8) continue;
      for (int trail : {0x40, 0x50, 0x60, 0x70, 0xA1, 0xB0, 0xC0, 0xD0, 0xE0, 0xF0}) {
        for (int i = 0; i < 10; ++i) {
          big5.push_back(static_cast<char>(lead));
          big5.push_back(static_cast<char>(trail + i));
        }
      }
      big5 += " ascii, 123.\n";
    }
    return repeatTo(big5);
  }();
  return text;
}

std::string iconvConvert(const char* to, const char* from, const std::string& input) {
  iconv_t cd = iconv_open(to, from);
  std::string out(input.size() * 2, '\0');
  char* in = const_cast<char*>(input.data());
  std::size_t inLeft = input.size();
  char* outPtr = out.data();
  std::size_t outLeft = out.size();
  while (inLeft > 0) {
    if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
      // Skip what cannot be converted, as the conversions under test substitute it.
      ++in;
      --inLeft;
    }
  }
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return out;
}

void BM_Utf8ToGbk(benchmark::State& state) {
  const std::string& input = utf8Input();
  for (auto _ : state) benchmark::DoNotOptimize(quillet::utf8ToGbk(input));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}

void BM_IconvUtf8ToGbk(benchmark::State& state) {
  const std::string& input = utf8Input();
  for (auto _ : state) benchmark::DoNotOptimize(iconvConvert("GBK", "UTF-8", input));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}

void BM_Big5ToSimplifiedGbk(benchmark::State& state) {
  const std::string& input = big5Input();
  for (auto _ : state) benchmark::DoNotOptimize(quillet::big5ToSimplifiedGbk(input));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}

void BM_IconvBig5ToGbk(benchmark::State& state) {
  const std::string& input = big5Input();
  for (auto _ : state) benchmark::DoNotOptimize(iconvConvert("GBK", "BIG5", input));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}

BENCHMARK(BM_Utf8ToGbk)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_IconvUtf8ToGbk)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_Big5ToSimplifiedGbk)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_IconvBig5ToGbk)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
