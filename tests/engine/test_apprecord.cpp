#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/AppRecord.h"
#include "core/Messages.h"
#include "core/Model.h"
#include "core/RecordState.h"
#include "core/Strings.h"
#include "record/RecorderHost.h"
#include "session/SessionHost.h"

namespace {

TEST(AppRecord, StartValues) {
  g_szSessionCookie.Set("left over");
  AppRecord rec;
  rec.h_ReLoginThread = 7;
  rec.f_Connected = 1;
  rec.dw_LifeTime = 30;
  rec.strProductID = "K41R";
  rec.sz_MacAddress.Set("001a2b3c4d5e");
  rec.SysCfg_INF[20] = 0xFF;
  rec.by_StreamState = 0;
  rec.ApplyStartValues();

  EXPECT_EQ(rec.dw_LifeTime, -1);
  EXPECT_EQ(rec.by_HotPointMode, 1);
  for (const auto& v : rec.w_HotPointRect) EXPECT_EQ(v, 50);
  EXPECT_EQ(rec.by_TurboRepeatStep, 5);
  EXPECT_EQ(rec.by_StreamState, 4);
  EXPECT_EQ(rec.strAppVersion.Get(), "1.0.6.2");
  EXPECT_EQ(rec.h_ReLoginThread, 0u);
  EXPECT_EQ(rec.f_Connected, 0);
  EXPECT_EQ(rec.f_TurboOn, 0);
  EXPECT_EQ(rec.f_PresetMode, 0);
  EXPECT_EQ(rec.w_LoginResult, 0);
  EXPECT_EQ(rec.lp_PacketBuffer.load(), nullptr);
  EXPECT_EQ(rec.lp_MainDialog.load(), nullptr);
  EXPECT_TRUE(rec.strProductID.Empty());
  EXPECT_EQ(rec.sz_MacAddress.Text(), "");
  EXPECT_EQ(rec.SysCfg_INF[20], 0);
  EXPECT_EQ(rec.PlayerLink.h_NetworkBkMutex, 0u);
  EXPECT_EQ(rec.GetSessionId(), "");
}

TEST(AppRecord, EmbeddedObjectsAreBuiltInTheRecordOrder) {
  AppRecord rec;
  // Members are constructed in declaration order, so increasing addresses show the order.
  const std::vector<const void*> order = {
      &rec.C_AlarmWave,     &rec.str_FWVersion,    &rec.strBootVersion, &rec.str2041Version,
      &rec.strFPGAVersion,  &rec.strAppVersion,    &rec.C_ControlD,     &rec.AccountSlots[0],
      &rec.AccountSlots[4], &rec.C_RecordFrameRing, &rec.C_AlarmRecord, &rec.C_UserRecord,
      &rec.C_SchRecord,     &rec.m_RTPH_Struct,    &rec.C_DebugTraceLog, &rec.CSettingINI,
      &rec.strProductID,    &rec.strHostName,      &rec.strDeviceName,  &rec.C_ResolutionMode,
      &rec.C_ChannelBar,    &rec.C_SideButtonBar,  &rec.C_MMTimer,      &rec.C_WriteCD,
      &rec.C_CmosToolBar,
  };
  for (std::size_t i = 1; i < order.size(); ++i) {
    EXPECT_LT(reinterpret_cast<std::uintptr_t>(order[i - 1]), reinterpret_cast<std::uintptr_t>(order[i]))
        << "member " << i;
  }
}

TEST(AppRecord, SectionSizes) {
  AppRecord rec;
  const std::pair<std::size_t, std::size_t> sizes[] = {
      {sizeof rec.SysCfg_IP, 24},      {sizeof rec.SysCfg_SECURE, 196}, {sizeof rec.SysCfg_DNS, 12},
      {sizeof rec.SysCfg_SMTP, 440},   {sizeof rec.SysCfg_FTP, 104},    {sizeof rec.SysCfg_PPPOE, 68},
      {sizeof rec.SysCfg_PPPOE_New, 68}, {sizeof rec.SysCfg_SYSTEM, 36}, {sizeof rec.SysCfg_SNTP, 36},
      {sizeof rec.SysCfg_IMG, 12},     {sizeof rec.SysCfg_ALARM, 24},   {sizeof rec.SysCfg_RS485, 124},
      {sizeof rec.VideoSettingBlock, 16}, {sizeof rec.SysCfg_INF, 44},  {sizeof rec.SysCfg_ONLINE, 240},
      {sizeof rec.SysCfg_DVRLIVE, 772}, {sizeof rec.SysCfg_DVRREC, 132}, {sizeof rec.SysCfg_DVROSD, 20},
      {sizeof rec.SysCfg_PERI, 16},
  };
  for (std::size_t i = 0; i < std::size(sizes); ++i) EXPECT_EQ(sizes[i].first, sizes[i].second) << i;
  EXPECT_EQ(kPacketBufferSize, 204800u);
  EXPECT_EQ(sizeof rec.PlayerLink.sz_NetworkBkMutexName, 32u);
}

TEST(SessionCookie, BoundedAndCopied) {
  SetSessionId(std::string(100, 'S'));
  EXPECT_EQ(GetSessionId(), std::string(63, 'S'));
  char raw[kSessionCookieSize];
  g_szSessionCookie.CopyTo(raw);
  EXPECT_EQ(raw[63], 0);
  SetSessionId("abc");
  g_szSessionCookie.CopyTo(raw);
  EXPECT_STREQ(raw, "abc");
  EXPECT_EQ(raw[10], 0);  // nothing of the longer text stays behind
  g_szSessionCookie.Clear();
  EXPECT_EQ(GetSessionId(), "");
}

// Several threads set and read the shared texts at once: every read is one whole value that
// was written (never a mix of two), and the sanitizer build sees no unguarded access.
TEST(SharedValues, ConcurrentWritersAndReadersSeeWholeValues) {
  AppRecord rec;
  const std::string values[2] = {std::string(40, 'a'), std::string(7, 'b')};
  const std::string macs[2] = {"001a2b3c4d5e", "ffeeddccbbaa"};
  SetSessionId(values[0]);
  g_strLocalIP = values[0];
  rec.CSettingINI.m_strServerName = values[0];
  rec.sz_MacAddress.Set(macs[0]);
  std::atomic<bool> stop{false};
  std::atomic<int> torn{0};
  auto writer = [&](int which) {
    for (int i = 0; i < 2000; ++i) {
      const std::string& v = values[(i + which) % 2];
      SetSessionId(v);
      g_strLocalIP = v;
      rec.CSettingINI.m_strServerName = v;
      rec.sz_MacAddress.Set(macs[(i + which) % 2]);
    }
  };
  std::mutex sampleMutex;
  std::string sample;  // the first value that was not whole
  auto reader = [&] {
    auto whole = [&](const std::string& s) { return s == values[0] || s == values[1]; };
    auto note = [&](const std::string& s) {
      if (torn++ == 0) {
        std::lock_guard<std::mutex> lock(sampleMutex);
        sample = s;
      }
    };
    while (!stop.load()) {
      for (const std::string& s : {GetSessionId(), g_strLocalIP.Get(), rec.GetServerName()}) {
        if (!whole(s)) note(s);
      }
      const std::string mac = rec.sz_MacAddress.Text();
      if (mac != macs[0] && mac != macs[1]) note(mac);
    }
  };
  std::thread r1(reader), r2(reader);
  std::thread w1(writer, 0), w2(writer, 1);
  w1.join();
  w2.join();
  stop = true;
  r1.join();
  r2.join();
  EXPECT_EQ(torn.load(), 0) << "first: [" << sample << "]";
  g_szSessionCookie.Clear();
  g_strLocalIP = "";
}

TEST(SharedValues, CharsAndPointers) {
  SharedChars<4> fw;
  fw.Set("104612");
  EXPECT_EQ(fw.Text(), "1046");
  fw.Set("1");
  EXPECT_EQ(fw.Text(), "1");
  EXPECT_EQ(fw.Get()[1], 0);

  struct Window : IMainWindow {
    plat::HWND GetHwnd() const override { return 9; }
    void ShowImage() override {}
    int SetStatusText(const std::string&) override { return 1; }
    void ChangeItemPositionForDeviceModified() override {}
    void RelayoutControls() override {}
    void ClearOnlineUserText() override {}
    void ClearAlarmInputText() override {}
    void SetRetrButtonState(bool) override {}
    void ResetPtzModeButton() override {}
    void DeleteDisplayContext() override {}
    void SwitchLayout(int) override {}
  } w;
  AppRecord rec;
  EXPECT_FALSE(rec.lp_MainDialog);
  rec.lp_MainDialog = &w;
  EXPECT_EQ(rec.lp_MainDialog->GetHwnd(), 9u);
}

TEST(StringTable, LookupAndMessageBox) {
  EXPECT_STREQ(LoadStr(4094), "Open device control file is failed");
  EXPECT_STREQ(LoadStr(4116), "Snapshot is failed,please check snapshot path is valid.");
  EXPECT_STREQ(LoadStr(8310), "TURBO_ON$TURBO_OFF");
  EXPECT_STREQ(LoadStr(8448), "(GMT-12:00) International Date Line West");
  EXPECT_STREQ(LoadStr(8522), "(GMT+13:00) Nuku'alofa");
  EXPECT_STREQ(LoadStr(4208), "BMP\\Dialog_ok.bmp");
  EXPECT_STREQ(LoadStr(0), "");
  EXPECT_STREQ(LoadStr(4097), "");

  // Ids strictly increasing: every lookup can find its entry.
  unsigned previous = 0;
  for (std::size_t i = 0; i < StringTableSize(); ++i) {
    unsigned id;
    const char* text;
    ASSERT_TRUE(StringTableEntry(i, id, text));
    if (i > 0) {
      EXPECT_GT(id, previous);
    }
    EXPECT_STREQ(LoadStr(id), text);
    previous = id;
  }
  unsigned id;
  const char* text;
  EXPECT_FALSE(StringTableEntry(StringTableSize(), id, text));

  std::string seenText;
  unsigned seenType = 0;
  plat::HWND seenOwner = 0;
  auto old = plat::SetMessageBoxHandler([&](plat::HWND owner, const std::string& t, const std::string&, unsigned type) {
    seenOwner = owner;
    seenText = t;
    seenType = type;
    return plat::IDYES;
  });
  EXPECT_EQ(MessageBoxById(5, 4117, plat::MB_YESNO), plat::IDYES);
  plat::SetMessageBoxHandler(old);
  EXPECT_EQ(seenOwner, 5u);
  EXPECT_EQ(seenText, "Clear server log ?");
  EXPECT_EQ(seenType, plat::MB_YESNO);
}

TEST(Messages, Ids) {
  EXPECT_EQ(WM_POSTALARMAUDIO, 0x402u);
  EXPECT_EQ(WM_SHOWMESSAGE, 0x406u);
  EXPECT_EQ(WM_CLOSEMAIN, 0x40Cu);
  EXPECT_EQ(WM_CHECKSTATUSHOVER, 0x413u);
  EXPECT_EQ(WM_SHOWSTATUS, 0x41Bu);
  EXPECT_EQ(WM_SENSORSTATE, 0x420u);
}

}  // namespace

