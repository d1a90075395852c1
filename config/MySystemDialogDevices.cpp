#include <cstring>
#include <mutex>

#include "config/MySystemDialog.h"
#include "config/PageModel.h"
#include "core/Model.h"
#include "core/Strings.h"
#include "core/UiInterfaces.h"
#include "engine/AppRecord.h"
#include "platform/messages.h"
#include "session/Sections.h"
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
  std::uint8_t out[AlarmSection::kSize];
  bool changed = false;
  {
    std::lock_guard<std::mutex> lock(app->mtx_SysCfg);
    AlarmSection alarm;
    AlarmSection::Decode(app->SysCfg_ALARM, AlarmSection::kSize, d, alarm);
    if (page.m_byAlarmMethod != m_byOrigAlarmMethod) {
      alarm.alarmMethod = page.m_byAlarmMethod;
      changed = true;
    }
    if (page.m_byAlarmImageSize != m_byOrigAlarmImageSize) {
      alarm.imageSize = page.m_byAlarmImageSize;
      changed = true;
    }
    // A list without a choice leaves the stored value.
    if (page.m_nPostNumber >= 0 && page.m_nPostNumber != m_byOrigPostNumber) {
      alarm.postNumber = static_cast<std::uint8_t>(page.m_nPostNumber + 1);
      changed = true;
    }
    if (page.m_byAlarmVideoSource != m_byOrigAlarmVideoSource && d.IsK40R()) {
      alarm.videoSource = page.m_byAlarmVideoSource;
      changed = true;
    }
    if (page.m_nAlarmDuration >= 0 && page.m_nAlarmDuration != m_nOrigAlarmDuration) {
      alarm.duration = AlarmSection::DurationOfChoice(d, page.m_nAlarmDuration);
      changed = true;
    }
    if (changed) {
      alarm.Encode(app->SysCfg_ALARM, d);
      std::memcpy(out, app->SysCfg_ALARM, sizeof out);
    }
  }
  if (!changed) return 1;
  if (!Send(SYSCFG_ALARM, out, sizeof out)) {
    plat::MessageBox(Hwnd(), LoadStr(IDS_CHANGE_SYSTEM_CONFIG_FAILED));
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
  std::uint8_t out[Rs485Section::kSize];
  {
    std::lock_guard<std::mutex> lock(app->mtx_SysCfg);
    Rs485Section rs;
    Rs485Section::Decode(app->SysCfg_RS485, Rs485Section::kSize, d, rs);
    for (std::size_t c = 0; c < Rs485Section::kChannels; ++c) {
      rs.kind[c] = page.m_byDeviceKind[c];
      rs.deviceId[c] = page.m_byDeviceId[c];
      rs.protocol[c] = page.m_byProtocol[c];
      rs.baud[c] = page.m_dwBaud[c];
    }
    rs.Encode(app->SysCfg_RS485, d);
    std::memcpy(out, app->SysCfg_RS485, sizeof out);
  }
  m_fDeviceTableChanged = 1;
  if (!Send(SYSCFG_RS485, out, sizeof out)) {
    plat::MessageBox(Hwnd(), LoadStr(IDS_CHANGE_SYSTEM_CONFIG_FAILED));
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
    plat::MessageBox(Hwnd(), LoadStr(IDS_CHANGE_SYSTEM_CONFIG_FAILED));
    return 0;
  }
  if (page.m_bAlarmChanged && !Send(SYSCFG_ALARM, alarm, sizeof alarm)) {
    plat::MessageBox(Hwnd(), LoadStr(IDS_CHANGE_SYSTEM_CONFIG_FAILED));
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
  std::uint8_t out[PeriSection::kSize];
  bool changed = false;
  {
    std::lock_guard<std::mutex> lock(app->mtx_SysCfg);
    PeriSection peri;
    PeriSection::Decode(app->SysCfg_PERI, PeriSection::kSize, peri);
    const struct {
      int id, origId, model, origModel, baud, origBaud;
    } dev[2] = {{page.m_nId1, m_nOrigPeriId1, page.m_nModel1, m_nOrigPeriModel1, page.m_nBaud1, m_nOrigPeriBaud1},
                {page.m_nId2, m_nOrigPeriId2, page.m_nModel2, m_nOrigPeriModel2, page.m_nBaud2, m_nOrigPeriBaud2}};
    for (int i = 0; i < 2; ++i) {
      if (dev[i].id != dev[i].origId && dev[i].id >= 0 && dev[i].id <= 255) {
        peri.id[i] = static_cast<std::uint8_t>(dev[i].id);
        m_fPeripheralChanged = 1;
        changed = true;
      }
      // A list without a choice leaves the stored value.
      if (dev[i].model >= 0 && dev[i].model != dev[i].origModel) {
        peri.model[i] = IndexToValue11(static_cast<std::uint8_t>(dev[i].model));
        m_fPeripheralChanged = 1;
        changed = true;
      }
      if (dev[i].baud >= 0 && dev[i].baud != dev[i].origBaud) {
        peri.baud[i] = sect::BaudOfChoice(dev[i].baud);
        changed = true;
      }
    }
    if (changed) {
      peri.Encode(app->SysCfg_PERI);
      std::memcpy(out, app->SysCfg_PERI, sizeof out);
    }
  }
  if (!changed) return 1;
  if (!Send(SYSCFG_PERI, out, sizeof out)) {
    plat::MessageBox(Hwnd(), LoadStr(IDS_CHANGE_SYSTEM_CONFIG_FAILED));
    return 0;
  }
  return 1;
}

int MySystemDialog::ApplyGeneralPage(ToolBoxPropertyPage& page) {
  AppRecord* app = g_lpApp;
  if (!app || !page.HasWindow()) return 1;
  const sect::Device d = pagemodel::ConnectedDevice();
  std::uint8_t sys[SystemSection::kSize];
  std::uint8_t rs[Rs485Section::kSize];
  bool sysChanged = false, rsChanged = false;
  {
    std::lock_guard<std::mutex> lock(app->mtx_SysCfg);
    if (page.m_strTitle != m_strOrigDeviceName && IsSysCfgSectionFetched(SYSCFG_SYSTEM)) {
      SystemSection s;
      SystemSection::Decode(app->SysCfg_SYSTEM, SystemSection::kSize, s);
      s.deviceName = page.m_strTitle;
      s.Encode(app->SysCfg_SYSTEM);
      std::memcpy(sys, app->SysCfg_SYSTEM, sizeof sys);
      sysChanged = true;
    }
    if (d.K40RChannelNames() &&
        (page.m_strChannelName1 != m_strOrigChannelName1 || page.m_strChannelName2 != m_strOrigChannelName2)) {
      Rs485Section r;
      Rs485Section::Decode(app->SysCfg_RS485, Rs485Section::kSize, d, r);
      r.channelName1 = page.m_strChannelName1;
      r.channelName2 = page.m_strChannelName2;
      r.Encode(app->SysCfg_RS485, d);
      std::memcpy(rs, app->SysCfg_RS485, sizeof rs);
      rsChanged = true;
    }
  }
  if (sysChanged) app->strDeviceName.Set(page.m_strTitle);
  bool failed = false;
  if (sysChanged && !Send(SYSCFG_SYSTEM, sys, sizeof sys)) failed = true;
  if (rsChanged && !Send(SYSCFG_RS485, rs, sizeof rs)) failed = true;
  // One message for the page, whichever send failed.
  if (failed) {
    plat::MessageBox(Hwnd(), LoadStr(IDS_CHANGE_SYSTEM_CONFIG_FAILED));
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
