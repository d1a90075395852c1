#include "tests/support/Wire.h"

#include <sys/socket.h>
#include <sys/types.h>

#include <cerrno>

namespace fake {

bool SendAll(int fd, const char* p, std::size_t n) {
  while (n > 0) {
    const ssize_t w = ::send(fd, p, n, MSG_NOSIGNAL);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

std::string HttpReply(int status, const char* reason, const std::string& body, bool withLength) {
  std::string r = "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\n";
  r += "Server: recorder\r\nContent-Type: text/plain\r\n";
  if (withLength) r += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  r += "Connection: close\r\n\r\n";
  return r + body;
}

}  // namespace fake
