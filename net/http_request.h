#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "net/http_request_record.h"

namespace quillet {

// Flag bits of the request's flag word. The word is computed from the record and decides how the
// transfer runs: fresh from the server, with or without the cookie jar, redirects followed or
// not, http-to-https redirects refused, TLS.
inline constexpr std::uint32_t kFlagReload = 0x80000000u;
inline constexpr std::uint32_t kFlagNeedFile = 0x00000010u;
inline constexpr std::uint32_t kFlagNoCookies = 0x00080000u;
inline constexpr std::uint32_t kFlagNoAutoRedirect = 0x00200000u;
inline constexpr std::uint32_t kFlagIgnoreRedirectToHttps = 0x00004000u;
inline constexpr std::uint32_t kFlagSecure = 0x00800000u;

/// The user agent sent when the extra headers name none.
inline constexpr char kDefaultAgent[] =
    "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 2.0.50727; .NET CLR "
    "3.0.04506.648; .NET CLR 3.5.21022)";

/// What the engine derives from a record before it sends anything; exposed so that callers and
/// tests can see the decisions without a server.
struct HttpRequestPlan {
  bool secure = false;
  std::string host;
  std::string path;
  int port = 0;
  std::string agent;
  std::uint32_t flags = 0;
  std::string headerText;  // the extra header lines followed by those the engine appends
  bool followRedirects = false;
  // A CR or LF of a caller's text (address, cookie text, proxy, user agent, or a bare CR in a
  // header line) would land inside a header line: such a request is never sent.
  bool refused = false;
};

/// The header lines of a header text, one per entry, as they go out: lines end at "\r\n" or a
/// bare "\n" (so that no line carries a line feed); empty lines fall away.
std::vector<std::string> requestHeaderLines(std::string_view text);

/// The most body bytes a transfer holds in memory; a larger body fails the request. Bodies that
/// go to a sink are not held and have no limit.
inline constexpr std::size_t kMaxBodyInMemory = 256u * 1024u * 1024u;

/// Computes the plan for `record` (normalised to seven slots first).
HttpRequestPlan planHttpRequest(const HttpRequestRecord& record);

/// Takes a response body piece by piece as it arrives; returning false abandons the transfer.
using BodySink = std::function<bool(std::string_view piece)>;

/// Performs the request that `record` describes and writes the results back into it: slot 0 the
/// body, slot 1 the received-cookie text, slot 5 the raw header block ("\r\n" line ends, the
/// status line first; the final response's block when redirects were followed). The record is
/// completed or cut to seven slots first. Failures show as empty slots 0, 1 and 5; a transfer that
/// breaks off in the body keeps what arrived. When `cancel` becomes true the transfer is abandoned
/// and the record is left untouched. With a `sink` the body goes to it as it arrives (only the
/// final response's body) and slot 0 stays empty. A body held in memory larger than
/// `maxBodyBytes` fails the request. A refused plan (see HttpRequestPlan::refused) fails without
/// sending anything. When `incomplete` is given it gets why the answer is not whole (it broke off
/// after its headers, or its body outgrew the limit), and is left empty when it is.
/// Blocking; meant for a worker thread. No exception leaves it through libcurl.
void performHttpRequest(HttpRequestRecord& record, const std::atomic<bool>* cancel = nullptr,
                        const BodySink& sink = {}, std::size_t maxBodyBytes = kMaxBodyInMemory,
                        std::string* incomplete = nullptr);

/// Writes every transfer's conversation (connection, request and response headers, TLS) to
/// standard error, for someone debugging a site. Off by default; process-wide.
void setHttpTrace(bool on);

/// Certificates that TLS transfers trust: a PEM bundle file, or the system's store when empty
/// (the default). Process-wide; for a site with its own authority and for tests.
void setTrustedCertificates(const std::string& pemFile);
std::string trustedCertificates();

}  // namespace quillet
