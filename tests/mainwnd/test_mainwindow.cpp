// The main window against the fake recorder: its initialisation requests, layouts, the live
// picture, the status line, the channel bar, access levels, full screen and shut-down.
#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <thread>

#include "core/Messages.h"
#include "core/Strings.h"
#include "mainwnd/CmosToolBarDlg.h"
#include "mainwnd/DisplayPath.h"
#include "mainwnd/TrelvixDlg.h"
#include "tests/support/QtWait.h"
#include "ui/VtxButton.h"
#include "mainwnd_fixture.h"
#include "platform/clock.h"
#include "session/Login.h"

namespace {

using mwtest::RecordFixture;
using mwtest::WindowFixture;

const QRect kWorkArea(0, 0, 1280, 1000);

std::string Describe(const fake::RecordedRequest& r) {
  std::string s = r.path;
  const auto option = r.query.find("Option");
  if (option != r.query.end()) s += ":" + option->second;
  return s;
}

class MainWindowTest : public WindowFixture {
 protected:
  // Runs the initialisation of a fresh window.
  bool Init(int resolution = 0) {
    app_->CSettingINI.m_nImageResolution = resolution;
    dlg_ = std::make_unique<CTrelvixDlg>();
    dlg_->SetWorkAreaForTest(kWorkArea);
    const bool ok = dlg_->OnInitDialog();
    ProcessEvents();
    return ok;
  }

  // A bottom-up picture: the top `split` rows (as seen) red, the others blue, column 0 green.
  void SetPicture(int w, int h, int split) {
    frame_.assign(std::size_t(w) * h * 3, 0);
    for (int y = 0; y < h; ++y) {
      const int memoryRow = h - 1 - y;
      for (int x = 0; x < w; ++x) {
        std::uint8_t* p = &frame_[(std::size_t(memoryRow) * w + x) * 3];
        if (x == 0) {
          p[1] = 200;
        } else if (y < split) {
          p[2] = 200;
        } else {
          p[0] = 200;
        }
      }
    }
    app_->lp_CurrentFrame = frame_.data();
    app_->w_FrameWidth = static_cast<std::uint16_t>(w);
    app_->w_FrameHeight = static_cast<std::uint16_t>(h);
    app_->f_VideoRunning = 1;
  }

  // ShowImage as the mailbox worker calls it, then the queued GUI work.
  void ShowOnWorker() {
    std::thread worker([this] { dlg_->ShowImage(); });
    worker.join();
    ProcessEvents(3);
  }

  static bool IsRed(QRgb c) { return qRed(c) > 150 && qBlue(c) < 60; }
  static bool IsBlue(QRgb c) { return qBlue(c) > 150 && qRed(c) < 60; }

