#include <QDateTime>
#include <QRadioButton>
#include <cstring>
#include <mutex>

#include "config/MySystemDialog.h"
#include "core/Model.h"
#include "core/Strings.h"
#include "engine/AppRecord.h"
#include "platform/kernel.h"
#include "platform/messages.h"
#include "session/DvrSettings.h"
#include "session/Sections.h"
#include "session/SessionRecord.h"
#include "session/SysCfg.h"
#include "ui/Controls.h"
#include "ui/Lifetime.h"

// The snapshot rows and apply steps of the camera, time-server, timer, date and record-setting
// pages. A page the operator never opened contributes nothing.

namespace {

using sect::DvrRecSection;
using sect::SntpSection;

std::uint16_t Word(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

void PutWord(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v & 0xFF);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

bool SendSection(std::uint8_t option, const std::uint8_t* data, std::size_t size) {
  AppRecord* app = g_lpApp;
  std::uint8_t copy[1024];
  {
    std::lock_guard<std::mutex> lock(app->mtx_SysCfg);
    std::memcpy(copy, data, size);
  }
  return SetSysCfgSection(option, copy, static_cast<std::uint32_t>(size), 0) != 0;
}

// The SNTP fields from the time-server page's choice. Returns whether a byte changed. A zone
// outside the table leaves the zone bytes as they are.
bool StoreSntpChoice(std::uint8_t* sntp, std::uint8_t timeMode, int zone, bool serverChanged, std::uint8_t serverMode,
                     const std::string& server) {
  std::uint8_t before[SntpSection::kSize];
  std::memcpy(before, sntp, SntpSection::kSize);
  if (serverChanged) {
    std::memset(sntp + SntpSection::kOffServer, 0, SntpSection::kServerWidth);
    if (serverMode == 0) sect::WriteText(sntp + SntpSection::kOffServer, SntpSection::kServerWidth, server, CSNTPPage::kServerLimit);
  }
  sect::TimeZone tz;
  if (sect::TimeZoneEntry(zone, tz) && sntp[SntpSection::kOffZoneIndex] != zone) {
    sntp[SntpSection::kOffZoneIndex] = static_cast<std::uint8_t>(zone);
    sntp[SntpSection::kOffZoneHour] = static_cast<std::uint8_t>(static_cast<std::int8_t>(tz.hours));
    sntp[SntpSection::kOffZoneMinute] = static_cast<std::uint8_t>(static_cast<std::int8_t>(tz.minutes));
  }
  if (sntp[SntpSection::kOffTimeMode] != timeMode) sntp[SntpSection::kOffTimeMode] = timeMode;
  return std::memcmp(before, sntp, SntpSection::kSize) != 0;
}

}  // namespace

void MySystemDialog::SaveOriginalRecordingSettings() {
  AppRecord* app = g_lpApp;
  if (!app) return;
  std::lock_guard<std::mutex> lock(app->mtx_SysCfg);
  // On K40R and K47R bytes 8 to 35 of SNTP are the time server's name only.
  m_strOrigSntpServer = sect::ReadText(app->SysCfg_SNTP + SntpSection::kOffServer, SntpSection::kServerWidth);
  m_nOrigZoneIndex = app->SysCfg_SNTP[SntpSection::kOffZoneIndex];
  m_byOrigTimeMode = app->SysCfg_SNTP[SntpSection::kOffTimeMode];
  m_byOrigSntpAutomatic = m_strOrigSntpServer.empty() ? 1 : 0;
  m_nOrigVideoType = app->VideoSettingBlock[CSetZududCmdPage::kOffType];
  m_nOrigQuality = app->VideoSettingBlock[CSetZududCmdPage::kOffQuality];
  m_nOrigVideoRate = Word(app->VideoSettingBlock + CSetZududCmdPage::kOffRate);
  m_wOrigFrameWidth = app->w_FrameWidth.load();
  m_wOrigFrameHeight = app->w_FrameHeight.load();
  if (IsModelFamilyK41(app->GetProductID())) {
    for (int i = 0; i < 7; ++i) {
      m_byOrigTimerDay[i] = app->SysCfg_DVRREC[DvrRecSection::kOffTimerDay + i];
      m_wOrigTimerStart[i] = Word(app->SysCfg_DVRREC + DvrRecSection::kOffTimerStart + 2 * i);
      m_wOrigTimerEnd[i] = Word(app->SysCfg_DVRREC + DvrRecSection::kOffTimerEnd + 2 * i);
    }
  }
}

int MySystemDialog::ApplyCameraPage(CameraPage& page) {
  AppRecord* app = g_lpApp;
  if (!page.HasWindow() || !app) return 1;
  page.UpdateData(true);
  if (page.m_bLiveChanged && !SendSection(SYSCFG_DVRLIVE, app->SysCfg_DVRLIVE, kSysCfgSizeDVRLIVE)) {
    plat::MessageBox(Hwnd(), LoadStr(IDS_CHANGE_SYSTEM_CONFIG_FAILED));
    return 0;
  }
  if (page.m_bRecordChanged && !SendSection(SYSCFG_DVRREC, app->SysCfg_DVRREC, kSysCfgSizeDVRREC)) {
    plat::MessageBox(Hwnd(), LoadStr(IDS_CHANGE_SYSTEM_CONFIG_FAILED));
    return 0;
  }
  return 1;
}

int MySystemDialog::ApplySntpPage(CSNTPPage& page) {
  AppRecord* app = g_lpApp;
  if (!page.HasWindow() || !app) return 1;
  page.UpdateData(true);
  const bool serverModeChanged = page.m_byServerMode != m_byOrigSntpAutomatic;
  const bool serverChanged = serverModeChanged || page.m_strSntpServer != m_strOrigSntpServer;
  bool changed;
  {
    std::lock_guard<std::mutex> lock(app->mtx_SysCfg);
    std::uint8_t* sntp = app->SysCfg_SNTP;
    // Only what the operator changed against the snapshot is written.
    const int zone = page.m_nZoneIndex != m_nOrigZoneIndex ? page.m_nZoneIndex : -1;
    const std::uint8_t mode = page.m_byTimeMode != m_byOrigTimeMode ? page.m_byTimeMode : sntp[SntpSection::kOffTimeMode];
    changed = StoreSntpChoice(sntp, mode, zone, serverChanged, page.m_byServerMode, page.m_strSntpServer);
  }
  if (changed && !SendSection(SYSCFG_SNTP, app->SysCfg_SNTP, kSysCfgSizeSNTP)) {
    plat::MessageBox(Hwnd(), LoadStr(IDS_CHANGE_SYSTEM_CONFIG_FAILED));
    return 0;
  }
  return 1;
}

plat::LPARAM MySystemDialog::OnSyncTimeDone() {
  AppRecord* app = g_lpApp;
  CSNTPPage& page = m_SntpPage;
  // A sheet let go meanwhile (disconnect, the main window's close) sends nothing more.
  if (!page.HasWindow() || !app || ui::IsWaitingForDeletion(this)) return 0;
  m_byOrigTimeMode = page.m_byTimeMode;
  m_nOrigZoneIndex = page.m_nZoneIndex;
  m_byOrigSntpAutomatic = page.m_byServerMode;
  m_strOrigSntpServer = page.m_strSntpServer;
  bool changed;
  {
    std::lock_guard<std::mutex> lock(app->mtx_SysCfg);
    std::uint8_t* sntp = app->SysCfg_SNTP;
    const std::string stored = sect::ReadText(sntp + SntpSection::kOffServer, SntpSection::kServerWidth);
    const bool serverChanged = page.m_byServerMode == 1 ? !stored.empty() : stored != page.m_strSntpServer;
    changed = StoreSntpChoice(sntp, page.m_byTimeMode, page.m_nZoneIndex, serverChanged, page.m_byServerMode,
                              page.m_strSntpServer);
  }
  if (changed) SendSection(SYSCFG_SNTP, app->SysCfg_SNTP, kSysCfgSizeSNTP);
  return 0;
}

int MySystemDialog::ApplyTimerRecordPage(TimerRecordPage& page) {
  AppRecord* app = g_lpApp;
  if (!page.HasWindow() || !page.m_bFilled || !app) return 1;
  page.CollectSlots();
  bool changed = false;
  for (int i = 0; i < 7 && !changed; ++i) {
    changed = page.m_byDay[i] != m_byOrigTimerDay[i] || page.m_wStartTime[i] != m_wOrigTimerStart[i] ||
              page.m_wEndTime[i] != m_wOrigTimerEnd[i];
  }
  if (!changed) return 1;
  {
    std::lock_guard<std::mutex> lock(app->mtx_SysCfg);
    for (int i = 0; i < 7; ++i) {
      app->SysCfg_DVRREC[DvrRecSection::kOffTimerDay + i] = page.m_byDay[i];
      PutWord(app->SysCfg_DVRREC + DvrRecSection::kOffTimerStart + 2 * i, page.m_wStartTime[i]);
      PutWord(app->SysCfg_DVRREC + DvrRecSection::kOffTimerEnd + 2 * i, page.m_wEndTime[i]);
    }
  }
  if (!SendSection(SYSCFG_DVRREC, app->SysCfg_DVRREC, kSysCfgSizeDVRREC)) {
    plat::MessageBox(Hwnd(), LoadStr(IDS_CHANGE_SYSTEM_CONFIG_FAILED));
    return 0;
  }
  return 1;
}

int MySystemDialog::ApplyDvrDatePage(DVRDatePage& page) {
  if (!page.HasWindow() || !page.m_bFilled) return 1;
  page.UpdateData(true);
  DvrDateValues& r = page.m_read;
  // Clock: only a picker the operator moved counts.
  const QDateTime date = page.Picker(IDC_DATE_DATE)->GetTime();
  const QDateTime time = page.Picker(IDC_DATE_TIME)->GetTime();
  int chDate = 0;
  if (date != page.m_shownDate || time != page.m_shownTime) {
    const QDate d = date.date();
    const QTime t = time.time();
    if (d.year() != r.year || d.month() != r.month || d.day() != r.day || t.hour() != r.hour ||
        t.minute() != r.minute || t.second() != r.second) {
      r.year = static_cast<std::uint16_t>(d.year());
      r.month = static_cast<std::uint16_t>(d.month());
      r.day = static_cast<std::uint16_t>(d.day());
      r.hour = static_cast<std::uint16_t>(t.hour());
      r.minute = static_cast<std::uint16_t>(t.minute());
      r.second = static_cast<std::uint16_t>(t.second());
      chDate = 1;
    }
    page.m_shownDate = date;
    page.m_shownTime = time;
  }
  const int chFormat = page.m_nFormat >= 0 && page.m_nFormat != r.format ? 1 : 0;
  const int chDaylight = page.m_byDaylightSwitch != r.daylightSaving ? 1 : 0;
  int chRule = 0;
  // A list without a choice keeps the value read.
  auto list = [&chRule](int chosen, std::uint8_t read) {
    if (chosen < 0) return static_cast<int>(read);
    if (chosen != read) chRule = 1;
    return chosen;
  };
  const int startWeek = list(page.m_nStartWeekIndex, r.startWeekIndex);
  const int endWeek = list(page.m_nEndWeekIndex, r.endWeekIndex);
  const int endDay = list(page.m_nEndDayOfWeek, r.endDayOfWeek);
  const int startDay = list(page.m_nStartDayOfWeek, r.startDayOfWeek);
  const int endMonth = list(page.m_nEndMonth, r.endMonth);
  const int startMonth = list(page.m_nStartMonth, r.startMonth);
  auto picker = [&chRule, &page](int id, QDateTime& shown, std::uint8_t& hour, std::uint8_t& minute) {
    const QDateTime now = page.Picker(id)->GetTime();
    if (now == shown) return;
    shown = now;
    const QTime t = now.time();
    if (t.hour() != hour || t.minute() != minute) {
      hour = static_cast<std::uint8_t>(t.hour());
      minute = static_cast<std::uint8_t>(t.minute());
      chRule = 1;
    }
  };
  picker(IDC_DATE_START_TIME, page.m_shownStart, r.startHour, r.startMinute);
  picker(IDC_DATE_END_TIME, page.m_shownEnd, r.endHour, r.endMinute);
  picker(IDC_DATE_ADJUST, page.m_shownAdjust, r.adjustHour, r.adjustMinute);
  if (!chDate && !chFormat && !chDaylight && !chRule) return 1;

  DvrDateWrite w;
  w.values = r;
  w.dayOfWeek = date.date().dayOfWeek() % 7;
  w.format = page.m_nFormat >= 0 ? page.m_nFormat : r.format;
  w.daylightSwitch = page.m_byDaylightSwitch;
  w.chDate = chDate;
  w.chFormat = chFormat;
  w.chDaylight = chDaylight;
  w.chDaylightTime = chRule;
  w.startWeekIndex = startWeek;
  w.startDayOfWeek = startDay;
  w.startMonth = startMonth;
  w.endWeekIndex = endWeek;
  w.endDayOfWeek = endDay;
  w.endMonth = endMonth;
  if (!WriteDvrDate(w)) {
    plat::MessageBox(Hwnd(), LoadStr(IDS_CHANGE_SYSTEM_CONFIG_FAILED));
    return 0;
  }
  return 1;
}

int MySystemDialog::ApplyDvrRecordPage(DVRRecordPage& page) {
  if (!page.HasWindow() || !page.m_bFilled) return 1;
  if (!WriteRecordSetting(page.m_read, page.Chosen())) {
    plat::MessageBox(Hwnd(), LoadStr(IDS_CHANGE_SYSTEM_CONFIG_FAILED));
    return 0;
  }
  return 1;
}

int MySystemDialog::ApplyVideoSettingPage(CSetZududCmdPage& page) {
  AppRecord* app = g_lpApp;
  if (!page.HasWindow() || !app) return 0;
  page.UpdateData(true);
  const bool pal = app->by_VideoMode.load() == 1;
  int width = 0, height = 0;
  switch (page.m_nResolution) {
    case 0: width = 704, height = pal ? 576 : 480; break;
    case 1: width = 352, height = pal ? 288 : 240; break;
    case 2: width = 176, height = pal ? 144 : 112; break;
    default: break;
  }
  bool sizeChanged = false, typeChanged = false;
  {
    std::lock_guard<std::mutex> lock(app->mtx_SysCfg);
    std::uint8_t* b = app->VideoSettingBlock;
    if (width != 0 && width != m_wOrigFrameWidth) {
      struct Code {
        int width;
        std::uint8_t resolution, widthCode;
      };
      static const Code kWidths[] = {{176, 4, 11}, {320, 3, 20}, {352, 2, 22}, {640, 1, 40}, {704, 0, 44}, {720, 0, 45}};
      Code c{320, 3, 20};
      for (const Code& k : kWidths) {
        if (k.width == width) c = k;
      }
      b[CSetZududCmdPage::kOffResolution] = c.resolution;
      b[CSetZududCmdPage::kOffWidthCode] = c.widthCode;
      b[CSetZududCmdPage::kOff176Wide] = width == 176 ? 1 : 0;
      sizeChanged = true;
    }
    if (height != 0 && height != m_wOrigFrameHeight) {
      struct Code {
        int height;
        std::uint8_t field, heightCode;
      };
      static const Code kHeights[] = {{112, 1, 7}, {144, 1, 9}, {240, 1, 15}, {288, 1, 18}, {480, 0, 30}, {576, 0, 36}};
      Code c{240, 1, 15};
      for (const Code& k : kHeights) {
        if (k.height == height) c = k;
      }
      b[CSetZududCmdPage::kOffField] = c.field;
      b[CSetZududCmdPage::kOffHeightCode] = c.heightCode;
      sizeChanged = true;
    }
    // The snapshot of the rate is the block's rate code as the sheet opened.
    if (page.m_nBitRate >= 0 && page.m_nBitRate < 7 &&
        page.m_nBitRate != CSetZududCmdPage::BitRateChoice(m_nOrigVideoRate)) {
      PutWord(b + CSetZududCmdPage::kOffRate, CSetZududCmdPage::kRateCodes[page.m_nBitRate]);
    }
    if (page.m_nVideoType == 0 || page.m_nVideoType == 1) {
      const int type = page.m_nVideoType == 0 ? 0 : 4;
      if (type != m_nOrigVideoType) {
        b[CSetZududCmdPage::kOffType] = static_cast<std::uint8_t>(type);
        typeChanged = true;
      }
    }
    if (page.m_nQuality >= 0 && page.m_nQuality < 3 &&
        page.m_nQuality != CSetZududCmdPage::QualityChoice(m_nOrigQuality)) {
      b[CSetZududCmdPage::kOffQuality] = CSetZududCmdPage::kQualityValues[page.m_nQuality];
    }
  }
  if (!sizeChanged && !typeChanged) return 0;
  // The picture thread restarts with the new settings.
  plat::SetEvent(app->h_NotifyGetJPEGImageThreadResetEvent.load());
  plat::WaitForSingleObject(app->h_FeedBackForNotifyResetEvent.load(), 30);
  return 1;
}
