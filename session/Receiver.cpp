// The live-stream receiver thread.
#include "session/Receiver.h"

#include <poll.h>

#include <chrono>
#include <cstdio>

#include "session/SessionRecord.h"
#include "session/SessionHost.h"
#include "core/Model.h"
#include "core/TraceLog.h"
#include "platform/clock.h"
#include "platform/kernel.h"
#include "platform/thread.h"
#include "session/CgiRequest.h"
#include "session/Command.h"
#include "session/Socket.h"
#include "session/StreamParser.h"
#include "session/Threads.h"

using namespace plat;

std::atomic<std::uint32_t> g_dwStreamStatus{0};

std::uint32_t GetStreamStatus() { return g_dwStreamStatus.load(); }
StreamCounters g_StreamCounters;

std::string BuildGetVideoRequest(const std::string& sessionId, const std::string& localIp,
                                 const std::string& extraQuery) {
  const std::string target = std::string(CgiCommandPath(CGI_GETVIDEO)) + "?Cookie=" + sessionId + extraQuery;
  return BuildCommandHead(target.data(), target.size(), false, 0, localIp);
}

namespace {

enum class RecvResult { Data, Failed, StopRequested };

// One receive of at most `capacity` bytes within the 20 s receive time-out. The operator's
// stop request is looked at between short polls, so a quiet stop does not wait for the
// recorder's next bytes.
RecvResult ReceiveChunk(CBlockingSocket& sock, std::uint8_t* buf, std::size_t capacity, HANDLE stopEvent,
                        int& received) {
  const std::uint64_t deadline = GetTickCount64() + kStreamReceiveTimeoutMs;
  for (;;) {
    CheckCancel();
    pollfd p{sock.Handle(), POLLIN, 0};
    const int r = ::poll(&p, 1, static_cast<int>(ScaleTimeout(100) ? ScaleTimeout(100) : 1));
    if (r != 0) {
      // Readable, closed or failed: the receive tells which.
      received = sock.Receive(buf, capacity, 0);
      return received > 0 ? RecvResult::Data : RecvResult::Failed;
    }
    if (WaitForSingleObject(stopEvent, 0) == WAIT_OBJECT_0) return RecvResult::StopRequested;
    if (GetTickCount64() >= deadline) return RecvResult::Failed;
  }
}

class Receiver {
 public:
  explicit Receiver(SessionRecord* app) : app_(app), parser_(kPacketSlotSize) {}

  DWORD Run();

 private:
  // Every failure ends the run: close, clear the flags (unless told not to), set the status,
  // trace, and ask the mailbox worker for a reconnection.
  DWORD Fail(const char* trace, std::uint32_t status, bool clearFlags) {
    sock_.Cleanup();
    if (clearFlags) {
      app_->f_Connected = 0;
      app_->f_Streaming = 0;
    }
    if (status) g_dwStreamStatus = status;
    TraceLog_Append(trace);
    Flush();
    SessionPostKernelMessage(Get_Image_TimeOut_Message);
    return 0;
  }

  DWORD QuietStop() {
    app_->f_Connected = 0;
    app_->f_Streaming = 0;
    sock_.Cleanup();
    Flush();
    SetEvent(app_->h_FeedBackForNotifyResetEvent.load());
    return 0;
  }

  void Flush() {
    if (parser_.BadHeaders() != flushed_.bad) g_dwStreamStatus = kStreamStatusBadHeader;
    g_StreamCounters.badHeaders += parser_.BadHeaders() - flushed_.bad;
    g_StreamCounters.resyncs += parser_.Resyncs() - flushed_.resyncs;
    g_StreamCounters.droppedPictures += parser_.DroppedPictures() - flushed_.dropped;
    flushed_ = {parser_.BadHeaders(), parser_.Resyncs(), parser_.DroppedPictures()};
  }