  std::vector<std::uint8_t> frame_;
};

// ---- initialisation ------------------------------------------------------------------------------

struct InitCase {
  const char* name;
  const char* model;
  const char* firmware;
  const char* info;
  int selectedChannel;
  std::vector<std::string> requests;
  bool newHeader;
  const char* channelSent;
  std::uint8_t accessMode;
};

class InitSequenceTest : public MainWindowTest, public ::testing::WithParamInterface<InitCase> {};

TEST_P(InitSequenceTest, RequestsFollowModelAndFirmware) {
  const InitCase& c = GetParam();
  Device(c.model, c.firmware, c.info);
  app_->CSettingINI.m_bySelectedChannel = static_cast<std::uint8_t>(c.selectedChannel);
  if (std::string(c.model) == "K40R") {
    std::string alarm(24, '\x01');
    alarm[9] = 0;
    fake_.SetSection("ALARM", alarm);
  }
  ASSERT_TRUE(Init());
  std::vector<std::string> seen;
  std::string newhr, ch, cookie;
  for (const auto& r : fake_.Requests()) {
    seen.push_back(Describe(r));
    if (r.path == "/Getdeviceinfo.cgi") {
      newhr = r.query.count("NEWHR") ? r.query.at("NEWHR") : "";
      ch = r.query.at("CH");
      cookie = r.query.count("Cookie") ? r.query.at("Cookie") : "";
    }
  }
  EXPECT_EQ(seen, c.requests);
  EXPECT_EQ(newhr, c.newHeader ? "1" : "");
  EXPECT_EQ(app_->m_RTPH_Struct.f_NewHeader.load(), c.newHeader ? 1 : 0);
  EXPECT_EQ(ch, c.channelSent);
  EXPECT_EQ(cookie, "A1B2C3D4E5F6");
  EXPECT_EQ(app_->by_AccessMode.load(), c.accessMode);
  EXPECT_EQ(app_->lp_MainDialog.load(), static_cast<IMainWindow*>(dlg_.get()));
  // Only a full initialisation releases the stream and the watchdog.
  EXPECT_EQ(plat::WaitForSingleObject(app_->h_StartToGetJpegImageEvent.load(), 0), plat::WAIT_OBJECT_0);
  EXPECT_EQ(plat::WaitForSingleObject(app_->h_StartLifeTimeEvent.load(), 0), plat::WAIT_OBJECT_0);
  EXPECT_EQ(dlg_->StatusText(), "Start to get image!!");
}

INSTANTIATE_TEST_SUITE_P(
    Models, InitSequenceTest,
    ::testing::Values(
        InitCase{"K41R_new_admin", "K41R", "1046", "USERLEVEL=30;MULTICH=1;VIDEOMODE=0;", 17,
                 {"/GetSysCfg.cgi:INF", "/Getdeviceinfo.cgi", "/GetSysCfg.cgi:SYSTEM", "/GetSysCfg.cgi:INF"}, true,
                 "0", 0},
        InitCase{"K41R_old_high", "K41R", "1030", "USERLEVEL=20;MULTICH=0;VIDEOMODE=1;", 3,
                 {"/Getdeviceinfo.cgi", "/GetSysCfg.cgi:SYSTEM"}, false, "3", 1},
        InitCase{"K41R_1040_admin", "K41R", "1040", "USERLEVEL=30;MULTICH=0;VIDEOMODE=0;", 3,
                 {"/GetSysCfg.cgi:INF", "/Getdeviceinfo.cgi", "/GetSysCfg.cgi:SYSTEM", "/GetSysCfg.cgi:INF"}, false,
                 "3", 0},
        InitCase{"K43R_high", "K43R", "1046", "USERLEVEL=20;MULTICH=1;VIDEOMODE=0;", 5,
                 {"/GetSysCfg.cgi:INF", "/Getdeviceinfo.cgi", "/GetSysCfg.cgi:SYSTEM"}, true, "0", 1},
        InitCase{"K40R_normal", "K40R", "1010", "USERLEVEL=10;VIDEOMODE=0;", 0,
                 {"/Getdeviceinfo.cgi", "/GetSysCfg.cgi:SYSTEM", "/GetSysCfg.cgi:ALARM", "/SetSysCfg.cgi:ALARM"}, true,
                 "1", 3},
        InitCase{"K40R_old", "K40R", "1005", "USERLEVEL=10;VIDEOMODE=0;", 2,
                 {"/Getdeviceinfo.cgi", "/GetSysCfg.cgi:SYSTEM"}, false, "2", 3},
        InitCase{"K47R_guest", "K47R", "1000", "USERLEVEL=0;VIDEOMODE=0;", 5, {"/Getdeviceinfo.cgi"}, true, "2", 2},
        InitCase{"K45R", "K45R", "1050", "USERLEVEL=20;VIDEOMODE=1;", 1, {"/Getdeviceinfo.cgi"}, false, "2", 1}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(MainWindowTest, AdministratorsModelNameIsRewrittenOnlyWhenItStartsRvx507) {
  Device("K44R", "1050", "USERLEVEL=30;VIDEOMODE=0;");
  std::string inf = fake_.Section("INF");
  inf.resize(44, '\0');
  inf.replace(24, 8, "RVX-507X");
  fake_.SetSection("INF", inf);
  ASSERT_TRUE(Init());
  const auto requests = fake_.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(Describe(requests[2]), "/SetSysCfg.cgi:INF");
  ASSERT_EQ(requests[2].body.size(), 44u);
  EXPECT_EQ(requests[2].body.substr(24, 8), std::string("RVX-507\0", 8));
}

TEST_F(MainWindowTest, FailedDeviceInformationEndsTheWindowWithAMessage) {
  struct Case {
    const char* name;
    std::function<void(fake::FakeRecorder&)> fault;
    int requests;  // device-information requests the recorder saw
  };
  const Case cases[] = {
      {"status 500", [](fake::FakeRecorder& f) { f.SetStatus500(true); }, 1},
      {"empty body",
       [](fake::FakeRecorder& f) {
         f.SetRawReply("/Getdeviceinfo.cgi", {"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", {}, true, 0});
       },
       1},
      {"body cut short",
       [](fake::FakeRecorder& f) {
         f.SetRawReply("/Getdeviceinfo.cgi",
                       {"HTTP/1.1 200 OK\r\nContent-Length: 200\r\n\r\nLIFETIME=60;USERLEVEL=30;", {}, true, 0});
       },
       1},
      {"session refused", [](fake::FakeRecorder&) { SetSessionId("NOT-THE-SESSION"); }, 1},
      {"connection refused", [](fake::FakeRecorder& f) { f.RefuseConnectionsFor(2000); }, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Device("K41R", "1030", "USERLEVEL=30;");
    SetSessionId("A1B2C3D4E5F6");
    fake_.ClearRequests();
    c.fault(fake_);
    const std::size_t boxesBefore = boxes_.Texts().size();
    EXPECT_FALSE(Init());
    const auto texts = boxes_.Texts();
    ASSERT_EQ(texts.size(), boxesBefore + 1);
    EXPECT_EQ(texts.back(), LoadStr(IDS_GET_CONFIG_ERROR));
    // Nothing after the request ran: no stream, no watchdog, no buttons, no further requests.
    EXPECT_EQ(plat::WaitForSingleObject(app_->h_StartToGetJpegImageEvent.load(), 0), plat::WAIT_TIMEOUT);
    EXPECT_EQ(plat::WaitForSingleObject(app_->h_StartLifeTimeEvent.load(), 0), plat::WAIT_TIMEOUT);
    EXPECT_EQ(dlg_->Button(IDC_CLOSE), nullptr);
    const auto requests = fake_.Requests();
    EXPECT_EQ(static_cast<int>(requests.size()), c.requests);
    for (const auto& r : requests) EXPECT_EQ(r.path, "/Getdeviceinfo.cgi");
    dlg_.reset();
    fake_.SetStatus500(false);
    fake_.ClearRawReply("/Getdeviceinfo.cgi");
  }
}

TEST_F(MainWindowTest, UnknownModelEndsTheWindowWithAMessage) {
  Device("K99R", "1030", "USERLEVEL=30;");
  EXPECT_FALSE(Init());
  EXPECT_EQ(boxes_.Texts(), std::vector<std::string>{LoadStr(IDS_LOGIN_ERROR)});
  EXPECT_EQ(plat::WaitForSingleObject(app_->h_StartLifeTimeEvent.load(), 0), plat::WAIT_TIMEOUT);
}

// The first login and a re-login read the device information alike, so a reconnection leaves
// the same devices and the same R.E.T.R. state (alarm sound and recording keep working).
TEST_F(MainWindowTest, FirstLoginAndReLoginGiveTheSameDevices) {
  struct Case {
    const char* model;
    const char* info;
    std::vector<std::uint8_t> types;
    int retr;
  };
  const Case cases[] = {
      {"K41R", "USERLEVEL=30;LINKDEVICE=14;RETR=1;VIDEOMODE=0;", {19}, 1},
      {"K43R", "USERLEVEL=30;LINKDEVICE=21;RETR=0;SLAVENUM=1;SID=4;STYPE=1;SPROTOCOL=1;", {23, 18}, 0},
      {"K41R", "USERLEVEL=30;MASTERNUM=2;MID=3;MTYPE=1;MID=5;MTYPE=8;", {11, 8}, 0},
      // RETR without a linked device: the recorder is entered by its model code.
      {"K41R", "USERLEVEL=30;RETR=1;VIDEOMODE=0;", {19}, 1},
      {"K42R", "USERLEVEL=30;RETR=1;SLAVENUM=1;SID=4;STYPE=1;SPROTOCOL=1;", {22, 18}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.model) + " " + c.info);
    app_->C_ControlD.Reset();  // as a fresh program starts
    Device(c.model, "1030", c.info);
    ASSERT_TRUE(Init());
    auto snapshot = [this] {
      std::vector<std::pair<int, int>> v;
      for (int i = 0; i < app_->C_ControlD.GetEntryCount(); ++i) {
        const ControlDeviceEntry e = app_->C_ControlD.GetEntry(i);
        v.emplace_back(e.byType, e.wFlags);
      }
      return v;
    };
    const auto first = snapshot();
    ASSERT_EQ(first.size(), c.types.size());
    for (std::size_t i = 0; i < c.types.size(); ++i) EXPECT_EQ(first[i].first, c.types[i]);
    EXPECT_EQ(app_->C_ControlD.GetRetrState(), c.retr);
    // What the re-login thread does with the same reply.
    app_->C_ControlD.Reset();
    DeviceInfoValues dev;
    ParseDeviceInfoReply(c.info, DeviceInfoScope::Full, RetrKeyApplies(c.model, "1030", 0), c.model, dev);
    StoreDeviceInfo(dev, DeviceInfoScope::Full);
    EXPECT_EQ(snapshot(), first);
    EXPECT_EQ(app_->C_ControlD.GetRetrState(), c.retr);
    dlg_.reset();
  }
}

// ---- layouts --------------------------------------------------------------------------------------

struct SizeCase {
  const char* model;
  const char* info;
  int resolution;
  int layout;
  int width, height;
  int titleLeft;
};

TEST_F(MainWindowTest, WindowSizeAndButtonsFollowTheLayout) {
  const SizeCase cases[] = {
      {"K41R", "USERLEVEL=30;VIDEOMODE=0;", 0, 0, 722, 608, 663}, {"K41R", "USERLEVEL=30;VIDEOMODE=1;", 1, 3, 370, 414, 311},
      {"K40R", "USERLEVEL=30;VIDEOMODE=1;", 0, 8, 722, 705, 663}, {"K47R", "USERLEVEL=30;VIDEOMODE=1;", 1, 13, 370, 366, 311},
      {"K44R", "USERLEVEL=30;VIDEOMODE=0;", 2, 7, 370, 366, 311},
  };
  for (const SizeCase& c : cases) {
    SCOPED_TRACE(std::string(c.model) + " layout " + std::to_string(c.layout));
    Device(c.model, "1050", c.info);
    ASSERT_TRUE(Init(c.resolution));
    EXPECT_EQ(app_->w_LayoutMode.load(), c.layout);
    EXPECT_EQ(dlg_->size(), QSize(c.width, c.height));
    EXPECT_EQ(dlg_->Button(IDC_CLOSE)->geometry(), QRect(c.titleLeft + 34, 8, 13, 13));
    EXPECT_EQ(dlg_->Button(IDC_MINIMIZE)->geometry(), QRect(c.titleLeft, 8, 13, 13));
    // The side buttons run right to left from the first entry's place.
    const bool vga = c.width == 722;
    const int count = dlg_->SideButtons().Count();
    ASSERT_GT(count, 0);
    CVtxButton* last = dlg_->Button(1006);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->geometry(), vga ? QRect(688, 34, 26, 26) : QRect(336, 35, 26, 26));
    EXPECT_EQ(dlg_->Button(1002)->geometry().left(), (vga ? 688 : 336) - (count - 1) * 26);
    EXPECT_TRUE(dlg_->WindowRegion().contains(QPoint(c.width / 2, c.height / 2)));
    EXPECT_FALSE(dlg_->WindowRegion().contains(QPoint(0, 0)));  // rounded corner
    dlg_.reset();
    fake_.ClearRequests();
  }
}

// The address, device name or recorder clock beside the title buttons is wholly visible: its
// last pixels lie left of the minimise button, whatever the font makes of its width.
TEST_F(MainWindowTest, AddressTextEndsBeforeTheTitleButtons) {
  struct TextCase {
    const char* model;
    const char* info;
    int resolution;
  };
  const TextCase cases[] = {{"K47R", "USERLEVEL=30;VIDEOMODE=1;", 1},
                            {"K40R", "USERLEVEL=30;VIDEOMODE=1;", 0},
                            {"K41R", "USERLEVEL=30;VIDEOMODE=1;", 1},
                            {"K41R", "USERLEVEL=30;VIDEOMODE=0;", 0}};
  for (const TextCase& c : cases) {
    SCOPED_TRACE(std::string(c.model) + " resolution " + std::to_string(c.resolution));
    Device(c.model, "1050", c.info);
    ASSERT_TRUE(Init(c.resolution));
    // The clock (or a K41R's device name) is shown while the pointer is away from the text.
    DvrDateTime t;
    t.wYear = 2008;
    t.wMonth = 12;
    t.wDay = 28;
    t.wHour = 20;
    t.wMinute = 48;
    t.wSecond = 58;
    app_->st_DvrTime.Set(t);
    app_->strDeviceName.Set("WAREHOUSE 2008");
    app_->f_MouseOverStatus = 1;
    const int buttonsLeft = dlg_->Button(IDC_MINIMIZE)->geometry().left();
    for (int id : {IDC_MINIMIZE, IDC_FULLSCREEN, IDC_CLOSE}) dlg_->Button(id)->hide();
    const QImage face = dlg_->grab().toImage();
    int rightmost = -1;
    for (int y = 4; y < 24; ++y) {
      for (int x = 0; x < face.width(); ++x) {
        const QRgb p = face.pixel(x, y);
        if (qRed(p) > 160 && qGreen(p) > 160 && qBlue(p) < 90) rightmost = std::max(rightmost, x);
      }
    }
    EXPECT_GE(rightmost, 0) << "no yellow text drawn";
    EXPECT_LT(rightmost, buttonsLeft);
    dlg_.reset();
    fake_.ClearRequests();
  }
}

// ---- the live picture ------------------------------------------------------------------------------

struct PictureCase {
  const char* model;
  int w, h;
  int layout;          // after the picture
  int shownW, shownH;  // on the 720 x 576 surface
  bool doubled;
};

TEST_F(MainWindowTest, PicturesArePlacedAndDoubledAsTheLayoutSays) {
  const PictureCase cases[] = {
      {"K41R", 640, 228, 0, 640, 456, true},
      {"K41R", 640, 240, 2, 640, 480, true},
      {"K40R", 704, 576, 8, 704, 576, true},  // doubled to 1152 rows, cut to the memory bitmap
      {"K41R", 320, 240, 3, 320, 240, false},
      {"K47R", 640, 480, 12, 640, 480, false},  // never doubled on a K47R
  };
  for (const PictureCase& c : cases) {
    SCOPED_TRACE(std::string(c.model) + " " + std::to_string(c.w) + "x" + std::to_string(c.h));
    Device(c.model, "1050", "USERLEVEL=30;VIDEOMODE=0;");
    ASSERT_TRUE(Init());
    SetPicture(c.w, c.h, c.h / 2);
    ShowOnWorker();
    EXPECT_EQ(plat::WaitForSingleObject(app_->h_FinishShowImageJobEvent.load(), 0), plat::WAIT_OBJECT_0);
    EXPECT_EQ(app_->w_LayoutMode.load(), c.layout);
    EXPECT_EQ(dlg_->DisplayedRect(), QRect(0, 0, c.shownW, c.shownH));
    const QImage surface = dlg_->DisplaySurface();
    const int doubledSplit = (c.h / 2) * (c.doubled ? 2 : 1);
    EXPECT_TRUE(IsRed(surface.pixel(5, 1)));
    EXPECT_TRUE(IsRed(surface.pixel(c.shownW - 1, doubledSplit - 2)));
    if (doubledSplit + 2 < c.shownH) {
      EXPECT_TRUE(IsBlue(surface.pixel(c.shownW - 1, doubledSplit + 2)));
    }
    EXPECT_EQ(qGreen(surface.pixel(0, c.shownH - 1)), 200);
    // On the window: at the origin of the layout's video area, inside its frame.
    const LayoutRow& L = LayoutRowOf(app_->w_LayoutMode.load());
    const QImage window = dlg_->Grab();
    EXPECT_TRUE(IsRed(window.pixel(L[12] + 5, L[13] + 1)));
    EXPECT_EQ(qGreen(window.pixel(L[12], L[13] + 3)), 200);
    EXPECT_EQ(QColor(window.pixel(L[12] - 2, L[13] - 2)), QColor(Qt::black));
    dlg_.reset();
  }
}

// A picture of a size the layout does not follow (a D1 picture in the QVGA layout of a K41R)
// stays inside the video area: the window outside it, its frame included, is unchanged.
TEST_F(MainWindowTest, PictureOfAnUnexpectedSizeStaysInsideTheVideoArea) {
  Device("K41R", "1050", "USERLEVEL=30;VIDEOMODE=0;");
  ASSERT_TRUE(Init(2));
  const unsigned layout = app_->w_LayoutMode.load();
  const LayoutRow& L = LayoutRowOf(layout);
  const QRect video(L[LV_VIDEO], L[LV_VIDEO + 1], L[LV_VIDEO + 2] - L[LV_VIDEO], L[LV_VIDEO + 3] - L[LV_VIDEO + 1]);
  ASSERT_LT(video.width(), 704);
  app_->dw_StatTick = static_cast<std::int32_t>(plat::GetTickCount());  // no statistics update
  const QImage before = dlg_->Grab();
  SetPicture(704, 576, 288);
  ShowOnWorker();
  EXPECT_EQ(app_->w_LayoutMode.load(), layout);
  EXPECT_EQ(dlg_->DisplayedRect(), QRect(0, 0, 704, 576));
  const QImage after = dlg_->Grab();
  ASSERT_EQ(after.size(), before.size());
  int changedOutside = 0;
  for (int y = 0; y < after.height(); ++y)
    for (int x = 0; x < after.width(); ++x)
      if (!video.contains(x, y) && after.pixel(x, y) != before.pixel(x, y) && changedOutside++ == 0)
        ADD_FAILURE() << "changed outside the video area at " << x << "," << y;
  EXPECT_EQ(changedOutside, 0);
  EXPECT_TRUE(IsRed(after.pixel(video.right(), video.top() + 1)));
  EXPECT_EQ(qGreen(after.pixel(video.left(), video.bottom())), 200);
}

// The mailbox worker shows pictures while the GUI thread paints the window and runs the queued
// repaints (the race check of the window's share under ThreadSanitizer).
TEST_F(MainWindowTest, PicturesFromTheWorkerWhileTheWindowPaints) {
  Device("K41R", "1050", "USERLEVEL=30;VIDEOMODE=0;");
  ASSERT_TRUE(Init());
  SetPicture(640, 228, 114);
  std::atomic<bool> done{false};
  std::thread worker([&] {
    for (int i = 0; i < 120; ++i) dlg_->ShowImage();
    done = true;
  });
  int paints = 0;
  while (!done.load() || paints < 5) {
    (void)dlg_->Grab();
    ProcessEvents();
    ++paints;
  }
  worker.join();
  ProcessEvents();
  const LayoutRow& L = LayoutRowOf(app_->w_LayoutMode.load());
  EXPECT_TRUE(IsRed(dlg_->Grab().pixel(L[LV_VIDEO] + 5, L[LV_VIDEO + 1] + 1)));
  EXPECT_EQ(plat::WaitForSingleObject(app_->h_FinishShowImageJobEvent.load(), 0), plat::WAIT_OBJECT_0);
}

TEST_F(MainWindowTest, NothingIsDrawnWhileTheStreamIsDown) {
  Device("K41R", "1050", "USERLEVEL=30;VIDEOMODE=0;");
  ASSERT_TRUE(Init());
  SetPicture(320, 240, 120);
  app_->f_VideoRunning = 0;
  ShowOnWorker();
  EXPECT_TRUE(dlg_->DisplayedRect().isEmpty());
  EXPECT_EQ(plat::WaitForSingleObject(app_->h_FinishShowImageJobEvent.load(), 0), plat::WAIT_TIMEOUT);
}

TEST_F(MainWindowTest, StatusLineEveryTwoSecondsAndVideoLoss) {
  Device("K41R", "1050", "USERLEVEL=30;VIDEOMODE=0;");
  ASSERT_TRUE(Init());
  SetPicture(320, 240, 120);
  // A slow clock: the two seconds below stay exact while the test runs.
  plat::SetTimeScale(0.0001);
  const std::uint32_t now = plat::GetTickCount();
  app_->dw_StatTick = static_cast<std::int32_t>(now - 2000);
  app_->dw_StatFrames = 25;
  app_->dw_StatFramesLast = 0;
  app_->dw_StatBytes = 250000;
  app_->m_RTPH_Struct.m_wAlarmData = 0x0006;
  ShowOnWorker();
  EXPECT_EQ(dlg_->StatusText(), "FR:12.50 fps DR:976 kbps ");
  EXPECT_EQ(dlg_->AlarmChannelText(), "2");
  EXPECT_EQ(app_->dw_StatKbps.load(), 976);
  EXPECT_EQ(app_->dw_StatBytes.load(), 0);
  EXPECT_EQ(app_->dw_StatFramesLast.load(), 25);

  // Within two seconds of the last update nothing changes.
  app_->dw_StatBytes = 1000;
  ShowOnWorker();
  EXPECT_EQ(dlg_->StatusText(), "FR:12.50 fps DR:976 kbps ");
  EXPECT_EQ(app_->dw_StatBytes.load(), 1000);

  // A tick ahead of the clock (negative difference) skips the update too.
  app_->dw_StatTick = static_cast<std::int32_t>(plat::GetTickCount() + 5000);
  ShowOnWorker();
  EXPECT_EQ(app_->dw_StatBytes.load(), 1000);

  app_->dw_StatTick = static_cast<std::int32_t>(plat::GetTickCount() - 2000);
  app_->f_VideoLoss = 1;
  app_->m_RTPH_Struct.m_wAlarmData = 0;
  ShowOnWorker();
  plat::SetTimeScale(1.0);
  EXPECT_EQ(dlg_->StatusText(), "Video Loss!");
  EXPECT_EQ(dlg_->AlarmChannelText(), "");
}

TEST_F(MainWindowTest, HotPointCrossIsDrawnForTheCountedPicturesOnly) {
  Device("K41R", "1050", "USERLEVEL=30;VIDEOMODE=0;");
  ASSERT_TRUE(Init());
  app_->by_HotPointMode = 2;
  app_->w_HotPointRect[0] = 50;
  app_->w_HotPointRect[1] = 60;
  app_->w_HotPointFrames = 1;
  SetPicture(320, 240, 0);  // all blue
  ShowOnWorker();
  EXPECT_TRUE(IsRed(dlg_->DisplaySurface().pixel(50, 60)));
  EXPECT_EQ(app_->w_HotPointFrames.load(), 0);
  SetPicture(320, 240, 0);
  ShowOnWorker();
  EXPECT_TRUE(IsBlue(dlg_->DisplaySurface().pixel(50, 60)));
}

TEST_F(MainWindowTest, SnapshotAndGrabCopyTheDoubledPicture) {
  Device("K41R", "1050", "USERLEVEL=30;VIDEOMODE=0;");
  ASSERT_TRUE(Init());
  std::vector<std::uint8_t> grab(kPictureBufferSize);
  app_->lp_GrabBuffer = grab.data();
  app_->h_GrabDoneSem = plat::CreateSemaphore(0, 1);
  SetPicture(640, 228, 114);
  app_->f_GrabRequest = 1;
  app_->f_SnapshotRequest = 1;
  ShowOnWorker();
  EXPECT_EQ(app_->w_GrabWidth.load(), 640);
  EXPECT_EQ(app_->w_GrabHeight.load(), 456);
  EXPECT_EQ(plat::WaitForSingleObject(app_->h_GrabDoneSem.load(), 0), plat::WAIT_OBJECT_0);
  EXPECT_EQ(app_->f_GrabRequest.load(), 0);
  EXPECT_EQ(app_->f_SnapshotRequest.load(), 0);
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(folder_ + "snap")) files += e.path().extension() == ".jpg";
  EXPECT_EQ(files, 1);

  // A snapshot folder that does not exist: the message is posted, the request cleared.
  app_->CSettingINI.m_strSnapshotPath.Set(folder_ + "missing/deeper");
  app_->f_SnapshotRequest = 1;
  ShowOnWorker();
  EXPECT_EQ(app_->f_SnapshotRequest.load(), 0);
  EXPECT_EQ(boxes_.Texts(), std::vector<std::string>{LoadStr(IDS_SNAPSHOT_FAILED)});
  app_->lp_GrabBuffer = nullptr;
  plat::CloseHandle(app_->h_GrabDoneSem.exchange(0));
}

// ---- channel bar --------------------------------------------------------------------------------------

TEST_F(MainWindowTest, ChannelBarPagesAndSwitches) {
  Device("K41R", "1050", "USERLEVEL=30;MULTICH=1;VIDEOMODE=0;");
  app_->CSettingINI.m_bySelectedChannel = 2;
  ASSERT_TRUE(Init(0));
  CChannelBar& bar = dlg_->ChannelBar();
  ASSERT_TRUE(bar.IsActive());
  auto visible = [&bar] {
    std::vector<int> v;
    const auto p = bar.Placements();
    for (std::size_t i = 0; i < p.size(); ++i) {
      if (p[i].visible) v.push_back(static_cast<int>(i));
    }
    return v;
  };
  // VGA: the recorder button and channels 1-8, then 9-16.
  EXPECT_EQ(visible(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 18}));
  EXPECT_EQ(dlg_->Button(8412)->m_wImageIndex, 0);  // channel 2 selected
  EXPECT_EQ(dlg_->Button(8411)->m_wImageIndex, 1);
  dlg_->Command(IDC_CHANNEL_PAGE_NEXT);
  ProcessEvents();
  EXPECT_EQ(visible(), (std::vector<int>{9, 10, 11, 12, 13, 14, 15, 16, 17}));
  EXPECT_FALSE(dlg_->Button(8411)->isVisibleTo(dlg_.get()));
  EXPECT_TRUE(dlg_->Button(8420)->isVisibleTo(dlg_.get()));
  dlg_->Command(IDC_CHANNEL_PAGE_NEXT);  // no page after the last
  EXPECT_EQ(bar.Page(), 9);
  dlg_->Command(IDC_CHANNEL_PAGE_PREV);
  EXPECT_EQ(bar.Page(), 0);

