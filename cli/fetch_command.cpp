#include "cli/fetch_command.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

#include "cli/command_line.h"
#include "net/fetch_with_timeout.h"
#include "net/http_request.h"
#include "text/code_page_conversion.h"

namespace quillet::cli {
namespace {

const std::vector<OptionSpec> kOptions = {
    {"method", 'X', true},      {"proxy", 'x', true},   {"header", 'H', true},
    {"header-text", 0, true},   {"data", 'd', true},    {"data-file", 0, true},
    {"cookie", 'b', true},      {"timeout", 't', true}, {"encoding", 'e', true},
    {"no-redirects", 0, false}, {"output", 'o', true},  {"dump-headers", 0, true},
    {"dump-cookies", 0, true},  {"cacert", 0, true},    {"verbose", 'v', false},
    {"help", 'h', false},
};

// A header block never comes back empty from a response, and a failed request writes an empty
// one; a time-out leaves this value in place.
const std::string kNotWritten = "\n";

int usageError(const std::string& message) {
  std::fprintf(stderr, "quillet-cli fetch: %s\nTry 'quillet-cli fetch --help'.\n", message.c_str());
  return kExitUsage;
}

struct FileCloser {
  void operator()(FILE* file) const {
    if (file != nullptr && file != stdout) std::fclose(file);
  }
};

}  // namespace

const char* fetchHelp() {
  return R"(Usage: quillet-cli fetch URL [options]

Fetches URL once, on a worker thread with a deadline, exactly as the program fetches (the same
request headers, cookie store, proxy and redirect rules), and writes the response body to
standard output. A URL without "http://" or "https://" gets "http://" in front of it.

Options:
  -X, --method METHOD      GET (the default) or POST
  -x, --proxy HOST:PORT    send http requests through this HTTP proxy (https goes direct)
  -H, --header LINE        add one request header line, e.g. -H "X-Token: 1" (repeatable)
      --header-text TEXT   extra header text used exactly as given, after the -H lines; write
                           "RefererNo" in it to send no Referer
  -d, --data TEXT          request body (sent with POST only)
      --data-file FILE     request body read from FILE, byte for byte
  -b, --cookie TEXT        cookies to send, as "a=1; b=2"; then the stored cookies stay out
  -t, --timeout SECONDS    give up after this many seconds (default 60; 0 gives up at once)
  -e, --encoding NAME      convert the body: utf8 (UTF-8 to GBK), big5 (Big5 to simplified
                           GBK) or none (the default: the bytes as received)
      --no-redirects       do not follow redirects (https requests always follow them)
  -o, --output FILE        write the body to FILE instead of standard output
      --dump-headers FILE  write the received header block to FILE
      --dump-cookies FILE  write the received cookies ("a=1;b=2;") to FILE
      --cacert FILE        trust the certificates in this PEM file instead of the system's
  -v, --verbose            show the conversation with the server on standard error
  -h, --help               show this help

With -e the body is converted once it is whole, so it is held in memory: a body larger than
256 MiB then fails the request (without -e the body is written as it arrives, at any size).

Exit status: 0 when a response arrived, 1 when the request failed, 2 at the time-out, 3 when
the answer broke off after its headers (what arrived is written, and "incomplete answer: ..."
says why on standard error), 64 when the command line is wrong.
)";
}