  SessionRecord* app_;
  StreamParser parser_;
  CBlockingSocket sock_;
  struct {
    std::uint64_t bad = 0, resyncs = 0, dropped = 0;
  } flushed_;
};

DWORD Receiver::Run() {
  SessionRecord* app = app_;
  // The stream's end event ends a thread that a teardown finds still waiting for its start.
  const HANDLE startWaits[2] = {app->h_StartToGetJpegImageEvent.load(), app->h_EndofGetJpegImageEvent.load()};
  if (WaitForMultipleObjects(2, startWaits, FALSE_, INFINITE) != WAIT_OBJECT_0) return 0;

  TraceLog_Append("Got start event");
  app->f_Connected = 1;
  const HANDLE stopEvent = app->h_NotifyGetJPEGImageThreadResetEvent.load();
  ResetEvent(stopEvent);
  ResetEvent(app->h_Process_Reply_TerminateEvent.load());
  SetEvent(app->h_StartToShowImageEvent.load());

  app->dw_StatTick.exchange(static_cast<std::int32_t>(GetTickCount()));
  app->dw_StatBytes.exchange(0);
  app->dw_StatFrames.exchange(0);
  app->dw_StatFramesLast.exchange(0);
  app->dw_StatFramesNow.exchange(0);
  app->dw_StatKbps.exchange(0);

  const std::string server = app->GetServerName();
  const WORD port = app->CSettingINI.m_wWebPort.load();
  try {
    sock_.Create(CBlockingSocket::kStream);
  } catch (const CBlockingSocketException&) {
    return Fail("sClient.Create failed", kStreamStatusConnectFailed, true);
  }
  try {
    sock_.Connect(CSockAddr(server.c_str(), port));
  } catch (const CBlockingSocketException&) {
    return Fail("sClient.Connect failed", kStreamStatusConnectFailed, true);
  }
  const std::string request = BuildGetVideoRequest(GetSessionId(), g_strLocalIP.Get());
  if (request.empty()) return Fail("sClient.Write failed", 0, true);  // a line break in the identifier
  try {
    sock_.WriteAll(request.data(), request.size(), static_cast<WORD>(kStreamWriteTimeoutMs / 1000));
  } catch (const CBlockingSocketException&) {
    return Fail("sClient.Write failed", 0, true);
  }

  // Every header acts at once on this thread (alarm triggers, channel switch, clock).
  parser_.SetHeaderHandler([app](const FrameHeaderFields& f) { app->m_RTPH_Struct.Apply(f, nullptr); });

  std::uint8_t* const packets = app->lp_PacketBuffer.load();
  RtpFrameHeader* const headers = app->lp_PacketHeaders.load();
  const unsigned slots = app->w_PacketSlots.load() ? app->w_PacketSlots.load() : kPacketSlotCount;
  const HANDLE freeSem = app->h_FreePacketSem.load();
  const HANDLE readySem = app->h_PacketReadySem.load();
  const HANDLE endEvent = app->h_EndofGetJpegImageEvent.load();
  if (!packets || !headers) return Fail("dwResult == else Get_Image_TimeOut_Message", 0, true);

  for (;;) {
    if (WaitForSingleObject(stopEvent, 0) == WAIT_OBJECT_0) return QuietStop();

    // A stop request that comes while the compose thread holds both slots is obeyed at once;
    // when the stream's end is signalled together with it, the stop wins (no reconnection
    // for a stream that is being shut down on purpose).
    const HANDLE waits[3] = {freeSem, endEvent, stopEvent};
    DWORD r = WaitForMultipleObjects(3, waits, FALSE_, kStreamFreeSlotTimeoutMs);
    if (r == WAIT_OBJECT_0 + 2) return QuietStop();
    if (r == WAIT_OBJECT_0 + 1 && WaitForSingleObject(stopEvent, 0) == WAIT_OBJECT_0) return QuietStop();
    if (r == WAIT_OBJECT_0 + 1)
      return Fail("dwResult == (WAIT_OBJECT_0 + 1) Get_Image_TimeOut_Message", kStreamStatusEndEvent, true);
    if (r == WAIT_TIMEOUT)
      return Fail("dwResult == WAIT_TIMEOUT Get_Image_TimeOut_Message", kStreamStatusNoFreeSlot, true);
    if (r != WAIT_OBJECT_0) return Fail("dwResult == else Get_Image_TimeOut_Message", 0, true);

    if (app->f_Streaming.load() == 0) app->f_Streaming = 1;
    if (app->f_VideoRunning.load() == 0) app->f_VideoRunning = 1;

    const unsigned index = app->w_PacketWriteIndex.load() % slots;
    std::uint8_t* const slot = packets + std::size_t(index) * kPacketSlotSize;
    headers[index] = RtpFrameHeader{};
    // The format is read afresh for every picture (a login sets it).
    const bool v1 = app->m_RTPH_Struct.f_NewHeader.load() != 0;
    parser_.SetFormat(v1, v1 && IsModelK47R(app->GetProductID()));
    for (;;) {
      if (parser_.Run(slot) == StreamParser::Step::Frame) break;
      int n = 0;
      const std::size_t room = std::min(parser_.WriteSpace(), StreamParser::kReadChunk);
      const RecvResult rr = ReceiveChunk(sock_, parser_.WritePtr(), room, stopEvent, n);
      if (rr == RecvResult::StopRequested) return QuietStop();
      // A read that fails before the picture has begun and one that fails inside it leave
      // different trace lines.
      if (rr == RecvResult::Failed)
        return Fail(parser_.PictureStarted() ? "RtpRecvLength == SOCKET_ERROR" : "if (RtpRecvLength == SOCKET_ERROR)", 0,
                    false);
      parser_.Commit(static_cast<std::size_t>(n));
      app->dw_StatBytes.fetch_add(n);
    }
    headers[index] = parser_.LastHeader();
    ++g_StreamCounters.frames;
    Flush();
    app->w_PacketWriteIndex = static_cast<std::uint16_t>((index + 1) % slots);
    ReleaseSemaphore(readySem, 1);
  }
}

}  // namespace

DWORD Jpeg_TCP_Get_Image_Data_Thread(void* param) {
  SessionRecord* app = param != nullptr ? static_cast<SessionRecord*>(param) : g_lpSession;
  if (!app) return 0;
  Receiver receiver(app);
  return receiver.Run();
}
