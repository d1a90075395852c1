// The request/response function of the recorder's CGI commands: one fresh TCP connection per
// call to the settings' server address and web port, one HTTP/1.1 GET (with a body for the
// commands that carry one), the reply head read into bounded space, status 200 only, the body
// read to its Content-Length into the caller's buffer (never past its capacity).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/types.h"
#include "session/CgiRequest.h"

// Optional reply record: dwStatus receives the HTTP status of a reply whose status is not
// 200 (and is written in no other case), so a caller that clears it first can tell a refused
// reply (202: too many users) from a broken connection.
struct CgiReplyRecord {
  plat::DWORD dwReserved = 0;
  plat::DWORD dwStatus = 0;
};

// Fixed bounds of one exchange.
constexpr std::size_t kReplyHeadCapacity = 4096;  // a head that does not end within it fails
constexpr std::size_t kReplyHeadReadSize = 1460;  // at most this much per read of the head
constexpr int kReplyHeadMaxReads = 30;

// Returns 1 or 0:
//  0: empty server address, empty target or a target with CR, LF or NUL; socket, resolution, connect or send failure;
//     head read time-out/error/close; no blank line within the head bounds; a status other
//     than 200 (then `reply->dwStatus` = status); a Content-Length larger than
//     `replyCapacity` when a reply buffer is given; a connection that breaks off before the
//     announced Content-Length has arrived (the buffer may then hold the part that came).
//     Reply length untouched.
//  1: CGI_REBOOT once the request is sent (no reply is read); a 200 reply: `*replyLength`
//     = the body bytes placed in `replyBuffer` (0 without Content-Length).
// For CGI_LOGIN to a host name the settings' server name becomes the resolved dotted
// address and the name is kept in the settings' host name. A 200 reply applies a pending
// web-port / server change (SetPendingWebPort / SetPendingServer).
// A target holding CR, LF or NUL (a user name, password, server or session identifier with a
// line break) fails with nothing sent.
// `targetLength` bytes of `target` are sent (0 means up to the terminating zero).
// `flag`: kSendFlagTruncateReply reads no more of a reply body than `replyCapacity` holds
// (the rest is left unread and the connection closed) and answers 1 with that length, instead
// of failing a reply that does not fit. Other bits change nothing.
constexpr plat::WORD kSendFlagTruncateReply = 0x1;
int ZududSendCommand(std::uint8_t command, const char* target, std::size_t targetLength, const std::uint8_t* body,
                     plat::DWORD bodyLength, CgiReplyRecord* reply, plat::DWORD replyRecordSize,
                     std::uint8_t* replyBuffer, std::size_t replyCapacity, plat::DWORD* replyLength,
                     plat::WORD sendTimeoutSec, plat::WORD recvTimeoutSec, plat::WORD flag = 0);

// The same for a built request.
inline int ZududSendCommand(const CCgiRequest& request, const std::uint8_t* body, plat::DWORD bodyLength,
                            CgiReplyRecord* reply, std::uint8_t* replyBuffer, std::size_t replyCapacity,
                            plat::DWORD* replyLength, plat::WORD sendTimeoutSec, plat::WORD recvTimeoutSec,
                            plat::WORD flag = 0) {
  return ZududSendCommand(request.Command(), request.GetUrl(), request.GetLength(), body, bodyLength, reply,
                          reply ? sizeof(CgiReplyRecord) : 0, replyBuffer, replyCapacity, replyLength, sendTimeoutSec,
                          recvTimeoutSec, flag);
}

// False when text[0..length) holds a CR, LF or NUL.
bool IsSafeHeadText(const char* text, std::size_t length);

// The request head exactly as sent (without the body); the commands and the stream's video
// request share it. Empty when the target is empty or the target or host holds a CR, LF or
// NUL (such a text would split the request); every other byte is sent as it stands.
std::string BuildCommandHead(const char* target, std::size_t targetLength, bool withBody, plat::DWORD bodyLength,
                             const std::string& hostHeader);

// Parsed reply head. `headLength` counts the bytes up to and including the blank line.
struct ReplyHead {
  std::size_t headLength = 0;
  int status = 0;
  bool hasContentLength = false;
  std::uint64_t contentLength = 0;  // saturates at UINT64_MAX
};
// Looks for the end of the head ("\r\n\r\n") in `data`; false when it is not there. Then reads
// the status (the decimal text between the first and second blank of the status line) and a
// "Content-Length" header (name in any case, the value after the colon and optional blanks).
bool ParseReplyHead(const char* data, std::size_t length, ReplyHead& out);

// 2 when every character is a digit or a full stop (the empty text included), else 1.
int IsIPAddressString(const std::string& text);

// The pending network change left by the network page; applied and cleared by the next
// command of the same thread answered with 200 (other threads' replies leave it alone).
void SetPendingWebPort(plat::WORD port);
void SetPendingServer(const std::string& dottedAddress);
void ClearPendingNetworkChange();
bool HasPendingNetworkChange();
