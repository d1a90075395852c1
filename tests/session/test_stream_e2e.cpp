// The live stream end to end against the fake recorder on 127.0.0.1: re-login, rebuild,
// receive, decode, show through the mailbox worker, the test window drawing the pictures;
// stream faults and the reconnection sequence; the quiet stop and the life-time watchdog.
// The product's time-outs stay; the clock runs faster.
#include <gtest/gtest.h>

#include <memory>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/AppRecord.h"
#include "engine/Mailbox.h"
#include "core/Messages.h"
#include "engine/Resources.h"
#include "core/TraceLog.h"
#include "platform/clock.h"
#include "platform/jpeg.h"
#include "platform/kernel.h"
#include "platform/messages.h"
#include "platform/thread.h"
#include "session/ReLogin.h"
#include "session/Receiver.h"
#include "test_stream_wire.h"
#include "tests/support/FakeRecorder.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaitUntil.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kTimeScale = 20.0;

// The main window as the engine sees it: draws (copies) each picture, records status texts
// and the posted window messages.
class TestWindow : public IMainWindow, public plat::MessageSink {
 public:
  TestWindow() { hwnd_ = plat::RegisterMessageSink(this); }
  ~TestWindow() override { plat::UnregisterMessageSink(hwnd_); }

  plat::HWND GetHwnd() const override { return hwnd_; }
  void ShowImage() override {
    AppRecord* app = g_lpApp;
    if (!app || app->f_VideoRunning.load() == 0) return;
    const int w = app->w_FrameWidth.load(), h = app->w_FrameHeight.load();
    const std::uint8_t* p = app->lp_CurrentFrame.load();
    {
      std::lock_guard<std::mutex> lock(m_);
      ++pictures_;
      drawTicks_.push_back(plat::GetTickCount64());
      lastW_ = w;
      lastH_ = h;
      last_.assign(p, p + std::size_t(w) * h * 3);
    }
    plat::SetEvent(app->h_FinishShowImageJobEvent.load());
  }
  int SetStatusText(const std::string& t) override {
    std::lock_guard<std::mutex> lock(m_);
    texts_.push_back(t);
    return 1;
  }
  void ChangeItemPositionForDeviceModified() override {}
  void RelayoutControls() override {}
  void ClearOnlineUserText() override {}
  void ClearAlarmInputText() override {}
  void SetRetrButtonState(bool) override {}
  void ResetPtzModeButton() override { ++ptzResets; }
  void DeleteDisplayContext() override {}
  void SwitchLayout(int) override {}
  std::atomic<int> ptzResets{0};

  void OnPostedMessage(unsigned msg, plat::WPARAM w, plat::LPARAM l) override {
    {
      std::lock_guard<std::mutex> lock(m_);
      posted_.push_back({msg, w, l, plat::GetTickCount64()});
    }
  }

  struct Msg {
    unsigned msg;
    plat::WPARAM w;
    plat::LPARAM l;
    std::uint64_t tick;  // product ms
  };

  // Real-time waits for what the window has seen; each look is taken under the window's lock.
  bool WaitPosted(unsigned msg, int realMs = 8000) {
    return WaitUntil([&] {
      return Locked([&] {
        for (const auto& p : posted_)
          if (p.msg == msg) return true;
        return false;
      });
    }, realMs);
  }
  bool WaitPictures(int n, int realMs = 8000) {
    return WaitUntil([&] { return Locked([&] { return pictures_ >= n; }); }, realMs);
  }
  bool WaitStatus(int code, std::size_t from = 0, int realMs = 8000) {
    return WaitUntil([&] { return Locked([&] { return FindStatusLocked(code, from) != SIZE_MAX; }); }, realMs);
  }
  // Index in the posted messages of the first WM_SHOWSTATUS `code` at or after `from`.
  std::size_t FindStatus(int code, std::size_t from = 0) {
    std::lock_guard<std::mutex> lock(m_);
    return FindStatusLocked(code, from);
  }
  // The same with the window's lock held.
  std::size_t FindStatusLocked(int code, std::size_t from = 0) const {
    for (std::size_t i = from; i < posted_.size(); ++i)
      if (posted_[i].msg == WM_SHOWSTATUS && posted_[i].l == code) return i;
    return SIZE_MAX;
  }
  std::vector<int> StatusCodes() {
    std::lock_guard<std::mutex> lock(m_);
    std::vector<int> out;
    for (const auto& p : posted_)
      if (p.msg == WM_SHOWSTATUS) out.push_back(static_cast<int>(p.l));
    return out;
  }
  std::vector<Msg> Posted() {
    std::lock_guard<std::mutex> lock(m_);
    return posted_;
  }
  int Pictures() {
    std::lock_guard<std::mutex> lock(m_);
    return pictures_;
  }
  std::vector<std::uint8_t> LastPicture(int& w, int& h) {
    std::lock_guard<std::mutex> lock(m_);
    w = lastW_;
    h = lastH_;
    return last_;
  }
  std::vector<std::uint64_t> DrawTicks() {
    std::lock_guard<std::mutex> lock(m_);
    return drawTicks_;
  }
  std::vector<std::string> Texts() {
    std::lock_guard<std::mutex> lock(m_);
    return texts_;
  }

  std::mutex m_;

 private:
  bool Locked(const std::function<bool()>& look) {
    std::lock_guard<std::mutex> lock(m_);
    return look();
  }

