#include "session/Command.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

#include "session/SessionRecord.h"
#include "session/Socket.h"

using plat::DWORD;
using plat::WORD;

namespace {

// ---- pending network change -------------------------------------------------------------
std::mutex g_pendingMutex;
WORD g_wNewWebPort = 0;
bool g_fWebPortChanged = false;
std::string g_strNewServer;
bool g_fServerChanged = false;
// The thread that left the change: only a reply to one of its own requests applies it (a
// reply another thread happens to receive meanwhile comes from the old address).
std::thread::id g_pendingOwner;

void ApplyPendingNetworkChange(::CSettingINI& settings) {
  std::lock_guard<std::mutex> lock(g_pendingMutex);
  if (g_pendingOwner != std::this_thread::get_id()) return;
  if (g_fWebPortChanged) {
    settings.m_wWebPort = g_wNewWebPort;
    g_fWebPortChanged = false;
  }
  if (g_fServerChanged) {
    settings.m_strServerName = g_strNewServer;
    g_fServerChanged = false;
  }
}

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Finds "\r\n\r\n" in data[0..length); npos when absent.
std::size_t FindHeadEnd(const char* data, std::size_t length, std::size_t from = 0) {
  if (length < 4) return std::string::npos;
  for (std::size_t i = from; i + 4 <= length; ++i) {
    if (data[i] == '\r' && data[i + 1] == '\n' && data[i + 2] == '\r' && data[i + 3] == '\n') return i;
  }
  return std::string::npos;
}

// Leading decimal digits of [p, end) as an unsigned value that saturates; `digits` counts them.
std::uint64_t ReadDecimal(const char* p, const char* end, std::size_t* digits) {
  std::uint64_t v = 0;
  std::size_t n = 0;
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  while (p < end && *p >= '0' && *p <= '9') {
    const unsigned d = static_cast<unsigned>(*p - '0');
    v = (v > (kMax - d) / 10) ? kMax : v * 10 + d;
    ++p;
    ++n;
  }
  if (digits) *digits = n;
  return v;
}

// The status of one command exchange before the shared state is touched.
enum class Exchange { Failed, Refused, Sent, Replied };

struct ExchangeResult {
  Exchange kind = Exchange::Failed;
  int status = 0;
  DWORD bodyLength = 0;
};

// One connection: send the request, read and check the head, read the body into the caller's
// buffer. Never writes past `replyCapacity` nor past the head space.
ExchangeResult RunExchange(const CSockAddr& address, std::uint8_t command, const std::string& request,
                           std::uint8_t* replyBuffer, std::size_t replyCapacity, bool wantBody, bool truncate,
                           WORD sendTimeout, WORD recvTimeout, const std::function<void()>& onSuccessStatus) {
  ExchangeResult result;
  CBlockingSocket socket;
  try {
    socket.Create(CBlockingSocket::kStream);
    // The connect is bounded by the send time-out: a recorder that never accepts cannot
    // hold the caller longer than a send could.
    socket.Connect(address, sendTimeout);
    socket.Write(request.data(), request.size(), sendTimeout);
  } catch (const CBlockingSocketException&) {
    socket.Cleanup();
    return result;
  }
  if (command == CGI_REBOOT) {
    socket.Cleanup();
    result.kind = Exchange::Sent;
    return result;
  }

  std::vector<char> head(kReplyHeadCapacity);
  std::size_t held = 0;
  std::size_t headEnd = std::string::npos;
  for (int read = 0; read < kReplyHeadMaxReads && headEnd == std::string::npos; ++read) {
    const std::size_t room = std::min(kReplyHeadReadSize, head.size() - held);
    if (room == 0) break;  // the head does not fit the bounded space
    const int n = socket.Receive(head.data() + held, room, recvTimeout);
    if (n <= 0) {
      socket.Cleanup();
      return result;
    }
    const std::size_t searchFrom = held >= 3 ? held - 3 : 0;
    held += static_cast<std::size_t>(n);
    headEnd = FindHeadEnd(head.data(), held, searchFrom);
  }
  ReplyHead parsed;
  if (headEnd == std::string::npos || !ParseReplyHead(head.data(), held, parsed)) {
    socket.Cleanup();
    return result;
  }
  result.status = parsed.status;
  if (parsed.status != 200) {
    socket.Cleanup();
    result.kind = Exchange::Refused;
    return result;
  }
  std::uint64_t contentLength = parsed.hasContentLength ? parsed.contentLength : 0;
  // A truncating caller keeps what fits and leaves the rest unread.
  if (truncate && contentLength > replyCapacity) contentLength = replyCapacity;
  if (wantBody && contentLength > replyCapacity) {
    // The recorder accepted the command; only the reply does not fit the caller's buffer.
    onSuccessStatus();
    socket.Cleanup();
    return result;
  }
  onSuccessStatus();
  result.kind = Exchange::Replied;
  if (contentLength == 0 || !wantBody) {
    socket.Cleanup();
    return result;
  }
  const std::size_t target = static_cast<std::size_t>(contentLength);
  std::size_t have = std::min(held - parsed.headLength, target);
  if (have > 0) std::memcpy(replyBuffer, head.data() + parsed.headLength, have);
  while (have < target) {
    const int n = socket.Receive(replyBuffer + have, target - have, recvTimeout);
    if (n <= 0) {
      // The recorder announced more than it sent: a cut reply is no answer.
      socket.Cleanup();
      result.kind = Exchange::Failed;
      return result;
    }
    have += static_cast<std::size_t>(n);
  }
  result.bodyLength = static_cast<DWORD>(have);
  socket.Cleanup();
  return result;
}

}  // namespace

