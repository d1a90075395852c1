// A thin blocking TCP/UDP socket with time-outs in whole seconds, an IPv4 address value and
// one exception type that names the failing operation.
//
// Every wait polls this one socket (writability before a send, readability before a receive)
// in short slices and checks the calling thread's cancel token between them; the socket is
// also registered with the thread's cancel token, so cancelling the thread makes a blocked
// call return at once (plat::ThreadCancelled propagates). Time-outs follow the test clock
// (plat::ScaleTimeout). The destructor closes a socket that is still open.
#pragma once
#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/types.h"

namespace plat {
class SocketCancelRegistration;
}

// IPv4 address and port, kept in network byte order like the system's address record.
class CSockAddr {
 public:
  CSockAddr();  // 0.0.0.0, port 0
  // Dotted text and a port in host order. Text that is not a dotted address gives the
  // all-ones address 255.255.255.255 (names are resolved with CBlockingSocket::GetHostByName).
  CSockAddr(const char* ip, plat::WORD port);
  explicit CSockAddr(const sockaddr_in& sa) : m_sa(sa) {}

  const sockaddr* AsSockAddr() const { return reinterpret_cast<const sockaddr*>(&m_sa); }
  sockaddr_in& Raw() { return m_sa; }
  const sockaddr_in& Raw() const { return m_sa; }
  plat::DWORD IPAddr() const;  // host byte order
  plat::WORD Port() const;     // host byte order
  std::string DottedText() const;  // "%d.%d.%d.%d", each byte 0..255

 private:
  sockaddr_in m_sa;
};

// Thrown by every failing socket operation but Receive and Cleanup. The text is the
// operation's name: "Create", "Bind", "Connect", "Connect timeout", "Send timeout", "Send",
// "Close", "GetHostByName", "Sendto", "SetSockOpt".
class CBlockingSocketException : public std::runtime_error {
 public:
  explicit CBlockingSocketException(const std::string& operation)
      : std::runtime_error(operation), m_strMessage(operation) {}
  const std::string& GetErrorMessage() const { return m_strMessage; }
  std::string m_strMessage;
};

class CBlockingSocket {
 public:
  static constexpr int kStream = 1;    // TCP
  static constexpr int kDatagram = 2;  // UDP
  // Upper bound of a connect whose caller gives no time-out of its own.
  static constexpr plat::WORD kDefaultConnectTimeoutSec = 20;

  CBlockingSocket();
  ~CBlockingSocket();
  CBlockingSocket(const CBlockingSocket&) = delete;
  CBlockingSocket& operator=(const CBlockingSocket&) = delete;

  void Create(int type = kStream);
  void Bind(const CSockAddr& local);
  // Non-blocking connect bounded by `timeoutSec`; "Connect timeout" when it runs out,
  // "Connect" when refused or failed. Sets m_bConnected.
  void Connect(const CSockAddr& remote, plat::WORD timeoutSec = kDefaultConnectTimeoutSec);
  // Sends the whole length; the time-out applies afresh to every round. Length 0 waits once
  // and returns 0.
  int Write(const void* data, std::size_t length, plat::WORD timeoutSec);
  int WriteAll(const void* data, std::size_t length, plat::WORD timeoutSec);
  // One wait, one send: the bytes the system took (may be fewer than the length).
  int Send(const void* data, std::size_t length, plat::WORD timeoutSec);
  // One receive of 1..capacity bytes. -1 (never throws) when there is no socket (no wait),
  // on time-out, on error and when the peer has closed the connection.
  int Receive(void* buffer, std::size_t capacity, plat::WORD timeoutSec);
  void Close();    // nothing without a socket; throws "Close" if closing fails
  void Cleanup();  // closes quietly; never throws

  static CSockAddr GetHostByName(const char* name, plat::WORD port);
  int Sendto(const void* data, std::size_t length);  // one datagram to m_saTarget
  int SetSockOpt();                                  // broadcast on

  // Further operations (SocketExtras.cpp), each throwing its name on failure.
  void Listen();  // backlog 5: "Listen"
  // Waits for a connection and hands it to `connected`; FALSE when the wait was interrupted,
  // otherwise "Accept".
  plat::BOOL Accept(CBlockingSocket& connected, CSockAddr& peer);
  // One datagram and its sender, without waiting (the time-out is not used): "ReceiveDatagram".
  int ReceiveDatagram(void* buffer, std::size_t capacity, CSockAddr& from, plat::WORD timeoutSec);
  // "Send timeout" / "SendDatagram".
  int SendDatagram(const void* data, std::size_t length, const CSockAddr& to, plat::WORD timeoutSec);
  void GetPeerName(CSockAddr& addr);  // "GetPeerName"
  void GetSockName(CSockAddr& addr);  // "GetSockName"
  static std::string GetHostByAddr(const CSockAddr& addr);  // "GetHostByAddr"

  bool IsOpen() const { return m_hSocket >= 0; }
  int Handle() const { return m_hSocket; }

  int m_hSocket = -1;  // -1: no socket held
  CSockAddr m_saTarget;
  int m_bConnected = 0;

 private:
  // Polls for `events` up to `timeoutMs` real ms in slices, checking cancellation.
  // 1 ready (also when the poll itself fails: the call that follows reports it), 0 time-out.
  int WaitReady(short events, plat::DWORD timeoutMs);
  std::unique_ptr<plat::SocketCancelRegistration> m_cancel;
};

// The PC's own IPv4 address as dotted text: the first non-loopback IPv4 address of the
// machine (127.0.0.1 only when nothing else exists); plat::SetLocalIPv4Override replaces it.
std::string GetLocalIPAddress();
// The same into a caller's buffer, bounded and zero-terminated.
void GetLocalIPAddress(char* out, std::size_t capacity);