  // QVGA: pages of four.
  app_->by_ResolutionMode = 1;
  bar.Arrange();
  EXPECT_EQ(visible(), (std::vector<int>{0, 1, 2, 3, 18}));
  bar.PageNext();
  EXPECT_EQ(visible(), (std::vector<int>{4, 5, 6, 7, 17, 18}));

  // Switching: a request for another channel, none for the current one.
  fake_.ClearRequests();
  dlg_->Command(8413);
  dlg_->Command(8412);
  // (A multichannel recorder is also asked for its PTZ slaves before each switch.)
  auto requests = fake_.Requests();
  std::erase_if(requests, [](const fake::RecordedRequest& r) { return r.path == "/PTZReset.cgi"; });
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].path, "/SetChannel.cgi");
  EXPECT_EQ(requests[0].query.at("CH"), "3");
  EXPECT_EQ(requests[0].query.at("Cookie"), "A1B2C3D4E5F6");
  EXPECT_EQ(bar.Current(), 2);  // follows only what the stream reports

  // The stream reports channel 3.
  std::thread([&bar] { bar.SetCurrentChannel(3); }).join();
  ProcessEvents();
  EXPECT_EQ(bar.Current(), 3);
  EXPECT_EQ(app_->CSettingINI.m_bySelectedChannel.load(), 3);
  EXPECT_EQ(dlg_->Button(8413)->m_wImageIndex, 0);
  EXPECT_EQ(dlg_->Button(8412)->m_wImageIndex, 1);

  // A failing switch from a worker (an alarm) shows its message without waiting.
  fake_.SetStatus500(true);
  int result = -1;
  std::thread([&bar, &result] { result = bar.SwitchChannel(5); }).join();
  EXPECT_EQ(result, 0);
  EXPECT_EQ(boxes_.Texts(), std::vector<std::string>{"Send command timeout"});
}