  plat::HWND hwnd_ = 0;
  int pictures_ = 0;
  int lastW_ = 0, lastH_ = 0;
  std::vector<std::uint8_t> last_;
  std::vector<std::uint64_t> drawTicks_;  // product ms of each drawn picture
  std::vector<std::string> texts_;
  std::vector<Msg> posted_;
};

class TestChannelBar : public IChannelBar {
 public:
  int SwitchChannel(plat::BYTE ch) override {
    std::lock_guard<std::mutex> lock(m);
    switched.push_back(ch);
    return 1;
  }
  void SetCurrentChannel(plat::BYTE) override {}
  void Arrange() override {}
  plat::BYTE GetCurrentChannel() const override { return 0; }
  int GetChannelCount() const override { return 0; }
  std::mutex m;
  std::vector<int> switched;
};

// A stream producer driven by a function (faults and alarm words the default one lacks).
class ScriptedProducer : public fake::StreamProducer {
 public:
  explicit ScriptedProducer(std::function<bool(int, bool, std::string&)> f) : f_(std::move(f)) {}
  bool NextPacket(int index, bool newHeader, std::string& packet) override { return f_(index, newHeader, packet); }

 private:
  std::function<bool(int, bool, std::string&)> f_;
};

std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

class StreamE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    baselineThreads_ = plat::LiveThreadCount();
    plat::SetTimeScale(kTimeScale);
    ASSERT_TRUE(recorder.Start());
    temp_ = std::make_unique<TempDir>("stream");
    folder_ = temp_->path();
  }

  void TearDown() override {
    plat::SetManualClock(false);
    Shutdown();
    recorder.Stop();
    plat::SetTimeScale(1.0);
    temp_.reset();
  }

  // The client as the start-up leaves it after the first login, with the stream side built by
  // a re-login thread (the path every later session takes).
  void StartClient(const std::function<void(AppRecord&)>& configure = {}) {
    app = new AppRecord();
    app->ApplyStartValues();
    g_lpApp = app;
    g_strLocalIP.Set("127.0.0.1");
    app->SetServerName("127.0.0.1");
    app->CSettingINI.m_wWebPort = recorder.Port();
    app->CSettingINI.m_strUsername.Set("admin");
    app->CSettingINI.m_strPassword.Set("1234");
    app->CSettingINI.m_strRecordPath.Set(folder_.string());
    app->h_MainDialogHandle = window.GetHwnd();
    app->lp_MainDialog = &window;
    app->C_ChannelBar = &bar;
    if (configure) configure(*app);
    ASSERT_EQ(AllocateSystemBuffer(), 1);
    ASSERT_EQ(InitProcessResource(), 1);
    started_ = true;
    ASSERT_TRUE(StartReLoginThread());
  }

  void Shutdown() {
    if (!app) return;
    if (started_) {
      ExitLoginResource();
      ExitProcessResource();
      FreeSystemBuffer();
      FreeSemaphore();
    }
    g_lpApp = nullptr;
    delete app;
    app = nullptr;
    // Every thread the client made has ended.
    WaitUntil([this] { return plat::LiveThreadCount() <= baselineThreads_; });
    EXPECT_EQ(plat::LiveThreadCount(), baselineThreads_);
  }

  // Stops the clock and moves it in `stepMs` steps until `pred` holds (false after 30 s of
  // real time). Each step is taken after a real millisecond, so the threads woken by the
  // previous one have parked again; the clock cannot move while a thread compares times.
  // With `drawn`, a step is taken only once every kernel message posted before it has been
  // handled (a later post gets through at once), so a picture the show thread let go is drawn
  // at the tick it was let go, however late the mailbox worker runs.
  bool DriveManualClock(const std::function<bool()>& pred, plat::DWORD stepMs, bool drawn = false) {
    plat::SetManualClock(true);
    const bool ok = WaitUntil(pred, 30000, [&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      if (drawn && !PostKernelMessage(kNoOpKernelMessage, 0, 0)) return;  // one still being handled
      plat::Advance(stepMs);
    });
    plat::SetManualClock(false);
    return ok;
  }

  // A reconnection is a re-login thread that the mailbox starts. Once every kernel message
  // posted so far has been handled (a later post got through twice: the mailbox holds one),
  // none has been started; the stopped clock is then carried past a re-login's pauses and
  // back-off, and whatever that woke has been handled too. The recorder saw nothing new.
  void ExpectNoReconnection() {
    const int logins = LoginRequests(), videos = GetVideoRequests();
    const plat::HANDLE relogin = app->h_ReLoginThread.load();
    auto handled = [] {
      for (int i = 0; i < 2; ++i) {
        if (!PostKernelMessage(kNoOpKernelMessage, 0, 10000)) return false;
      }
      return true;
    };
    ASSERT_TRUE(handled());
    EXPECT_EQ(app->h_ReLoginThread.load(), relogin) << "no re-login started";
    plat::SetManualClock(true);
    plat::Advance(kReLoginFailPauseMs + ReLoginBackoffMs(std::uint64_t{1} << 40) + kReLoginRetryPauseMs +
                  kReLoginReleasePauseMs);
    plat::SetManualClock(false);
    ASSERT_TRUE(handled());
    EXPECT_EQ(app->h_ReLoginThread.load(), relogin) << "no re-login started";
    EXPECT_EQ(LoginRequests(), logins);
    EXPECT_EQ(GetVideoRequests(), videos);
  }
  static constexpr std::int32_t kNoOpKernelMessage = 99;  // a code the mailbox ignores

  int GetVideoRequests() {
    int n = 0;
    for (const auto& r : recorder.Requests()) n += r.path == "/Getvideo.cgi";
    return n;
  }
  int LoginRequests() {
    int n = 0;
    for (const auto& r : recorder.Requests()) n += r.path == "/Login.cgi";
    return n;
  }

  // The decoded form of a JPEG, as the window must have received it.
  static std::vector<std::uint8_t> Decoded(const std::string& jpeg, int& w, int& h) {
    std::vector<std::uint8_t> out(1572864);
    if (!plat::JpegDecodeBgrBottomUp(reinterpret_cast<const std::uint8_t*>(jpeg.data()), jpeg.size(), out.data(),
                                     out.size(), w, h))
      return {};
    out.resize(std::size_t(w) * h * 3);
    return out;
  }

  const std::filesystem::path& Folder() const { return folder_; }

  fake::FakeRecorder recorder;
  TestWindow window;
  TestChannelBar bar;
  AppRecord* app = nullptr;

 private:
  std::unique_ptr<TempDir> temp_;
  std::filesystem::path folder_;
  std::size_t baselineThreads_ = 0;
  bool started_ = false;
};