namespace {

// Publishing the record as g_lpApp makes it the record of every layer below and installs the
// engine's services; unpublishing leaves the layers with nothing connected.
TEST(AppRecord, PublishingReachesEveryLayer) {
  AppRecord rec;
  rec.ApplyStartValues();
  rec.strProductID.Set("K47R");
  rec.by_MultiChannel = 1;
  rec.dw_FeatureFlags = 0x4;
  rec.SetServerName("10.1.2.3");

  g_lpApp = &rec;
  EXPECT_EQ(g_lpSession, &rec);
  EXPECT_EQ(CoreRecord(), &rec);
  EXPECT_TRUE(IsModelK47R());
  EXPECT_EQ(IsMultiChannel(), 1);
  EXPECT_EQ(HasCapability(0x4), 1);
  EXPECT_EQ(DefaultRecorderHost().ServerName(), "10.1.2.3");
  // No mailbox exists: the session's post fails and nothing is written.
  EXPECT_FALSE(SessionPostKernelMessage(Get_Image_TimeOut_Message, 0, 0));
  EXPECT_EQ(rec.dw_KernelMessage.load(), 0);

  g_lpApp = nullptr;
  EXPECT_EQ(g_lpSession, nullptr);
  EXPECT_EQ(CoreRecord(), nullptr);
  EXPECT_FALSE(IsModelK47R());
  EXPECT_EQ(IsMultiChannel(), 0);
  EXPECT_EQ(DefaultRecorderHost().ServerName(), "");
}

}  // namespace