bool IsSafeHeadText(const char* text, std::size_t length) {
  if (text == nullptr) return length == 0;
  for (std::size_t i = 0; i < length; ++i) {
    if (text[i] == '\r' || text[i] == '\n' || text[i] == '\0') return false;
  }
  return true;
}

std::string BuildCommandHead(const char* target, std::size_t targetLength, bool withBody, DWORD bodyLength,
                             const std::string& hostHeader) {
  // A line break or NUL inside the target or the host would end the request line early and
  // let the rest of the text pass as headers of its own: no head is built for it.
  if (target == nullptr || targetLength == 0 || !IsSafeHeadText(target, targetLength) ||
      !IsSafeHeadText(hostHeader.data(), hostHeader.size())) {
    return std::string();
  }
  std::string head;
  head.reserve(320 + targetLength + hostHeader.size());
  head += "GET ";
  head.append(target, targetLength);
  head += " HTTP/1.1\r\nAccept: */* \r\nAccept-Language: zh-tw\r\n";
  if (withBody) {
    head += "Content-Length: ";
    head += std::to_string(bodyLength);
    head += "\r\n";
  }
  head +=
      "Accept-Encoding: gzip, deflate\r\n"
      "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 1.1.4322)\r\n";
  head += "Host: ";
  head += hostHeader;
  head += "\r\nConnection: Keep-Alive\r\n\r\n";
  return head;
}

bool ParseReplyHead(const char* data, std::size_t length, ReplyHead& out) {
  out = ReplyHead{};
  if (data == nullptr) return false;
  const std::size_t end = FindHeadEnd(data, length);
  if (end == std::string::npos) return false;
  out.headLength = end + 4;
  const char* p = data;
  const char* headStop = data + end + 2;  // keeps the CR LF of the last header line

  // Status line: the text between its first and second blank.
  const char* lineEnd = p;
  while (lineEnd < headStop && *lineEnd != '\r' && *lineEnd != '\n') ++lineEnd;
  const char* b1 = std::find(p, lineEnd, ' ');
  if (b1 != lineEnd) {
    const char* s = b1 + 1;
    const char* b2 = std::find(s, lineEnd, ' ');
    std::size_t digits = 0;
    const std::uint64_t v = ReadDecimal(s, b2, &digits);
    out.status = (digits == 0 || v > 999999) ? 0 : static_cast<int>(v);
  }

  // Header lines.
  static const char kName[] = "CONTENT-LENGTH";
  constexpr std::size_t kNameLen = sizeof kName - 1;
  const char* line = lineEnd;
  while (line < headStop) {
    while (line < headStop && (*line == '\r' || *line == '\n')) ++line;
    const char* e = line;
    while (e < headStop && *e != '\r' && *e != '\n') ++e;
    if (static_cast<std::size_t>(e - line) > kNameLen) {
      bool match = true;
      for (std::size_t i = 0; i < kNameLen && match; ++i) match = Upper(line[i]) == kName[i];
      const char* q = line + kNameLen;
      while (match && q < e && IsBlank(*q)) ++q;
      if (match && q < e && *q == ':') {
        ++q;
        while (q < e && IsBlank(*q)) ++q;
        std::size_t digits = 0;
        out.contentLength = ReadDecimal(q, e, &digits);
        out.hasContentLength = true;
        if (digits == 0) out.contentLength = 0;
        break;
      }
    }
    line = e;
  }
  return true;
}