TEST_F(StreamE2E, PicturesArriveInBothHeaderFormats) {
  struct Case {
    const char* model;
    const char* firmware;
    bool v1;
  } cases[] = {
      {"K41R", "1046", true},   // DVR from 1046: newer header
      {"K41R", "1045", false},  // older firmware: older header
      {"K47R", "1000", true},   // frame length counts the header
      {"K40R", "1005", false},
  };
  // One recorder per case keeps the requests apart; run each case's client to the end.
  for (const auto& c : cases) {
    SCOPED_TRACE(c.model + std::string(" ") + c.firmware);
    fake::Identity id;
    id.productId = c.model;
    id.firmware = c.firmware;
    recorder.SetIdentity(id);
    fake::StreamSettings s;
    s.width = 176;
    s.height = 144;
    s.k47rLengthCountsHeader = std::string(c.model) == "K47R";
    recorder.SetStreamSettings(s);
    const int before = window.Pictures();
    StartClient();
    ASSERT_TRUE(window.WaitPictures(before + 4));
    EXPECT_EQ(recorder.NewHeaderAsked(), c.v1);
    EXPECT_EQ(app->m_RTPH_Struct.f_NewHeader.load(), c.v1 ? 1 : 0);
    int w = 0, h = 0, ew = 0, eh = 0;
    const auto got = window.LastPicture(w, h);
    const auto expected = Decoded(fake::DefaultStreamProducer(s).Picture(), ew, eh);
    EXPECT_EQ(w, 176);
    EXPECT_EQ(h, 144);
    EXPECT_TRUE(got == expected);
    EXPECT_EQ(app->f_Streaming.load(), 1);
    Shutdown();
    EXPECT_EQ(GetVideoRequests(), 1);
    recorder.ClearRequests();
  }
}

// What the re-login and the receiver send: the login, the device information with the
// channel clamped to the model and the header choice, the stream request with the session.
TEST_F(StreamE2E, RequestsOfTheSession) {
  struct Case {
    const char* model;
    const char* firmware;
    std::uint8_t selected;
    const char* ch;
    bool newHeader;
    bool readsInf;  // the capability word of the INF section is taken over
  } cases[] = {
      {"K40R", "1005", 5, "1", false, false},
      {"K40R", "1006", 0, "1", true, false},
      {"K41R", "1046", 17, "0", true, true},
      {"K43R", "1045", 3, "3", false, true},
      {"K42R", "1034", 9, "0", false, false},  // firmware before the INF read
  };
  std::string inf(44, '\0');
  inf[20] = 0x21, inf[21] = 0x43, inf[22] = 0x65, inf[23] = 0x07;  // capability word 0x07654321
  recorder.SetSection("INF", inf);
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.model) + " " + c.firmware);
    fake::Identity id;
    id.productId = c.model;
    id.firmware = c.firmware;
    id.sessionId = "SESSION" + std::string(c.firmware);
    recorder.SetIdentity(id);
    StartClient([&](AppRecord& a) {
      a.dw_FeatureFlags = 0x5A;
      a.CSettingINI.m_bySelectedChannel = c.selected;
      a.CSettingINI.m_nImageResolution = 2;
      a.CSettingINI.m_nAlarmTriggerQuality = 4;
    });
    ASSERT_TRUE(window.WaitPictures(window.Pictures() + 1));
    const auto reqs = recorder.Requests();
    std::vector<std::string> paths;
    for (const auto& r : reqs)
      if (r.path != "/GetSysCfg.cgi") paths.push_back(r.path);
    EXPECT_EQ(paths, (std::vector<std::string>{"/Login.cgi", "/Getdeviceinfo.cgi", "/Getvideo.cgi"}));
    for (const auto& r : reqs) {
      if (r.path == "/Login.cgi") {
        EXPECT_EQ(r.query.at("Username"), "admin");
        EXPECT_EQ(r.query.at("Password"), "1234");
      } else if (r.path == "/Getdeviceinfo.cgi") {
        EXPECT_EQ(r.query.at("Cookie"), id.sessionId);
        EXPECT_EQ(r.query.at("CH"), c.ch);
        EXPECT_EQ(r.query.at("RES"), "2");
        EXPECT_EQ(r.query.at("QUA"), "4");
        EXPECT_EQ(r.query.count("NEWHR"), c.newHeader ? 1u : 0u);
      } else if (r.path == "/Getvideo.cgi") {
        EXPECT_EQ(r.target(), "/Getvideo.cgi?Cookie=" + id.sessionId);
        EXPECT_NE(r.head.find("\r\nHost: 127.0.0.1\r\n"), std::string::npos);
      }
    }
    EXPECT_EQ(app->CSettingINI.m_bySelectedChannel.load(), std::stoi(c.ch));
    int infReads = 0;
    for (const auto& r : reqs) infReads += r.path == "/GetSysCfg.cgi" && r.query.count("Option") && r.query.at("Option") == "INF";
    EXPECT_EQ(infReads, c.readsInf ? 1 : 0);
    EXPECT_EQ(app->dw_FeatureFlags.load(), c.readsInf ? 0x07654321u : 0x5Au);
    Shutdown();
    recorder.ClearRequests();
  }
}

