// 1,000 sequential small requests to a local server: FetchWithTimeout (a worker thread, the
// request engine and a fresh connection per request) beside plain libcurl doing one request per
// fresh easy handle, the least any engine on libcurl can do. The server's port comes from the
// environment variable QUILLET_BENCH_PORT (bench/net/run.sh starts the server).
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <cstdlib>
#include <string>

#include "net/fetch_with_timeout.h"

namespace {

constexpr int kRequests = 1000;

std::string smallUrl() {
  const char* port = std::getenv("QUILLET_BENCH_PORT");
  return std::string("http://127.0.0.1:") + (port != nullptr ? port : "1") + "/bytes/512";
}

size_t collect(char* data, size_t size, size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

void BM_FetchWithTimeout(benchmark::State& state) {
  const std::string url = smallUrl();
  for (auto _ : state) {
    for (int i = 0; i < kRequests; ++i) {
      std::string address = url;
      const std::string body = quillet::FetchWithTimeout(address);
      if (body.size() != 512) {
        state.SkipWithError("a request failed");
        return;
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * kRequests);
}

void BM_LibcurlFreshHandle(benchmark::State& state) {
  const std::string url = smallUrl();
  for (auto _ : state) {
    for (int i = 0; i < kRequests; ++i) {
      CURL* easy = curl_easy_init();
      std::string body;
      curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
      curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &collect);
      curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
      curl_easy_perform(easy);
      curl_easy_cleanup(easy);
      if (body.size() != 512) {
        state.SkipWithError("a request failed");
        return;
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * kRequests);
}

BENCHMARK(BM_FetchWithTimeout)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true)
    ->UseRealTime();
BENCHMARK(BM_LibcurlFreshHandle)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
