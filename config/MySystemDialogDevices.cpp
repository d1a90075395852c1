#include <cstring>
#include <mutex>

#include "config/MySystemDialog.h"
#include "config/PageModel.h"
#include "core/Model.h"
#include "core/Strings.h"
#include "core/UiInterfaces.h"
#include "engine/AppRecord.h"
#include "platform/messages.h"
#include "session/SectionWriters.h"
#include "session/SysCfg.h"

// The snapshot rows and apply steps of the alarm, device, detection, peripheral and general
// pages. A page the operator never opened contributes nothing.

using sect::AlarmSection;
using sect::PeriSection;
using sect::Rs485Section;
using sect::SystemSection;

namespace {

int Send(SysCfgOption option, const std::uint8_t* bytes, std::size_t size) {
  return SetSysCfgSection(option, bytes, static_cast<std::uint32_t>(size), 0);
}

}  // namespace

void MySystemDialog::SaveOriginalDeviceSettings() {
  AppRecord* app = g_lpApp;
  if (!app) return;
  const sect::Device d = pagemodel::ConnectedDevice();
  std::lock_guard<std::mutex> lock(app->mtx_SysCfg);
  AlarmSection alarm;
  AlarmSection::Decode(app->SysCfg_ALARM, AlarmSection::kSize, d, alarm);
  m_nOrigAlarmDuration = AlarmSection::DurationChoice(d, alarm.duration);
  m_byOrigPostNumber = static_cast<std::uint8_t>(alarm.postNumber ? alarm.postNumber - 1 : 0);
  m_byOrigAlarmImageSize = alarm.imageSize;
  m_byOrigAlarmMethod = alarm.alarmMethod;
  m_byOrigAlarmVideoSource = app->SysCfg_ALARM[AlarmSection::kOffVideoSource];

  PeriSection peri;
  PeriSection::Decode(app->SysCfg_PERI, PeriSection::kSize, peri);
  m_nOrigPeriBaud1 = sect::BaudChoice(peri.baud[0]);
  m_nOrigPeriBaud2 = sect::BaudChoice(peri.baud[1]);
  m_nOrigPeriModel1 = ValueToIndex11(peri.model[0]);
  m_nOrigPeriModel2 = ValueToIndex11(peri.model[1]);
  m_nOrigPeriId1 = peri.id[0];
  m_nOrigPeriId2 = peri.id[1];

  // The title as the General page shows it (cut to 8), so an unchanged title is not sent.
  SystemSection sys;
  SystemSection::Decode(app->SysCfg_SYSTEM, SystemSection::kSize, sys);
  m_strOrigDeviceName = sys.deviceName.substr(0, SystemSection::kDeviceNameLimit);
  m_strOrigChannelName1.clear();
  m_strOrigChannelName2.clear();
  if (d.K40RChannelNames()) {
    Rs485Section rs;
    Rs485Section::Decode(app->SysCfg_RS485, Rs485Section::kSize, d, rs);
    m_strOrigChannelName1 = rs.channelName1.substr(0, 3);
    m_strOrigChannelName2 = rs.channelName2.substr(0, 3);
  }
}

int MySystemDialog::ApplyAlarmPage(AlarmPropertyPage& page, CAlarmTriggerPage&) {
  AppRecord* app = g_lpApp;
  if (!app || !page.HasWindow()) return 1;
  page.UpdateData(true);
  const sect::Device d = pagemodel::ConnectedDevice();
  const sect::AlarmPageValues now{page.m_byAlarmMethod, page.m_byAlarmImageSize, page.m_nPostNumber,
                                  page.m_byAlarmVideoSource, page.m_nAlarmDuration};
  const sect::AlarmPageValues opened{m_byOrigAlarmMethod, m_byOrigAlarmImageSize, m_byOrigPostNumber,
                                     m_byOrigAlarmVideoSource, m_nOrigAlarmDuration};
  std::uint8_t out[AlarmSection::kSize];
  bool changed = false;
  {
    std::lock_guard<std::mutex> lock(app->mtx_SysCfg);
    changed = sect::WriteAlarmPage(app->SysCfg_ALARM, d, now, opened);
    if (changed) std::memcpy(out, app->SysCfg_ALARM, sizeof out);
  }
  if (!changed) return 1;
  if (!Send(SYSCFG_ALARM, out, sizeof out)) {
    plat::MessageBox(Hwnd(), LoadStr(4012));
    return 0;
  }
  return 1;
}