// Read boundaries and damaged pictures: the stream goes on, and what was dropped is counted.
TEST_F(StreamE2E, FaultsInTheByteStream) {
  const std::string good = fake::MakeJpeg(64, 48, 60, 1);
  std::string jfif = good;
  jfif[3] = static_cast<char>(0xE0);
  std::string notJpeg = good;
  notJpeg[0] = 0x00;
  auto v0 = [](std::uint32_t length) {
    fake::StreamSettings s;
    return fake::DefaultStreamProducer::HeaderV0(s, length);
  };
  struct Case {
    const char* name;
    fake::StreamFaults faults;
    std::function<bool(int, bool, std::string&)> script;  // empty: the default producer
    std::uint64_t fault_stat;                              // which counter must grow
  };
  fake::StreamFaults split;
  split.splitHeaderAndPicture = true;
  fake::StreamFaults drip;
  drip.drip = true;
  fake::StreamFaults garbage;
  garbage.garbageBeforeFirst = true;
  const Case cases[] = {
      {"header and picture apart", split, {}, 0},
      {"byte-by-byte drip", drip, {}, 0},
      {"garbage before the first header", garbage, {}, 0},
      {"several frames per read",
       {},
       [=](int, bool, std::string& p) {
         p = v0(static_cast<std::uint32_t>(good.size())) + good + v0(0) + v0(static_cast<std::uint32_t>(good.size())) +
             good;
         return true;
       },
       0},
      {"JFIF picture among good ones",
       {},
       [=](int i, bool, std::string& p) {
         const std::string& pic = i % 2 ? jfif : good;
         p = v0(static_cast<std::uint32_t>(pic.size())) + pic;
         return true;
       },
       3},
      {"picture not starting FF D8",
       {},
       [=](int i, bool, std::string& p) {
         const std::string& pic = i % 2 ? notJpeg : good;
         p = v0(static_cast<std::uint32_t>(pic.size())) + pic;
         return true;
       },
       2},
      {"picture the decoder refuses",
       {},
       [=](int i, bool, std::string& p) {
         std::string broken = good.substr(0, 40) + std::string(300, '\x11') + "\xFF\xD9";
         const std::string& pic = i % 2 ? broken : good;
         p = v0(static_cast<std::uint32_t>(pic.size())) + pic;
         return true;
       },
       0},
      {"over-long header",
       {},
       [=](int i, bool, std::string& p) {
         // Announces more than a slot holds; its bytes end in FF D9 like a picture.
         p = i % 2 ? v0(200000) + good : v0(static_cast<std::uint32_t>(good.size())) + good;
         return true;
       },
       1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fake::Identity id;
    id.firmware = "1045";  // older header: the scripts write V0
    recorder.SetIdentity(id);
    fake::StreamSettings s;
    s.width = 64;
    s.height = 48;
    s.fps = c.script ? 50 : 100;
    recorder.SetStreamSettings(s);
    recorder.SetStreamFaults(c.faults);
    recorder.SetStreamProducer(c.script ? std::make_shared<ScriptedProducer>(c.script) : nullptr);
    const std::uint64_t bad0 = g_StreamCounters.badHeaders, res0 = g_StreamCounters.resyncs,
                        drop0 = g_StreamCounters.droppedPictures;
    const int before = window.Pictures();
    StartClient();
    ASSERT_TRUE(window.WaitPictures(before + 4));
    int w = 0, h = 0, ew = 0, eh = 0;
    EXPECT_TRUE(window.LastPicture(w, h) == Decoded(good, ew, eh) || !c.script);
    EXPECT_EQ(w, 64);
    Shutdown();
    EXPECT_EQ(GetVideoRequests(), 1) << "no reconnection";
    const std::uint64_t bad = g_StreamCounters.badHeaders - bad0, res = g_StreamCounters.resyncs - res0,
                        drop = g_StreamCounters.droppedPictures - drop0;
    if (c.fault_stat == 1) {
      EXPECT_GT(bad, 0u);
    }
    if (c.fault_stat == 2) {
      EXPECT_GT(res, 0u);
    }
    if (c.fault_stat == 3) {
      EXPECT_GT(drop, 0u);
    }
    if (c.fault_stat == 0 && std::string(c.name).find("garbage") == std::string::npos) {
      EXPECT_EQ(bad + res + drop, 0u);
    }
    recorder.ClearRequests();
  }
}

// A connection that ends before a picture has begun and one that ends inside a picture leave
// their own trace lines; both ask for the reconnection and leave the status word alone.
TEST_F(StreamE2E, ClosedStreamLeavesItsTraceLine) {
  const std::string pic = fake::MakeJpeg(64, 48, 60, 1);
  const std::string header = fake::DefaultStreamProducer::HeaderV0(fake::StreamSettings{},
                                                                    static_cast<std::uint32_t>(pic.size()));
  const std::string before = "if (RtpRecvLength == SOCKET_ERROR)";
  const std::string inside = "RtpRecvLength == SOCKET_ERROR";
  struct Case {
    const char* name;
    std::string last;  // sent after one good picture, then the connection is closed
    const std::string& trace;
    const std::string& notTrace;
  } cases[] = {
      {"closed between pictures", "", before, inside},
      {"closed after a header alone", header, before, inside},
      {"closed inside a picture", header + pic.substr(0, pic.size() / 2), inside, before},
  };
  const std::string log = (Folder() / kTraceLogFileName).string();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(log);
    TraceLog_Init(kTraceLogLineLimit, Folder().string());
    fake::Identity id;
    id.firmware = "1045";  // older header
    recorder.SetIdentity(id);
    fake::StreamSettings s;
    s.fps = 50;
    recorder.SetStreamSettings(s);
    const std::string last = c.last;
    recorder.SetStreamProducer(std::make_shared<ScriptedProducer>([=](int i, bool, std::string& p) {
      if (i == 0) p = header + pic;
      if (i == 1) p = last;
      return i == 0 || (i == 1 && !last.empty());
    }));
    g_dwStreamStatus = 0;
    const int pictures = window.Pictures();
    StartClient();
    ASSERT_TRUE(window.WaitPictures(pictures + 1));
    ASSERT_TRUE(WaitUntil([&] { return GetVideoRequests() >= 2; }, 8000)) << "reconnected";
    Shutdown();
    TraceLog_Close();
    int hits = 0, misses = 0, reconnects = 0;
    const std::string text = ReadFile(log);
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      hits += line == c.trace;
      misses += line == c.notTrace;
      reconnects += line == "case Get_Image_TimeOut_Message";
    }
    EXPECT_GE(hits, 1) << text;
    EXPECT_EQ(misses, 0) << text;
    EXPECT_GE(reconnects, 1);
    EXPECT_EQ(g_dwStreamStatus.load(), 0u);
    recorder.ClearRequests();
  }
  recorder.SetStreamProducer(nullptr);
}