TEST_F(MainWindowTest, NoChannelBarWithoutMultichannelAndTwoButtonsOnK40) {
  Device("K42R", "1050", "USERLEVEL=30;MULTICH=0;VIDEOMODE=0;");
  ASSERT_TRUE(Init());
  EXPECT_FALSE(dlg_->ChannelBar().IsActive());
  EXPECT_EQ(dlg_->SideButtons().Count(), 6);  // no colour button
  EXPECT_EQ(dlg_->Button(999), nullptr);
  dlg_.reset();
  Device("K40R", "1050", "USERLEVEL=30;VIDEOMODE=0;");
  app_->CSettingINI.m_bySelectedChannel = 2;
  ASSERT_TRUE(Init());
  EXPECT_TRUE(dlg_->ChannelBar().IsActive());
  EXPECT_EQ(dlg_->Button(8411)->geometry(), QRect(20, 32, 35, 28));
  EXPECT_EQ(dlg_->Button(8412)->geometry(), QRect(55, 32, 35, 28));
  EXPECT_EQ(dlg_->Button(8412)->m_wImageIndex, 0);
}

TEST_F(MainWindowTest, SmallerRecordersPageByFourOnlyInQvga) {
  struct Case {
    const char* model;
    std::uint8_t mode;
    std::vector<int> firstPage, secondPage;
  };
  // K42R: 0 recorder, 1-8 channels, 9 left, 10 right; K43R: 1-4 channels, 5 left, 6 right.
  const Case cases[] = {
      {"K42R", 0, {0, 1, 2, 3, 4, 5, 6, 7, 8}, {0, 1, 2, 3, 4, 5, 6, 7, 8}},
      {"K42R", 1, {0, 1, 2, 3, 10}, {4, 5, 6, 7, 9, 10}},
      {"K43R", 3, {0, 1, 2, 3, 4}, {0, 1, 2, 3, 4}},  // its page always starts at 0: all fit
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.model) + " mode " + std::to_string(c.mode));
    Device(c.model, "1050", "");
    app_->by_MultiChannel = 1;
    app_->by_ResolutionMode = c.mode;
    app_->CSettingINI.m_bySelectedChannel = 0;
    CChannelBar bar;
    bar.Create(nullptr, nullptr);
    auto visible = [&bar] {
      std::vector<int> v;
      const auto p = bar.Placements();
      for (std::size_t i = 0; i < p.size(); ++i) {
        if (p[i].visible) v.push_back(static_cast<int>(i));
      }
      return v;
    };
    EXPECT_EQ(visible(), c.firstPage);
    bar.PageNext();
    EXPECT_EQ(visible(), c.secondPage);
  }
}