int IsIPAddressString(const std::string& text) {
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || c == '.')) return 1;
  }
  return 2;
}

void SetPendingWebPort(WORD port) {
  std::lock_guard<std::mutex> lock(g_pendingMutex);
  g_wNewWebPort = port;
  g_fWebPortChanged = true;
  g_pendingOwner = std::this_thread::get_id();
}

void SetPendingServer(const std::string& dottedAddress) {
  std::lock_guard<std::mutex> lock(g_pendingMutex);
  g_strNewServer = dottedAddress;
  g_fServerChanged = true;
  g_pendingOwner = std::this_thread::get_id();
}

void ClearPendingNetworkChange() {
  std::lock_guard<std::mutex> lock(g_pendingMutex);
  g_fWebPortChanged = false;
  g_fServerChanged = false;
}

bool HasPendingNetworkChange() {
  std::lock_guard<std::mutex> lock(g_pendingMutex);
  return g_fWebPortChanged || g_fServerChanged;
}

int ZududSendCommand(std::uint8_t command, const char* target, std::size_t targetLength, const std::uint8_t* body,
                     DWORD bodyLength, CgiReplyRecord* reply, DWORD /*replyRecordSize*/, std::uint8_t* replyBuffer,
                     std::size_t replyCapacity, DWORD* replyLength, WORD sendTimeoutSec, WORD recvTimeoutSec,
                     WORD flag) {
  if (target == nullptr || g_lpSession == nullptr) return 0;
  if (targetLength == 0) targetLength = std::strlen(target);
  if (targetLength == 0) return 0;
  if (body == nullptr) bodyLength = 0;
  ::CSettingINI& settings = g_lpSession->CSettingINI;

  std::string request = BuildCommandHead(target, targetLength, body != nullptr, bodyLength, g_strLocalIP.Get());
  if (request.empty()) return 0;  // a line break or NUL in the target: nothing is sent
  if (body != nullptr && bodyLength > 0) request.append(reinterpret_cast<const char*>(body), bodyLength);

  const std::string server = settings.m_strServerName.Get();
  if (server.empty() || !IsSafeHeadText(server.data(), server.size())) return 0;
  const WORD port = settings.m_wWebPort.load();
  CSockAddr address;
  if (IsIPAddressString(server) == 2) {
    address = CSockAddr(server.c_str(), port);
  } else {
    try {
      address = CBlockingSocket::GetHostByName(server.c_str(), port);
    } catch (const CBlockingSocketException&) {
      return 0;
    }
    if (command == CGI_LOGIN) {
      // Later connections (the stream among them) use the dotted address; the name is kept
      // so a failed login can put it back.
      settings.m_szHostName.Set(server);
      settings.m_strServerName = address.DottedText();
    }
  }

  const ExchangeResult r = RunExchange(
      address, command, request, replyBuffer, replyCapacity, replyBuffer != nullptr,
      (flag & kSendFlagTruncateReply) != 0, sendTimeoutSec, recvTimeoutSec,
      [&settings] { ApplyPendingNetworkChange(settings); });
  switch (r.kind) {
    case Exchange::Sent:
      return 1;
    case Exchange::Refused:
      if (reply) reply->dwStatus = static_cast<DWORD>(r.status);
      return 0;
    case Exchange::Replied:
      if (replyLength) *replyLength = r.bodyLength;
      return 1;
    case Exchange::Failed:
      break;
  }
  return 0;
}