// Packets without camera picture: a black picture of the video standard's size, the video-loss
// flag, and ring entries marked as carrying no image.
TEST_F(StreamE2E, NoImagePacketsShowBlackPictures) {
  recorder.SetDeviceInfo("LIFETIME=60;MULTICH=0;VIDEOMODE=1;USERLEVEL=30;");
  fake::StreamSettings s;
  s.noImage = true;
  s.pictureSize = 1;
  recorder.SetStreamSettings(s);
  StartClient();
  ASSERT_TRUE(window.WaitPictures(3));
  int w = 0, h = 0;
  const auto pic = window.LastPicture(w, h);
  EXPECT_EQ(w, 320);
  EXPECT_EQ(h, 276);
  ASSERT_EQ(pic.size(), 320u * 276u * 3u);
  EXPECT_TRUE(std::all_of(pic.begin(), pic.end(), [](std::uint8_t b) { return b == 0; }));
  EXPECT_EQ(app->f_VideoLoss.load(), 1);
  // The session's threads ended (joined): nothing writes the ring any more.
  ExitLoginResource();
  const RecordFrameInfo info = app->C_RecordFrameRing.m_lpFrameInfo[0];
  EXPECT_EQ(info.dwNoImage & 1u, 1u);
  EXPECT_EQ(info.wWidth, 320);
  EXPECT_EQ(info.wHeight, 276);
}

// On a model that runs the pacing timer, each picture is held for the interval between its
// header time and the previous one, however fast the recorder sends.
TEST_F(StreamE2E, PacedModelHoldsPicturesForTheirInterval) {
  fake::Identity id;
  id.productId = "K44R";  // older header, timer runs
  recorder.SetIdentity(id);
  const std::string pic = fake::MakeJpeg(64, 48, 60, 2);
  auto script = [pic](int i, bool, std::string& p) {
    std::string h;
    auto u32 = [&](std::uint32_t v) {
      for (int k = 0; k < 4; ++k) h += static_cast<char>(v >> (8 * k));
    };
    u32(0x0001 | 0x0020);
    u32(static_cast<std::uint32_t>(pic.size()));
    u32(static_cast<std::uint32_t>(1000 + i * 20));  // 100 ms apart
    p = h + pic;
    return true;
  };
  fake::StreamSettings s;
  s.fps = 0;
  recorder.SetStreamSettings(s);
  recorder.SetStreamProducer(std::make_shared<ScriptedProducer>(script));
  StartClient([](AppRecord& a) {
    a.C_MMTimer.SetResolution();
    a.C_MMTimer.Start("K44R");
  });
  ASSERT_TRUE(window.WaitPictures(2));
  // From here on the clock moves only in 5 ms steps of the test: the tick count cannot move
  // while the show thread decides, so the holds do not depend on the machine's load.
  plat::SetManualClock(true);
  const int first = window.Pictures();
  ASSERT_TRUE(DriveManualClock([&] { return window.Pictures() >= first + 8; }, 5, true));
  const auto ticks = window.DrawTicks();
  ASSERT_GE(ticks.size(), static_cast<std::size_t>(first + 8));
  // The window takes its draw tick when the mailbox worker gets to the picture, before the
  // clock moves on; the pacing timer's own step may still lie between.
  constexpr std::uint64_t kDrawLag = 25;
  const std::size_t from = std::max<std::size_t>(first + 1, 3);
  for (std::size_t i = from + 1; i < ticks.size(); ++i) EXPECT_GE(ticks[i] - ticks[i - 1] + kDrawLag, 100u) << i;
  EXPECT_GE(ticks.back() - ticks[from] + kDrawLag, 100u * (ticks.size() - 1 - from));
}