TEST_F(MainWindowTest, AClickOnAButtonSilencesTheAlarmSound) {
  Device("K41R", "1050", "USERLEVEL=30;VIDEOMODE=0;");
  ASSERT_TRUE(Init());
  dlg_->show();
  app_->h_StopAlarmWavEvent = plat::CreateEvent(false, false);
  app_->f_AlarmAudioOn = 1;
  QTest::mouseClick(dlg_->Button(1002), Qt::LeftButton);
  EXPECT_EQ(app_->f_AlarmAudioOn.load(), 0);
  EXPECT_EQ(plat::WaitForSingleObject(app_->h_StopAlarmWavEvent.load(), 0), plat::WAIT_OBJECT_0);
  plat::CloseHandle(app_->h_StopAlarmWavEvent.exchange(0));
  dlg_->hide();
}

TEST_F(MainWindowTest, StatusMessagesOfTheLoginThread) {
  Device("K41R", "1050", "USERLEVEL=30;VIDEOMODE=0;");
  ASSERT_TRUE(Init());
  struct Case {
    plat::WPARAM wParam;
    plat::LPARAM code;
    const char* text;
  };
  const Case cases[] = {
      {754, 0, "ESCAPED TIME:  12:34"},
      {0, 1, "Start login"},
      {0, 2, "Server is too busy!! Try later !!"},
      {0, 3, "Login process is failed,wait a moment !!"},
      {0, 4, "Login process is failed,wait a moment !!"},  // nothing
      {0, 7, "System relogin too many user.Wait for 40 sec!!\nApplication will try again."},
      {0, 9, "System relogin too many user.Wait for 40 sec!!\nApplication will try again."},
  };
  for (const Case& c : cases) {
    plat::PostMessage(app_->h_MainDialogHandle.load(), msg::WM_SHOWSTATUS, c.wParam, c.code);
    ProcessEvents();
    EXPECT_EQ(dlg_->StatusText(), c.text) << c.code;
  }
  // The connect button's pictures.
  plat::PostMessage(app_->h_MainDialogHandle.load(), msg::WM_SHOWSTATUS, 0, msg::STATUS_DISCONNECTED_PICTURE);
  ProcessEvents(3);
  EXPECT_EQ(dlg_->Button(1002)->m_wImageIndex, 1);
  plat::PostMessage(app_->h_MainDialogHandle.load(), msg::WM_SHOWSTATUS, 0, msg::STATUS_CONNECTED_PICTURE);
  ProcessEvents(3);
  EXPECT_EQ(dlg_->Button(1002)->m_wImageIndex, 0);
}

