// The main window with the whole engine behind it against the fake recorder: the window's
// initialisation releases the stream, the receive, compose and show threads draw into it,
// alarms in the frame headers reach it, and a cut stream is reconnected by the re-login thread.
#include <QApplication>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "core/Messages.h"
#include "engine/Resources.h"
#include "mainwnd/TrelvixDlg.h"
#include "mainwnd_fixture.h"
#include "platform/clock.h"
#include "platform/jpeg.h"
#include "platform/thread.h"
#include "platform/wave.h"
#include "tests/support/QtWait.h"

namespace {

using mwtest::EngineFixture;

// Pictures with an alarm word that the test raises and clears, and a cut on demand.
class AlarmProducer : public fake::StreamProducer {
 public:
  explicit AlarmProducer(const fake::StreamSettings& s) : settings_(s), jpeg_(fake::MakeJpeg(s.width, s.height, 70)) {}
  bool NextPacket(int, bool newHeader, std::string& packet) override {
    if (cut.exchange(false)) return false;
    fake::StreamSettings s = settings_;
    const int word = alarm.load();
    if (word >= 0) s.alarmWord = static_cast<std::uint16_t>(word);
    const auto len = static_cast<std::uint32_t>(jpeg_.size());
    packet = (newHeader ? fake::DefaultStreamProducer::HeaderV1(s, len) : fake::DefaultStreamProducer::HeaderV0(s, len)) +
             jpeg_;
    ++packets;
    return true;
  }
  std::atomic<int> alarm{-1};  // -1: no alarm section in the header
  std::atomic<bool> cut{false};
  std::atomic<int> packets{0};

 private:
  fake::StreamSettings settings_;
  std::string jpeg_;
};

class SessionE2E : public EngineFixture {
 protected:
  void SetUp() override {
    EngineFixture::SetUp();
    if (!app_) return;
    app_->CSettingINI.m_strTriggerWavPath.Set(std::string(TRELVIX_BIN_DIR) + "/alarm.wav");
  }

  int AlarmFiles() const {
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator(folder_ + "rec"))
      n += e.path().filename().string().rfind("ALARM_", 0) == 0 && std::filesystem::file_size(e.path()) > 0;
    return n;
  }
};

// A K41R linked to a recorder type enters that recorder through the R.E.T.R. key, and only
// that entry makes its alarms sound and record. The first login (the window's initialisation)
// and the re-login after a cut stream must both leave that entry, so alarms keep working.
TEST_F(SessionE2E, AlarmSoundAndRecordingWorkBeforeAndAfterAReconnection) {
  Device("K41R", "1030", "LIFETIME=60;USERLEVEL=30;MULTICH=0;VIDEOMODE=0;LINKDEVICE=14;RETR=1;");
  app_->CSettingINI.m_byAlarmTriggerRecord = 1;
  app_->CSettingINI.m_byRetrAlarmRecord = 1;
  fake::StreamSettings s;
  s.width = 320;
  s.height = 240;
  fake::StreamSettings pace;
  pace.fps = 25;
  fake_.SetStreamSettings(pace);
  auto producer = std::make_shared<AlarmProducer>(s);
  fake_.SetStreamProducer(producer);
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitUntil([&] { return !dlg_->DisplayedRect().isEmpty(); }, 10000, PumpEvents)) << "pictures are drawn";
  EXPECT_NE(app_->C_ControlD.FindSpecialType(), 0);

  auto alarmCycle = [&](const char* when, int filesBefore) {
    SCOPED_TRACE(when);
    producer->alarm = 0x0004;
    EXPECT_TRUE(WaitUntil([&] { return app_->f_AlarmAudioOn.load() == 1; }, 10000, PumpEvents)) << "alarm sound started";
    EXPECT_TRUE(WaitUntil([&] { return app_->C_AlarmRecord.m_fFileOpen.load() == 1; }, 10000, PumpEvents)) << "alarm recording";
    producer->alarm = -1;
    EXPECT_TRUE(WaitUntil([&] { return app_->f_AlarmAudioOn.load() == 0; }, 10000, PumpEvents)) << "alarm sound stopped";
    EXPECT_TRUE(WaitUntil([&] { return app_->C_AlarmRecord.m_fFileOpen.load() == 0; }, 10000, PumpEvents)) << "recording finished";
    EXPECT_TRUE(WaitUntil([&] { return AlarmFiles() == filesBefore + 1; }, 10000, PumpEvents));
  };
  alarmCycle("first login", 0);

  // The recorder cuts the stream; the re-login thread logs in again and rebuilds it.
  const int logins = Requests("/Login.cgi");
  producer->cut = true;
  ASSERT_TRUE(WaitUntil([&] { return Requests("/Getvideo.cgi") >= 2; }, 20000, PumpEvents)) << "reconnected";
  EXPECT_EQ(Requests("/Login.cgi"), logins + 1);
  EXPECT_EQ(Requests("/Getdeviceinfo.cgi"), 2);
  const int before = producer->packets.load();
  ASSERT_TRUE(WaitUntil([&] { return producer->packets.load() >= before + 5; }, 10000, PumpEvents)) << "pictures resume";
  EXPECT_NE(app_->C_ControlD.FindSpecialType(), 0);
  EXPECT_EQ(app_->C_ControlD.GetRetrState(), 1);
  alarmCycle("after the re-login", 1);

  // Shut-down with an alarm recording open finishes its file.
  producer->alarm = 0x0001;
  ASSERT_TRUE(WaitUntil([&] { return app_->C_AlarmRecord.m_fFileOpen.load() == 1; }, 10000, PumpEvents));
  EXPECT_TRUE(dlg_->DestroyWindow());
  EXPECT_EQ(app_->C_AlarmRecord.m_fFileOpen.load(), 0);
  EXPECT_EQ(AlarmFiles(), 3);
}

// A K47R counts its header in the newer header's frame length: every picture arrives whole,
// with no grey blocks at its end.
TEST_F(SessionE2E, K47rPicturesArriveWhole) {
  Device("K47R", "1000", "LIFETIME=60;USERLEVEL=30;VIDEOMODE=0;");
  fake::StreamSettings s;
  s.width = 320;
  s.height = 240;
  fake_.SetStreamSettings(s);
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitUntil([&] { return fake_.FramesSent() >= 3 && !dlg_->DisplayedRect().isEmpty(); }, 10000, PumpEvents));
  EXPECT_TRUE(fake_.NewHeaderAsked());
  EXPECT_EQ(dlg_->DisplayedRect(), QRect(0, 0, 320, 240));

  const std::string jpeg = fake::DefaultStreamProducer(s).Picture();
  std::vector<std::uint8_t> expected(320 * 240 * 3);
  int w = 0, h = 0;
  ASSERT_TRUE(plat::JpegDecodeBgrBottomUp(reinterpret_cast<const std::uint8_t*>(jpeg.data()), jpeg.size(),
                                          expected.data(), expected.size(), w, h));
  ASSERT_EQ(w, 320);
  ASSERT_EQ(h, 240);
  const QImage surface = dlg_->DisplaySurface();
  int wrong = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const std::uint8_t* p = &expected[(std::size_t(h - 1 - y) * w + x) * 3];
      wrong += surface.pixel(x, y) != qRgb(p[2], p[1], p[0]);
    }
  }
  EXPECT_EQ(wrong, 0);
}

}  // namespace