// A stream cut by the recorder: reconnection through the mailbox, teardown, re-login,
// rebuild and release; the pictures resume.
TEST_F(StreamE2E, CutStreamReconnects) {
  fake::StreamFaults f;
  f.cutAfterFrames = 3;
  recorder.SetStreamFaults(f);
  StartClient();
  ASSERT_TRUE(window.WaitPictures(3));
  ASSERT_TRUE(WaitUntil([&] { return GetVideoRequests() >= 2; }, 8000));
  ASSERT_TRUE(window.WaitPictures(6)) << "pictures resume";
  EXPECT_GE(LoginRequests(), 2);
  // Each session: "Start login", then the connected picture.
  const auto codes = window.StatusCodes();
  ASSERT_GE(codes.size(), 4u);
  EXPECT_EQ(codes[0], msg::STATUS_START_LOGIN);
  EXPECT_EQ(codes[1], msg::STATUS_CONNECTED_PICTURE);
  EXPECT_EQ(codes[2], msg::STATUS_START_LOGIN);
  EXPECT_EQ(codes[3], msg::STATUS_CONNECTED_PICTURE);
  // No video device was current (the device information named none): the pan-tilt-zoom mode
  // button goes back to its first picture at every re-login.
  EXPECT_GE(window.ptzResets.load(), 2);
}

// 20 s without a byte is a failure; the reconnection follows on the product's time-out.
TEST_F(StreamE2E, SilenceReconnectsAfterTwentySeconds) {
  fake::StreamFaults f;
  f.stallAfterFrames = 2;
  recorder.SetStreamFaults(f);
  StartClient();
  ASSERT_TRUE(window.WaitPictures(2));
  const std::uint64_t lastPicture = plat::GetTickCount64();
  std::uint64_t reconnected = 0;
  ASSERT_TRUE(DriveManualClock(
      [&] {
        reconnected = plat::GetTickCount64();
        return GetVideoRequests() >= 2;
      },
      50));
  EXPECT_GE(reconnected - lastPicture, 19000u);
  EXPECT_LT(reconnected - lastPicture, 40000u);
  ASSERT_TRUE(window.WaitPictures(4));
}

// A header cut short and then silence: the receiver waits for the rest of the header like for
// any bytes, and the 20 s receive time-out asks for the reconnection.
TEST_F(StreamE2E, HeaderCutShortThenSilence) {
  fake::StreamFaults f;
  f.headerLongerThanData = true;
  recorder.SetStreamFaults(f);
  StartClient();
  ASSERT_TRUE(WaitUntil([&] { return window.FindStatus(msg::STATUS_CONNECTED_PICTURE, 2) != SIZE_MAX; }, 10000));
  std::vector<std::uint64_t> connected;
  for (const auto& p : window.Posted())
    if (p.msg == WM_SHOWSTATUS && p.l == msg::STATUS_CONNECTED_PICTURE) connected.push_back(p.tick);
  ASSERT_GE(connected.size(), 2u);
  // Released 2 s after the connected picture, silent for 20 s, then torn down and logged in again.
  EXPECT_GE(connected[1] - connected[0], 22000u);
  EXPECT_EQ(window.Pictures(), 0);
}

// The recorder refuses connections for a while: failed attempts with their status texts and
// back-off, then the stream comes back.
TEST_F(StreamE2E, RefusedReconnectBacksOff) {
  fake::StreamFaults f;
  f.cutAfterFrames = 2;
  recorder.SetStreamFaults(f);
  StartClient();
  ASSERT_TRUE(window.WaitPictures(1));
  recorder.RefuseConnectionsFor(static_cast<int>(9000 / kTimeScale));
  ASSERT_TRUE(window.WaitStatus(msg::STATUS_LOGIN_FAILED_WAIT));
  ASSERT_TRUE(window.WaitPictures(3, 15000)) << "the stream resumes";
  const auto posted = window.Posted();
  // After the first failure: failed, elapsed time, disconnected picture, start login; the
  // attempt after it comes 3 + 3 + 2 s later.
  std::size_t fail = SIZE_MAX;
  for (std::size_t i = 0; i < posted.size(); ++i)
    if (posted[i].msg == WM_SHOWSTATUS && posted[i].l == msg::STATUS_LOGIN_FAILED_WAIT) {
      fail = i;
      break;
    }
  ASSERT_NE(fail, SIZE_MAX);
  ASSERT_GT(posted.size(), fail + 3);
  EXPECT_EQ(posted[fail + 1].l, msg::STATUS_ESCAPED_TIME);
  EXPECT_EQ(posted[fail + 2].l, msg::STATUS_DISCONNECTED_PICTURE);
  EXPECT_EQ(posted[fail + 3].l, msg::STATUS_START_LOGIN);
  // The attempt's start ("Start login" before it) to the next attempt: 3 + 3 + 2 s.
  std::size_t attemptStart = 0;
  for (std::size_t i = 0; i < fail; ++i)
    if (posted[i].msg == WM_SHOWSTATUS && posted[i].l == msg::STATUS_START_LOGIN) attemptStart = i;
  EXPECT_GE(posted[fail + 3].tick - posted[attemptStart].tick, 7500u);
  EXPECT_GE(posted[fail + 1].w, 3u);  // seconds since the re-login thread started
}