TEST_F(MainWindowTest, RelayoutFromAWorkerIsCarriedOutByTheWindow) {
  Device("K41R", "1050", "USERLEVEL=30;VIDEOMODE=0;");
  ASSERT_TRUE(Init(0));
  ASSERT_EQ(dlg_->size(), QSize(722, 608));
  app_->w_LayoutMode = 3;
  std::thread([this] {
    IMainWindow* w = app_->lp_MainDialog.load();
    w->ChangeItemPositionForDeviceModified();
    w->RelayoutControls();
  }).join();
  EXPECT_EQ(dlg_->size(), QSize(722, 608));  // nothing changed on the worker itself
  ProcessEvents(3);
  EXPECT_EQ(dlg_->size(), QSize(370, 414));
  EXPECT_EQ(dlg_->Button(IDC_CLOSE)->geometry(), QRect(311 + 34, 8, 13, 13));
}

// ---- access levels ---------------------------------------------------------------------------------

TEST_F(MainWindowTest, AccessLevelsDisableButtons) {
  struct Case {
    int level;
    std::vector<int> enabled, disabled;
    bool cameraTool;
  };
  const Case cases[] = {
      {30, {1002, 1007, 1008, 999, 1004, 1005, 1006}, {}, true},
      {20, {1002, 1007, 1008, 999, 1004, 1005}, {1006}, true},
      {10, {1002, 1004, 1005}, {1007, 1008, 999, 1006}, true},
      {0, {1002}, {1007, 1008, 999, 1004, 1005, 1006}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.level);
    Device("K44R", "1050", "USERLEVEL=" + std::to_string(c.level) + ";VIDEOMODE=0;");
    ASSERT_TRUE(Init());
    for (int id : c.enabled) EXPECT_TRUE(dlg_->Button(id)->isEnabled()) << id;
    for (int id : c.disabled) EXPECT_FALSE(dlg_->Button(id)->isEnabled()) << id;
    // No linked device: the current type is the camera, whose panel opens with 8193.
    EXPECT_EQ(dlg_->Button(IDC_CAMERA_TOOL_DOWN)->isEnabled(), c.cameraTool);
    EXPECT_EQ(dlg_->Button(IDC_CAMERA_TOOL_DOWN)->isVisibleTo(dlg_.get()), c.cameraTool);
    EXPECT_FALSE(dlg_->Button(IDC_CAMERA_TOOL)->isVisibleTo(dlg_.get()));
    dlg_.reset();
  }
}

