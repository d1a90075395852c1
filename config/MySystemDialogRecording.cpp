#include <QDateTime>
#include <QRadioButton>
#include <cstring>

#include "config/MySystemDialog.h"
#include "config/PageModel.h"
#include "core/Model.h"
#include "core/Strings.h"
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

// Sends a copy of one of the model's sections, taken under the configuration lock.
bool SendModelSection(SysCfgOption option) {
  pagemodel::IModel* model = pagemodel::Current();
  if (!model) return false;
  const std::vector<std::uint8_t> copy = model->ReadSection(option);
  return SetSysCfgSection(option, copy.data(), static_cast<std::uint32_t>(copy.size()), 0) != 0;
}

}  // namespace

void MySystemDialog::SaveOriginalRecordingSettings() {
  pagemodel::IModel* model = pagemodel::Current();
  if (!model) return;
  model->WithSections([&](const pagemodel::Sections& sections) {
    const sect::SntpPageValues sntp = sect::ReadSntpPage(sections.Data(SYSCFG_SNTP));
    m_strOrigSntpServer = sntp.server;
    m_nOrigZoneIndex = sntp.zoneIndex;
    m_byOrigTimeMode = sntp.timeMode;
    m_byOrigSntpAutomatic = sntp.serverMode;
    m_nOrigVideoType = sections.videoSetting.data()[CSetZududCmdPage::kOffType];
    m_nOrigQuality = sections.videoSetting.data()[CSetZududCmdPage::kOffQuality];
    m_nOrigVideoRate = sect::VideoSettingLayout::RateCode(sections.videoSetting.data());
    m_wOrigFrameWidth = model->FrameWidth();
    m_wOrigFrameHeight = model->FrameHeight();
    if (IsModelFamilyK41(model->Device().productId)) {
      const sect::TimerSlots timer = sect::ReadTimerSlots(sections.Data(SYSCFG_DVRREC));
      for (int i = 0; i < 7; ++i) {
        m_byOrigTimerDay[i] = timer.day[i];
        m_wOrigTimerStart[i] = timer.start[i];
        m_wOrigTimerEnd[i] = timer.end[i];
      }
    }
  });
}

int MySystemDialog::ApplyCameraPage(CameraPage& page) {
  pagemodel::IModel* model = pagemodel::Current();
  if (!page.HasWindow() || !model) return 1;
  page.UpdateData(true);
  if (page.m_bLiveChanged && !SendModelSection(SYSCFG_DVRLIVE)) {
    plat::MessageBox(Hwnd(), LoadStr(IDS_CHANGE_SYSTEM_CONFIG_FAILED));
    return 0;
  }
  if (page.m_bRecordChanged && !SendModelSection(SYSCFG_DVRREC)) {
    plat::MessageBox(Hwnd(), LoadStr(IDS_CHANGE_SYSTEM_CONFIG_FAILED));
    return 0;
  }
  return 1;
}

int MySystemDialog::ApplySntpPage(CSNTPPage& page) {
  pagemodel::IModel* model = pagemodel::Current();
  if (!page.HasWindow() || !model) return 1;
  page.UpdateData(true);
  const sect::SntpPageValues now{page.m_byTimeMode, page.m_nZoneIndex, page.m_byServerMode, page.m_strSntpServer};
  const sect::SntpPageValues opened{m_byOrigTimeMode, m_nOrigZoneIndex, m_byOrigSntpAutomatic, m_strOrigSntpServer};
  bool changed;
  model->WithSections([&](const pagemodel::Sections& sections) {
    changed = sect::WriteSntpPage(sections.Data(SYSCFG_SNTP), now, opened);
  });
  if (changed && !SendModelSection(SYSCFG_SNTP)) {
    plat::MessageBox(Hwnd(), LoadStr(IDS_CHANGE_SYSTEM_CONFIG_FAILED));
    return 0;
  }
  return 1;
}

plat::LPARAM MySystemDialog::OnSyncTimeDone() {
  pagemodel::IModel* model = pagemodel::Current();
  CSNTPPage& page = m_SntpPage;
  // A sheet let go meanwhile (disconnect, the main window's close) sends nothing more.
  if (!page.HasWindow() || !model || ui::IsWaitingForDeletion(this)) return 0;
  m_byOrigTimeMode = page.m_byTimeMode;
  m_nOrigZoneIndex = page.m_nZoneIndex;
  m_byOrigSntpAutomatic = page.m_byServerMode;
  m_strOrigSntpServer = page.m_strSntpServer;
  const sect::SntpPageValues now{page.m_byTimeMode, page.m_nZoneIndex, page.m_byServerMode, page.m_strSntpServer};
  bool changed;
  model->WithSections([&](const pagemodel::Sections& sections) {
    changed = sect::WriteSntpSync(sections.Data(SYSCFG_SNTP), now);
  });
  if (changed) SendModelSection(SYSCFG_SNTP);
  return 0;
}

int MySystemDialog::ApplyTimerRecordPage(TimerRecordPage& page) {
  pagemodel::IModel* model = pagemodel::Current();
  if (!page.HasWindow() || !page.m_bFilled || !model) return 1;
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
  model->WithSections([&](const pagemodel::Sections& sections) {
    sect::WriteTimerSlots(sections.Data(SYSCFG_DVRREC), now);
  });
  if (!SendModelSection(SYSCFG_DVRREC)) {
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
  pagemodel::IModel* model = pagemodel::Current();
  if (!page.HasWindow() || !model) return 0;
  page.UpdateData(true);
  const bool pal = model->VideoMode() == 1;
  const sect::VideoSettingValues now{page.m_nResolution, page.m_nVideoType, page.m_nQuality, page.m_nBitRate};
  const sect::VideoSettingOpened opened{m_wOrigFrameWidth, m_wOrigFrameHeight, m_nOrigVideoType, m_nOrigQuality,
                                        m_nOrigVideoRate};
  sect::VideoSettingWrite written;
  model->WithSections([&](const pagemodel::Sections& sections) {
    written = sect::WriteVideoSetting(sections.videoSetting.data(), pal, now, opened);
  });
  if (!written.sizeChanged && !written.typeChanged) return 0;
  // The picture thread restarts with the new settings.
  model->ResetPictureThread();
  return 1;
}