// A login reply without a session, or a device information that fails, is a failed attempt
// like a refused connection (without the busy pause); the next attempt succeeds.
TEST_F(StreamE2E, IncompleteLoginOrDeviceInfoFailsTheAttempt) {
  struct Case {
    const char* path;
    const char* reply;
  } cases[] = {
      {"/Login.cgi", "HTTP/1.1 200 OK\r\nContent-Length: 19\r\n\r\nProduct-ID=K41R;   "},
      {"/Getdeviceinfo.cgi", "HTTP/1.1 500 Internal Server Error\r\nContent-Length: 0\r\n\r\n"},
  };
  fake::StreamFaults f;
  f.cutAfterFrames = 2;
  recorder.SetStreamFaults(f);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    const int before = window.Pictures();
    const std::size_t from = window.Posted().size();
    StartClient();
    ASSERT_TRUE(window.WaitPictures(before + 1));
    fake::RawReply raw;
    raw.bytes = c.reply;
    recorder.SetRawReply(c.path, raw);
    ASSERT_TRUE(window.WaitStatus(msg::STATUS_LOGIN_FAILED_WAIT, from));
    recorder.ClearRawReply(c.path);
    ASSERT_TRUE(window.WaitPictures(before + 3, 15000));
    EXPECT_EQ(window.FindStatus(msg::STATUS_TOO_MANY_USERS, from), SIZE_MAX);
    Shutdown();
  }
}

// A rebuild that fails is a failed attempt: no stream is released for threads that do not
// exist, the back-off follows, and the attempt after the cause is gone resumes the stream.
TEST_F(StreamE2E, FailedRebuildFailsTheAttempt) {
  StartClient();
  ASSERT_TRUE(window.WaitPictures(1));
  app->w_PacketSlots.store(0);  // the next rebuild cannot make the pipeline semaphores
  ASSERT_TRUE(PostKernelMessage(Get_Image_TimeOut_Message, 0, 20000));  // as the receiver does
  ASSERT_TRUE(window.WaitStatus(msg::STATUS_LOGIN_FAILED_WAIT));
  ASSERT_TRUE(WaitUntil([&] {
    const std::size_t i = window.FindStatus(msg::STATUS_LOGIN_FAILED_WAIT);
    return window.FindStatus(msg::STATUS_LOGIN_FAILED_WAIT, i + 1) != SIZE_MAX;
  }, 8000));  // and the attempt after it
  // The attempts got as far as the connected picture before the rebuild failed them.
  const auto codes = window.StatusCodes();
  const auto fail = std::find(codes.begin(), codes.end(), msg::STATUS_LOGIN_FAILED_WAIT);
  ASSERT_NE(fail, codes.begin());
  EXPECT_EQ(*(fail - 1), msg::STATUS_CONNECTED_PICTURE);
  EXPECT_EQ(GetVideoRequests(), 1) << "no stream released";
  EXPECT_FALSE(SessionObjectsExist());
  const int before = window.Pictures();
  app->w_PacketSlots.store(static_cast<plat::WORD>(kPacketSlotCount));
  ASSERT_TRUE(window.WaitPictures(before + 2, 15000)) << "the stream resumes";
  EXPECT_EQ(GetVideoRequests(), 2);
}

// A busy recorder (202): the too-many-users text and 20 s more before the next attempt.
TEST_F(StreamE2E, BusyLoginWaitsLonger) {
  fake::StreamFaults f;
  f.cutAfterFrames = 2;
  recorder.SetStreamFaults(f);
  StartClient();
  ASSERT_TRUE(window.WaitPictures(1));
  recorder.SetLoginBusy(true);
  ASSERT_TRUE(window.WaitStatus(msg::STATUS_TOO_MANY_USERS, 0, 10000));
  recorder.SetLoginBusy(false);
  ASSERT_TRUE(window.WaitPictures(3, 15000));
  const auto posted = window.Posted();
  std::size_t busy = SIZE_MAX, next = SIZE_MAX;
  for (std::size_t i = 0; i < posted.size(); ++i) {
    if (posted[i].msg != WM_SHOWSTATUS) continue;
    if (busy == SIZE_MAX && posted[i].l == msg::STATUS_TOO_MANY_USERS) busy = i;
    else if (busy != SIZE_MAX && next == SIZE_MAX && posted[i].l == msg::STATUS_START_LOGIN) next = i;
  }
  ASSERT_NE(next, SIZE_MAX);
  EXPECT_EQ(posted[busy + 1].l, msg::STATUS_LOGIN_FAILED_WAIT);
  EXPECT_GE(posted[next].tick - posted[busy].tick, 27500u);  // 20 + 3 + 3 + 2 s
}