int MySystemDialog::ApplyDevicePage(DevicePage& page) {
  m_fDeviceTableChanged = 0;
  AppRecord* app = g_lpApp;
  if (!app || !page.HasWindow()) return 1;
  page.UpdateData(true);
  if (!page.m_bModified) return 1;
  const sect::Device d = pagemodel::ConnectedDevice();
  sect::Rs485DeviceValues values;
  for (std::size_t c = 0; c < Rs485Section::kChannels; ++c) {
    values.kind[c] = page.m_byDeviceKind[c];
    values.deviceId[c] = page.m_byDeviceId[c];
    values.protocol[c] = page.m_byProtocol[c];
    values.baud[c] = page.m_dwBaud[c];
  }
  std::uint8_t out[Rs485Section::kSize];
  {
    std::lock_guard<std::mutex> lock(app->mtx_SysCfg);
    sect::WriteRs485Devices(app->SysCfg_RS485, d, values);
    std::memcpy(out, app->SysCfg_RS485, sizeof out);
  }
  m_fDeviceTableChanged = 1;
  if (!Send(SYSCFG_RS485, out, sizeof out)) {
    plat::MessageBox(Hwnd(), LoadStr(4012));
    return 0;
  }
  return 1;
}

int MySystemDialog::ApplyDetectionPage(DetectionPage& page) {
  AppRecord* app = g_lpApp;
  if (!app || !page.HasWindow()) return 1;
  page.UpdateData(true);
  std::uint8_t live[sect::DvrLiveSection::kSize];
  std::uint8_t alarm[AlarmSection::kSize];
  {
    std::lock_guard<std::mutex> lock(app->mtx_SysCfg);
    std::memcpy(live, app->SysCfg_DVRLIVE, sizeof live);
    std::memcpy(alarm, app->SysCfg_ALARM, sizeof alarm);
  }
  if (page.m_bLiveChanged && !Send(SYSCFG_DVRLIVE, live, sizeof live)) {
    plat::MessageBox(Hwnd(), LoadStr(4012));
    return 0;
  }
  if (page.m_bAlarmChanged && !Send(SYSCFG_ALARM, alarm, sizeof alarm)) {
    plat::MessageBox(Hwnd(), LoadStr(4012));
    return 0;
  }
  return 1;
}

int MySystemDialog::ApplyPeripheralPage(CPeripheralPage& page) {
  m_fPeripheralChanged = 0;
  AppRecord* app = g_lpApp;
  if (!app || !page.HasWindow()) return 1;
  // An id outside 0..255 was refused: nothing of this page goes out.
  if (!page.UpdateData(true)) return 0;
  const sect::PeriPageValues now{{{page.m_nId1, page.m_nModel1, page.m_nBaud1}, {page.m_nId2, page.m_nModel2, page.m_nBaud2}}};
  const sect::PeriPageValues opened{
      {{m_nOrigPeriId1, m_nOrigPeriModel1, m_nOrigPeriBaud1}, {m_nOrigPeriId2, m_nOrigPeriModel2, m_nOrigPeriBaud2}}};
  std::uint8_t out[PeriSection::kSize];
  sect::PeriPageWrite written;
  {
    std::lock_guard<std::mutex> lock(app->mtx_SysCfg);
    written = sect::WritePeriPage(app->SysCfg_PERI, now, opened);
    if (written.changed) std::memcpy(out, app->SysCfg_PERI, sizeof out);
  }
  if (written.tableChanged) m_fPeripheralChanged = 1;
  if (!written.changed) return 1;
  if (!Send(SYSCFG_PERI, out, sizeof out)) {
    plat::MessageBox(Hwnd(), LoadStr(4012));
    return 0;
  }
  return 1;
}

