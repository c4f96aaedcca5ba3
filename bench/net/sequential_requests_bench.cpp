// 1,000 sequential small requests to a local server: fetchWithTimeout (a worker thread, the
// request engine and a fresh connection per request) beside plain libcurl doing one request per
// fresh easy handle, the least any engine on libcurl can do. The two take turns in blocks of
// 100, so that a machine busy with other work slows both alike. The server's port comes from the
// environment variable QUILLET_BENCH_PORT (bench/net/run.sh starts the server).
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "net/fetch_with_timeout.h"

namespace {

constexpr int kRequests = 1000;
constexpr int kBlock = 100;
using Clock = std::chrono::steady_clock;

std::string smallUrl() {
  const char* port = std::getenv("QUILLET_BENCH_PORT");
  return std::string("http://127.0.0.1:") + (port != nullptr ? port : "1") + "/bytes/512";
}

size_t collect(char* data, size_t size, size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

bool fetchOnce(const std::string& url) {
  std::string address = url;
  return quillet::fetchWithTimeout(address).size() == 512;
}

bool libcurlOnce(const std::string& url) {
  CURL* easy = curl_easy_init();
  std::string body;
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &collect);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
  curl_easy_perform(easy);
  curl_easy_cleanup(easy);
  return body.size() == 512;
}

void BM_SequentialRequests(benchmark::State& state) {
  const std::string url = smallUrl();
  double fetchSeconds = 0;
  double libcurlSeconds = 0;
  for (auto _ : state) {
    for (int block = 0; block < kRequests / kBlock; ++block) {
      auto start = Clock::now();
      for (int i = 0; i < kBlock; ++i) {
        if (!fetchOnce(url)) return state.SkipWithError("a fetchWithTimeout request failed");
      }
      fetchSeconds += std::chrono::duration<double>(Clock::now() - start).count();
      start = Clock::now();
      for (int i = 0; i < kBlock; ++i) {
        if (!libcurlOnce(url)) return state.SkipWithError("a libcurl request failed");
      }
      libcurlSeconds += std::chrono::duration<double>(Clock::now() - start).count();
    }
  }
  const double requests = static_cast<double>(state.iterations()) * kRequests;
  state.counters["fetch_per_second"] = requests / fetchSeconds;
  state.counters["libcurl_per_second"] = requests / libcurlSeconds;
}

BENCHMARK(BM_SequentialRequests)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