// ---- keys and full screen ---------------------------------------------------------------------------

TEST_F(MainWindowTest, EscapeLeavesFullScreenAndEnterAndEscapeNeverClose) {
  Device("K41R", "1050", "USERLEVEL=30;MULTICH=1;VIDEOMODE=0;");
  ASSERT_TRUE(Init());
  dlg_->move(40, 30);
  dlg_->show();
  QTest::keyClick(dlg_.get(), Qt::Key_Escape);
  QTest::keyClick(dlg_.get(), Qt::Key_Return);
  EXPECT_TRUE(dlg_->isVisible());
  EXPECT_FALSE(dlg_->IsFullScreen());

  dlg_->Command(IDC_FULLSCREEN);
  EXPECT_TRUE(dlg_->IsFullScreen());
  dlg_->SetStatusText("dropped in full screen");
  SetPicture(640, 228, 114);
  ShowOnWorker();
  EXPECT_EQ(dlg_->geometry(), kWorkArea);
  EXPECT_FALSE(dlg_->Button(IDC_CLOSE)->isVisible());
  EXPECT_FALSE(dlg_->Button(8410)->isVisible());
  const QImage full = dlg_->FullScreenSurface();
  ASSERT_EQ(full.size(), kWorkArea.size());
  EXPECT_TRUE(IsRed(full.pixel(kWorkArea.width() - 1, 2)));
  EXPECT_TRUE(IsBlue(full.pixel(kWorkArea.width() - 1, kWorkArea.height() - 2)));
  EXPECT_EQ(dlg_->StatusText(), "Start to get image!!");

  QTest::keyClick(dlg_.get(), Qt::Key_Escape);
  ProcessEvents();
  EXPECT_FALSE(dlg_->IsFullScreen());
  EXPECT_EQ(dlg_->size(), QSize(722, 608));
  EXPECT_EQ(dlg_->pos(), QPoint((1280 - 722) >> 1, (1000 - 608) >> 1));
  EXPECT_TRUE(dlg_->Button(IDC_CLOSE)->isVisible());
  EXPECT_TRUE(dlg_->Button(8410)->isVisible());
  EXPECT_TRUE(dlg_->Button(1002)->isVisible());
  dlg_->hide();
}

// Leaving full screen centres the window of each layout in the work area (offset by its origin).
TEST_F(MainWindowTest, LeavingFullScreenCentresTheLayoutsWindow) {
  struct Case {
    const char* model;
    const char* info;
    int resolution;
    int w, h;  // picture that picks the layout
    QSize size;
    QRect workArea;
  };
  const Case cases[] = {
      {"K41R", "USERLEVEL=30;VIDEOMODE=0;", 0, 640, 228, QSize(722, 608), QRect(0, 0, 1280, 1000)},
      {"K41R", "USERLEVEL=30;VIDEOMODE=1;", 1, 320, 288, QSize(370, 414), QRect(0, 0, 1280, 1000)},
      {"K40R", "USERLEVEL=30;VIDEOMODE=1;", 0, 704, 288, QSize(722, 705), QRect(0, 0, 1280, 1000)},
      {"K44R", "USERLEVEL=30;VIDEOMODE=0;", 1, 320, 240, QSize(370, 366), QRect(100, 40, 1181, 901)},
      {"K47R", "USERLEVEL=30;VIDEOMODE=0;", 0, 640, 480, QSize(722, 608), QRect(100, 40, 1181, 901)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.model) + " " + std::to_string(c.w) + "x" + std::to_string(c.h));
    Device(c.model, "1050", c.info);
    app_->CSettingINI.m_nImageResolution = c.resolution;
    dlg_ = std::make_unique<CTrelvixDlg>();
    dlg_->SetWorkAreaForTest(c.workArea);
    ASSERT_TRUE(dlg_->OnInitDialog());
    dlg_->move(3, 4);
    dlg_->show();
    SetPicture(c.w, c.h, c.h / 2);
    ShowOnWorker();
    dlg_->Command(IDC_FULLSCREEN);
    ShowOnWorker();
    ASSERT_EQ(dlg_->geometry(), c.workArea);
    QTest::keyClick(dlg_.get(), Qt::Key_Escape);
    ProcessEvents();
    EXPECT_EQ(dlg_->size(), c.size);
    const QPoint centred(c.workArea.left() + ((c.workArea.width() - c.size.width()) >> 1),
                         c.workArea.top() + ((c.workArea.height() - c.size.height()) >> 1));
    EXPECT_EQ(dlg_->pos(), centred);
    // The sensor toolbar belongs to a K47R only, and stays docked to the window's left edge.
    CCmosToolBarDlg* bar = dlg_->CmosToolBar();
    ASSERT_EQ(bar != nullptr, std::string(c.model) == "K47R");
    if (bar) {
      EXPECT_EQ(bar->pos(), centred - QPoint(43, 0));
    }
    dlg_->hide();
    dlg_.reset();
  }
}