int runFetch(const std::vector<std::string>& args) {
  const CommandLine line(args, kOptions);
  if (!line.error().empty()) return usageError(line.error());
  if (line.has("help")) {
    std::fputs(fetchHelp(), stdout);
    return kExitOk;
  }
  if (line.positional().size() != 1) return usageError("give exactly one URL");
  std::string address = line.positional()[0];

  std::optional<int> method;
  if (const auto m = line.value("method")) {
    if (*m == "POST" || *m == "post" || *m == "1") {
      method = 1;
    } else if (*m == "GET" || *m == "get" || *m == "0") {
      method = 0;
    } else {
      return usageError("the method is GET or POST, not " + *m);
    }
  }

  std::optional<std::string> headers;
  for (const std::string& header : line.values("header"))
    headers = headers.value_or("") + header + "\r\n";
  if (const auto text = line.value("header-text")) headers = headers.value_or("") + *text;

  std::optional<std::string> body = line.value("data");
  if (const auto file = line.value("data-file")) {
    body = readFile(*file);
    if (!body) return usageError("cannot read " + *file);
  }

  std::optional<double> timeout;
  if (const auto t = line.value("timeout")) {
    char* end = nullptr;
    errno = 0;
    timeout = std::strtod(t->c_str(), &end);
    if (t->empty() || *end != '\0' || errno != 0)
      return usageError("the time-out is a number of seconds, not " + *t);
  }

  std::optional<int> encoding;
  if (const auto e = line.value("encoding")) {
    if (*e == "utf8" || *e == "1") {
      encoding = 1;
    } else if (*e == "big5" || *e == "2") {
      encoding = 2;
    } else if (*e != "none" && *e != "0") {
      return usageError("the encoding is utf8, big5 or none, not " + *e);
    }
  }
  const std::optional<bool> follow =
      line.has("no-redirects") ? std::optional<bool>(false) : std::nullopt;
  if (const auto ca = line.value("cacert")) setTrustedCertificates(*ca);
  if (line.has("verbose")) setHttpTrace(true);

  std::shared_ptr<FILE> output;
  const auto outputPath = line.value("output");
  if (outputPath) {
    output.reset(std::fopen(outputPath->c_str(), "wb"), FileCloser());
    if (!output) {
      std::fprintf(stderr, "quillet-cli fetch: cannot write %s: %s\n", outputPath->c_str(),
                   std::strerror(errno));
      return kExitFailed;
    }
  } else {
    output.reset(stdout, FileCloser());
  }

  std::string receivedHeaders = kNotWritten;
  std::string receivedCookies;
  std::string result;
  std::string incomplete;
  FetchExtras extras;
  extras.incomplete = &incomplete;
  if (encoding) {
    // Converting needs the whole body, which is then held within the engine's in-memory limit.
    result =
        fetchWithTimeout(address, method, line.value("proxy"), headers, body, line.value("cookie"),
                         timeout, &receivedHeaders, encoding, &receivedCookies, follow, extras);
  } else {
    // Streamed as it arrives: a large download never has to fit in memory. The sink shares the
    // output file, which so stays open for a piece still under way at a time-out.
    auto writeFailed = std::make_shared<bool>(false);
    result = fetchWithTimeoutToSink(
        [output, writeFailed](std::string_view piece) {
          if (std::fwrite(piece.data(), 1, piece.size(), output.get()) == piece.size()) return true;
          *writeFailed = true;
          return false;
        },
        address, method, line.value("proxy"), headers, body, line.value("cookie"), timeout,
        &receivedHeaders, &receivedCookies, follow, extras);
    if (*writeFailed) {
      std::fprintf(stderr, "quillet-cli fetch: writing the body failed: %s\n",
                   std::strerror(errno));
      return kExitFailed;
    }
  }

  if (receivedHeaders == kNotWritten && result == fetchTimeoutMessage()) {
    std::fprintf(stderr, "quillet-cli fetch: %s: no complete answer in time: %s\n", address.c_str(),
                 gbkToUtf8(result).c_str());
    return kExitTimedOut;
  }
  if (receivedHeaders.empty() && !incomplete.empty()) {
    std::fprintf(stderr, "quillet-cli fetch: %s: the request failed: %s\n", address.c_str(),
                 incomplete.c_str());
    return kExitFailed;
  }
  if (receivedHeaders.empty()) {
    std::fprintf(stderr,
                 "quillet-cli fetch: %s: the request failed (no connection, refused, TLS "
                 "certificate not trusted, or no answer)\n",
                 address.c_str());
    return kExitFailed;
  }
  if (!result.empty() &&
      std::fwrite(result.data(), 1, result.size(), output.get()) != result.size()) {
    std::fprintf(stderr, "quillet-cli fetch: writing the body failed: %s\n", std::strerror(errno));
    return kExitFailed;
  }
  if (std::fflush(output.get()) != 0) {
    std::fprintf(stderr, "quillet-cli fetch: writing the body failed: %s\n", std::strerror(errno));
    return kExitFailed;
  }
  if (const auto path = line.value("dump-headers"); path && !writeFile(*path, receivedHeaders)) {
    std::fprintf(stderr, "quillet-cli fetch: cannot write %s\n", path->c_str());
    return kExitFailed;
  }
  if (const auto path = line.value("dump-cookies"); path && !writeFile(*path, receivedCookies)) {
    std::fprintf(stderr, "quillet-cli fetch: cannot write %s\n", path->c_str());
    return kExitFailed;
  }
  if (!incomplete.empty()) {
    std::fprintf(stderr, "quillet-cli fetch: %s: incomplete answer: %s\n", address.c_str(),
                 incomplete.c_str());
    return kExitIncomplete;
  }
  return kExitOk;
}

}  // namespace quillet::cli
