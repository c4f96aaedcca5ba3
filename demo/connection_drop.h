#pragma once

#include <string>

namespace quillet {

// Shuts down, without a word, the accepted connection of this process whose
// local port is `localPort` and whose peer is `peerAddress`:`peerPort`. The
// server still owns the socket and closes it later; the peer sees the
// connection end with no response. Returns whether such a connection was found.
bool dropConnection(int localPort, const std::string& peerAddress, int peerPort);

}  // namespace quillet