// ---- the image-sensor toolbar of a K47R ----------------------------------------------------------

TEST_F(MainWindowTest, SensorToolBarDocksToTheLeftEdgeOfAK47R) {
  struct Case {
    const char* model;
    int resolution;
    bool toolbar;
  };
  const Case cases[] = {{"K47R", 0, true}, {"K47R", 1, true}, {"K41R", 0, false}, {"K40R", 0, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.model) + " resolution " + std::to_string(c.resolution));
    Device(c.model, "1050", "USERLEVEL=30;VIDEOMODE=0;");
    ASSERT_TRUE(Init(c.resolution));
    CCmosToolBarDlg* bar = dlg_->CmosToolBar();
    if (!c.toolbar) {
      EXPECT_EQ(bar, nullptr);
      EXPECT_EQ(app_->C_CmosToolBar.load(), nullptr);
      dlg_.reset();
      continue;
    }
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(app_->C_CmosToolBar.load(), static_cast<ISensorToolBar*>(bar));
    EXPECT_TRUE(bar->isVisible());
    // Left of where the centred window stands, overlapping it by two pixels.
    const QSize win = dlg_->size();
    EXPECT_EQ(bar->geometry(), QRect(((kWorkArea.width() - win.width()) >> 1) - 43,
                                     (kWorkArea.height() - win.height()) >> 1, 45, 300));
    EXPECT_TRUE(bar->WindowRegion().contains(QPoint(22, 150)));
    EXPECT_FALSE(bar->WindowRegion().contains(QPoint(0, 0)));
    EXPECT_FALSE(bar->WindowRegion().contains(QPoint(44, 299)));

    // Wherever the window goes, the toolbar follows.
    dlg_->move(100, 50);
    dlg_->show();
    ProcessEvents();
    EXPECT_EQ(bar->pos(), QPoint(100 - 45 + 2, 50));
    dlg_->move(300, 20);
    ProcessEvents();
    EXPECT_EQ(bar->pos(), QPoint(300 - 43, 20));

    // The sensor state the stream posts reaches a live window; Enter and Esc leave it open.
    EXPECT_NE(plat::PostMessage(bar->GetHwnd(), msg::WM_SENSORSTATE, 0x86, 0), 0);
    QTest::keyClick(bar, Qt::Key_Escape);
    QTest::keyClick(bar, Qt::Key_Return);
    ProcessEvents();
    EXPECT_TRUE(bar->isVisible());
    dlg_->hide();
    dlg_.reset();
    EXPECT_EQ(app_->C_CmosToolBar.load(), nullptr);  // nothing posts to a window that is gone
  }
}

// The surface drag moves the window (the toolbar with it) out of full screen only.
TEST_F(MainWindowTest, DragByTheSurfaceOutOfFullScreenOnly) {
  Device("K47R", "1050", "USERLEVEL=30;VIDEOMODE=0;");
  ASSERT_TRUE(Init());
  dlg_->move(200, 100);
  dlg_->show();
  ProcessEvents();
  auto drag = [this](QPoint from, QPoint to) {
    const QPoint g0 = dlg_->pos() + from;
    const QPoint g1 = g0 + (to - from);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(from), QPointF(g0), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(dlg_.get(), &press);
    QMouseEvent move(QEvent::MouseMove, QPointF(to), QPointF(g1), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(dlg_.get(), &move);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(to), QPointF(g1), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(dlg_.get(), &release);
    ProcessEvents();
  };
  drag(QPoint(300, 40), QPoint(330, 60));
  EXPECT_EQ(dlg_->pos(), QPoint(230, 120));
  EXPECT_EQ(dlg_->CmosToolBar()->pos(), QPoint(230 - 43, 120));
  // In a window the proposed rectangle passes unchanged; a width other than the layout's
  // takes the layout's rectangle.
  const QRect proposed(10, 20, dlg_->width(), dlg_->height());
  EXPECT_EQ(dlg_->OnMoving(proposed), proposed);

  dlg_->Command(IDC_FULLSCREEN);
  SetPicture(320, 240, 120);
  ShowOnWorker();
  ASSERT_EQ(dlg_->geometry(), kWorkArea);
  const LayoutRow& L = LayoutRowOf(app_->w_LayoutMode.load());
  EXPECT_EQ(dlg_->OnMoving(QRect(5, 5, 1280, 1000)), QRect(0, 0, L[2], L[3]));
  drag(QPoint(300, 40), QPoint(330, 60));
  EXPECT_EQ(dlg_->geometry(), kWorkArea);
  QTest::keyClick(dlg_.get(), Qt::Key_Escape);
  dlg_->hide();
}

// ---- shut-down --------------------------------------------------------------------------------------

TEST_F(MainWindowTest, ShutDownFinishesAnOpenRecordingAndSavesTheSettings) {
  Device("K41R", "1050", "USERLEVEL=30;VIDEOMODE=0;");
  ASSERT_TRUE(Init());
  std::string folder = folder_ + "rec";
  std::filesystem::create_directories(folder);
  ASSERT_TRUE(app_->C_UserRecord.StartRecord(folder));
  ASSERT_TRUE(app_->C_UserRecord.IsFileOpen());
  std::string path = app_->C_UserRecord.CurrentPath();
  std::replace(path.begin(), path.end(), '\\', '/');
  // The window manager's close takes the same road as the close button.
  dlg_->show();
  dlg_->close();
  EXPECT_FALSE(app_->C_UserRecord.IsFileOpen());
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_GT(std::filesystem::file_size(path), 0u);
  EXPECT_TRUE(std::filesystem::exists(folder_ + "Setting.ini"));
  EXPECT_FALSE(dlg_->isVisible());
}

}  // namespace