// The operator's disconnect (and the watchdog) stop the receiver without a reconnection.
TEST_F(StreamE2E, QuietStopEndsTheReceiverWithoutReconnect) {
  StartClient();
  ASSERT_TRUE(window.WaitPictures(2));
  const plat::HANDLE receiver = app->h_GetJpegImageThread.load();
  ASSERT_NE(receiver, 0u);
  plat::SetEvent(app->h_NotifyGetJPEGImageThreadResetEvent.load());
  EXPECT_EQ(plat::WaitForSingleObject(app->h_FeedBackForNotifyResetEvent.load(), 5000), plat::WAIT_OBJECT_0);
  EXPECT_EQ(plat::WaitForSingleObject(receiver, 2000), plat::WAIT_OBJECT_0);
  EXPECT_EQ(app->f_Connected.load(), 0);
  EXPECT_EQ(app->f_Streaming.load(), 0);
  ExpectNoReconnection();
}

// LIFETIME is in minutes, counted from the release of the session: one minute later the
// stream stops quietly, the status line says so and the main window is asked to close.
TEST_F(StreamE2E, LifeTimeUpClosesTheProgram) {
  recorder.SetDeviceInfo("LIFETIME=1;MULTICH=0;VIDEOMODE=0;USERLEVEL=30;");
  StartClient();
  ASSERT_TRUE(window.WaitPictures(1));
  ASSERT_TRUE(DriveManualClock([&] { return window.WaitPosted(WM_CLOSEMAIN, 0); }, 20));
  std::uint64_t connected = 0, closed = 0;
  for (const auto& p : window.Posted()) {
    if (p.msg == WM_SHOWSTATUS && p.l == msg::STATUS_CONNECTED_PICTURE && !connected) connected = p.tick;
    if (p.msg == WM_CLOSEMAIN) closed = p.tick;
  }
  // Released 2 s after the connected picture; 1 s pause, 60 s, 1 s before closing.
  EXPECT_GE(closed - connected, 63000u);
  EXPECT_LE(closed - connected, 70000u);
  EXPECT_GE(window.Pictures(), 1);
  bool text = false;
  for (const auto& t : window.Texts()) text = text || t == "Life time is Up.Application shutdown later";
  EXPECT_TRUE(text);
  EXPECT_EQ(LoginRequests(), 1) << "no reconnection after the watchdog's stop";
}

// Alarm and motion words in the stream: the channel switch on a multi-channel DVR, the
// alarm sound message and the alarm recording on a recorder that qualifies (K40R).
TEST_F(StreamE2E, AlarmAndMotionWordsActOnTheReceiveThread) {
  fake::Identity id;
  id.productId = "K41R";
  recorder.SetIdentity(id);
  recorder.SetDeviceInfo("LIFETIME=60;MULTICH=1;VIDEOMODE=0;USERLEVEL=30;");
  fake::StreamSettings s;
  s.motionWord = 0x0024;
  recorder.SetStreamSettings(s);
  auto configure = [](AppRecord& a) {
    a.CSettingINI.m_byAlarmTriggerRecord = 1;
    a.CSettingINI.m_byAlarmAutoSwitchVideo = 1;
  };
  StartClient(configure);
  ASSERT_TRUE(window.WaitPictures(3));
  {
    std::lock_guard<std::mutex> lock(bar.m);
    ASSERT_FALSE(bar.switched.empty());
    EXPECT_EQ(bar.switched.front(), 3);
  }
  // A K41R without a qualifying control device gets no alarm sound.
  EXPECT_FALSE(window.WaitPosted(WM_POSTALARMAUDIO, 100));
  Shutdown();

  id.productId = "K40R";
  id.firmware = "1005";
  recorder.SetIdentity(id);
  recorder.SetDeviceInfo("LIFETIME=60;VIDEOMODE=1;USERLEVEL=30;");
  s.motionWord.reset();
  s.alarmWord = 0x0002;
  recorder.SetStreamSettings(s);
  StartClient(configure);
  ASSERT_TRUE(window.WaitPictures(6));
  ASSERT_TRUE(window.WaitPosted(WM_POSTALARMAUDIO));
  for (const auto& p : window.Posted())
    if (p.msg == WM_POSTALARMAUDIO) {
      EXPECT_EQ(p.l, msg::ALARM_AUDIO_START);
    }
  EXPECT_TRUE(WaitUntil([&] { return app->C_AlarmRecord.m_fFileOpen.load() == 1; }, 2000));
  EXPECT_EQ(app->m_RTPH_Struct.m_dwAlarmType.load(), kAlarmTypeAlarm);
}

// Shut-down while a reconnection is under way leaves no thread behind.
TEST_F(StreamE2E, ShutdownDuringReconnection) {
  fake::StreamFaults f;
  f.cutAfterFrames = 1;
  recorder.SetStreamFaults(f);
  StartClient();
  ASSERT_TRUE(window.WaitPictures(1));
  recorder.RefuseConnectionsFor(60000);
  ASSERT_TRUE(window.WaitStatus(msg::STATUS_START_LOGIN, 2));
  Shutdown();  // checks the thread count
}

}  // namespace
