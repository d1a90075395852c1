// What every part of the fake recorder writes to a connection: whole byte runs and HTTP replies.
#pragma once
#include <cstddef>
#include <string>

namespace fake {

// Sends all `n` bytes (retrying short writes and interruptions); false once the peer is gone.
bool SendAll(int fd, const char* p, std::size_t n);
inline bool SendAll(int fd, const std::string& bytes) { return SendAll(fd, bytes.data(), bytes.size()); }

// A whole reply as the recorder sends it: status line, its few headers (Content-Length unless
// `withLength` is false), then the body.
std::string HttpReply(int status, const char* reason, const std::string& body, bool withLength = true);

}  // namespace fake
