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
#include "session/SectionWriters.h"
#include "session/SessionRecord.h"
#include "session/SysCfg.h"
#include "ui/Controls.h"
#include "ui/Lifetime.h"

// The snapshot rows and apply steps of the camera, time-server, timer, date and record-setting
// pages. A page the operator never opened contributes nothing.

namespace {


bool SendSection(std::uint8_t option, const std::uint8_t* data, std::size_t size) {
  AppRecord* app = g_lpApp;
  std::uint8_t copy[1024];
  {
    std::lock_guard<std::mutex> lock(app->mtx_SysCfg);
    std::memcpy(copy, data, size);
  }
  return SetSysCfgSection(option, copy, static_cast<std::uint32_t>(size), 0) != 0;
}

}  // namespace

void MySystemDialog::SaveOriginalRecordingSettings() {
  AppRecord* app = g_lpApp;
  if (!app) return;
  std::lock_guard<std::mutex> lock(app->mtx_SysCfg);
  const sect::SntpPageValues sntp = sect::ReadSntpPage(app->SysCfg_SNTP);
  m_strOrigSntpServer = sntp.server;
  m_nOrigZoneIndex = sntp.zoneIndex;
  m_byOrigTimeMode = sntp.timeMode;
  m_byOrigSntpAutomatic = sntp.serverMode;
  m_nOrigVideoType = app->VideoSettingBlock[CSetZududCmdPage::kOffType];
  m_nOrigQuality = app->VideoSettingBlock[CSetZududCmdPage::kOffQuality];
  m_nOrigVideoRate = sect::VideoSettingLayout::RateCode(app->VideoSettingBlock);
  m_wOrigFrameWidth = app->w_FrameWidth.load();
  m_wOrigFrameHeight = app->w_FrameHeight.load();
  if (IsModelFamilyK41(app->GetProductID())) {
    const sect::TimerSlots timer = sect::ReadTimerSlots(app->SysCfg_DVRREC);
    for (int i = 0; i < 7; ++i) {
      m_byOrigTimerDay[i] = timer.day[i];
      m_wOrigTimerStart[i] = timer.start[i];
      m_wOrigTimerEnd[i] = timer.end[i];
    }
  }
}

int MySystemDialog::ApplyCameraPage(CameraPage& page) {
  AppRecord* app = g_lpApp;
  if (!page.HasWindow() || !app) return 1;
  page.UpdateData(true);
  if (page.m_bLiveChanged && !SendSection(SYSCFG_DVRLIVE, app->SysCfg_DVRLIVE, kSysCfgSizeDVRLIVE)) {
    plat::MessageBox(Hwnd(), LoadStr(4012));
    return 0;
  }
  if (page.m_bRecordChanged && !SendSection(SYSCFG_DVRREC, app->SysCfg_DVRREC, kSysCfgSizeDVRREC)) {
    plat::MessageBox(Hwnd(), LoadStr(4012));
    return 0;
  }
  return 1;
}

int MySystemDialog::ApplySntpPage(CSNTPPage& page) {
  AppRecord* app = g_lpApp;
  if (!page.HasWindow() || !app) return 1;
  page.UpdateData(true);
  const sect::SntpPageValues now{page.m_byTimeMode, page.m_nZoneIndex, page.m_byServerMode, page.m_strSntpServer};
  const sect::SntpPageValues opened{m_byOrigTimeMode, m_nOrigZoneIndex, m_byOrigSntpAutomatic, m_strOrigSntpServer};
  bool changed;
  {
    std::lock_guard<std::mutex> lock(app->mtx_SysCfg);
    changed = sect::WriteSntpPage(app->SysCfg_SNTP, now, opened);
  }
  if (changed && !SendSection(SYSCFG_SNTP, app->SysCfg_SNTP, kSysCfgSizeSNTP)) {
    plat::MessageBox(Hwnd(), LoadStr(4012));
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
  const sect::SntpPageValues now{page.m_byTimeMode, page.m_nZoneIndex, page.m_byServerMode, page.m_strSntpServer};
  bool changed;
  {
    std::lock_guard<std::mutex> lock(app->mtx_SysCfg);
    changed = sect::WriteSntpSync(app->SysCfg_SNTP, now);
  }
  if (changed) SendSection(SYSCFG_SNTP, app->SysCfg_SNTP, kSysCfgSizeSNTP);
  return 0;
}

int MySystemDialog::ApplyTimerRecordPage(TimerRecordPage& page) {
  AppRecord* app = g_lpApp;
  if (!page.HasWindow() || !page.m_bFilled || !app) return 1;
  page.CollectSlots();
  sect::TimerSlots now, opened;
  for (int i = 0; i < 7; ++i) {
    now.day[i] = page.m_byDay[i];
    now.start[i] = page.m_wStartTime[i];
    now.end[i] = page.m_wEndTime[i];
    opened.day[i] = m_byOrigTimerDay[i];
    opened.start[i] = m_wOrigTimerStart[i];
    opened.end[i] = m_wOrigTimerEnd[i];
  }
  if (now == opened) return 1;
  {
    std::lock_guard<std::mutex> lock(app->mtx_SysCfg);
    sect::WriteTimerSlots(app->SysCfg_DVRREC, now);
  }
  if (!SendSection(SYSCFG_DVRREC, app->SysCfg_DVRREC, kSysCfgSizeDVRREC)) {
    plat::MessageBox(Hwnd(), LoadStr(4012));
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
    plat::MessageBox(Hwnd(), LoadStr(4012));
    return 0;
  }
  return 1;
}

int MySystemDialog::ApplyDvrRecordPage(DVRRecordPage& page) {
  if (!page.HasWindow() || !page.m_bFilled) return 1;
  if (!WriteRecordSetting(page.m_read, page.Chosen())) {
    plat::MessageBox(Hwnd(), LoadStr(4012));
    return 0;
  }
  return 1;
}

int MySystemDialog::ApplyVideoSettingPage(CSetZududCmdPage& page) {
  AppRecord* app = g_lpApp;
  if (!page.HasWindow() || !app) return 0;
  page.UpdateData(true);
  const bool pal = app->by_VideoMode.load() == 1;
  const sect::VideoSettingValues now{page.m_nResolution, page.m_nVideoType, page.m_nQuality, page.m_nBitRate};
  const sect::VideoSettingOpened opened{m_wOrigFrameWidth, m_wOrigFrameHeight, m_nOrigVideoType, m_nOrigQuality,
                                        m_nOrigVideoRate};
  sect::VideoSettingWrite written;
  {
    std::lock_guard<std::mutex> lock(app->mtx_SysCfg);
    written = sect::WriteVideoSetting(app->VideoSettingBlock, pal, now, opened);
  }
  if (!written.sizeChanged && !written.typeChanged) return 0;
  // The picture thread restarts with the new settings.
  plat::SetEvent(app->h_NotifyGetJPEGImageThreadResetEvent.load());
  plat::WaitForSingleObject(app->h_FeedBackForNotifyResetEvent.load(), 30);
  return 1;
}