int MySystemDialog::ApplyGeneralPage(ToolBoxPropertyPage& page) {
  AppRecord* app = g_lpApp;
  if (!app || !page.HasWindow()) return 1;
  const sect::Device d = pagemodel::ConnectedDevice();
  const sect::GeneralPageValues now{page.m_strTitle, page.m_strChannelName1, page.m_strChannelName2};
  const sect::GeneralPageValues opened{m_strOrigDeviceName, m_strOrigChannelName1, m_strOrigChannelName2};
  std::uint8_t sys[SystemSection::kSize];
  std::uint8_t rs[Rs485Section::kSize];
  bool sysChanged = false, rsChanged = false;
  {
    std::lock_guard<std::mutex> lock(app->mtx_SysCfg);
    const sect::GeneralPageWrite written = sect::WriteGeneralPage(app->SysCfg_SYSTEM, app->SysCfg_RS485, d, now, opened,
                                                                  IsSysCfgSectionFetched(SYSCFG_SYSTEM));
    sysChanged = written.system;
    rsChanged = written.rs485;
    if (sysChanged) std::memcpy(sys, app->SysCfg_SYSTEM, sizeof sys);
    if (rsChanged) std::memcpy(rs, app->SysCfg_RS485, sizeof rs);
  }
  if (sysChanged) app->strDeviceName.Set(page.m_strTitle);
  bool failed = false;
  if (sysChanged && !Send(SYSCFG_SYSTEM, sys, sizeof sys)) failed = true;
  if (rsChanged && !Send(SYSCFG_RS485, rs, sizeof rs)) failed = true;
  // One message for the page, whichever send failed.
  if (failed) {
    plat::MessageBox(Hwnd(), LoadStr(4012));
    return 0;
  }
  return 1;
}

void MySystemDialog::RebuildControlTableFromPeri() {
  AppRecord* app = g_lpApp;
  if (!app) return;
  PeriSection peri;
  {
    std::lock_guard<std::mutex> lock(app->mtx_SysCfg);
    PeriSection::Decode(app->SysCfg_PERI, PeriSection::kSize, peri);
  }
  CControlDeviceTable& table = app->C_ControlD;
  table.Reset();
  for (std::size_t i = 0; i < PeriSection::kDevices; ++i) {
    table.Add(static_cast<int>(peri.baud[i]), peri.id[i], peri.model[i], CDF_VIDEO);
  }
  table.MakeCurrent(CDF_VIDEO, app->CSettingINI.m_bySelectedChannel.load() == 1 ? 0 : 1);
  if (IMainWindow* main = app->lp_MainDialog.load()) main->ChangeItemPositionForDeviceModified();
}

void MySystemDialog::RebuildControlTableFromRs485() {
  AppRecord* app = g_lpApp;
  if (!app) return;
  const sect::Device d = pagemodel::ConnectedDevice();
  Rs485Section rs;
  {
    std::lock_guard<std::mutex> lock(app->mtx_SysCfg);
    Rs485Section::Decode(app->SysCfg_RS485, Rs485Section::kSize, d, rs);
  }
  CControlDeviceTable& table = app->C_ControlD;
  IMainWindow* main = app->lp_MainDialog.load();
  const bool wasVideo = table.IsCurrentVideo() != 0;
  const int ordinal = table.GetCurrentOrdinal();
  if (IsModelFamilyK41(d.productId) && IsMultiChannel()) {
    // The recorder's own entry, then one video entry per channel.
    const std::uint8_t recorderType = table.GetNthVideoType(0);
    table.Reset();
    table.Add(0, 0, recorderType, CDF_VIDEO);
    for (std::size_t c = 0; c < Rs485Section::kChannels; ++c) {
      table.Add(static_cast<int>(rs.baud[c]), rs.deviceId[c], rs.DeviceType(c), CDF_VIDEO);
    }
    table.MakeCurrent(CDF_VIDEO, ordinal);
  } else {
    // The video entries stay; the channels' devices become the control entries.
    table.Compact();
    for (std::size_t c = 0; c < Rs485Section::kChannels; ++c) {
      table.Add(static_cast<int>(rs.baud[c]), rs.deviceId[c], rs.DeviceType(c), CDF_PTZ);
    }
    if (!wasVideo) {
      const std::uint8_t type = table.GetNthPtzType(ordinal);
      if (type == 11 || type == 18) {
        table.MakeCurrent(CDF_PTZ, ordinal);
      } else {
        if (main) main->ResetPtzModeButton();
        table.MakeCurrent(CDF_VIDEO, 0);
      }
    }
  }
  if (main) main->ChangeItemPositionForDeviceModified();
}
