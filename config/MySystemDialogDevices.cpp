#include <cstring>

#include "config/MySystemDialog.h"
#include "config/PageModel.h"
#include "core/Model.h"
#include "core/Strings.h"
#include "core/UiInterfaces.h"
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
  pagemodel::IModel* model = pagemodel::Current();
  if (!model) return;
  const sect::Device d = pagemodel::ConnectedDevice();
  model->WithSections([&](const pagemodel::Sections& sections) {
    AlarmSection alarm;
    AlarmSection::Decode(sections.Data(SYSCFG_ALARM), AlarmSection::kSize, d, alarm);
    m_nOrigAlarmDuration = AlarmSection::DurationChoice(d, alarm.duration);
    m_byOrigPostNumber = static_cast<std::uint8_t>(alarm.postNumber ? alarm.postNumber - 1 : 0);
    m_byOrigAlarmImageSize = alarm.imageSize;
    m_byOrigAlarmMethod = alarm.alarmMethod;
    m_byOrigAlarmVideoSource = sections.Data(SYSCFG_ALARM)[AlarmSection::kOffVideoSource];

    PeriSection peri;
    PeriSection::Decode(sections.Data(SYSCFG_PERI), PeriSection::kSize, peri);
    m_nOrigPeriBaud1 = sect::BaudChoice(peri.baud[0]);
    m_nOrigPeriBaud2 = sect::BaudChoice(peri.baud[1]);
    m_nOrigPeriModel1 = ValueToIndex11(peri.model[0]);
    m_nOrigPeriModel2 = ValueToIndex11(peri.model[1]);
    m_nOrigPeriId1 = peri.id[0];
    m_nOrigPeriId2 = peri.id[1];

    // The title as the General page shows it (cut to 8), so an unchanged title is not sent.
    SystemSection sys;
    SystemSection::Decode(sections.Data(SYSCFG_SYSTEM), SystemSection::kSize, sys);
    m_strOrigDeviceName = sys.deviceName.substr(0, SystemSection::kDeviceNameLimit);
    m_strOrigChannelName1.clear();
    m_strOrigChannelName2.clear();
    if (d.K40RChannelNames()) {
      Rs485Section rs;
      Rs485Section::Decode(sections.Data(SYSCFG_RS485), Rs485Section::kSize, d, rs);
      m_strOrigChannelName1 = rs.channelName1.substr(0, 3);
      m_strOrigChannelName2 = rs.channelName2.substr(0, 3);
    }
  });
}

int MySystemDialog::ApplyAlarmPage(AlarmPropertyPage& page, CAlarmTriggerPage&) {
  pagemodel::IModel* model = pagemodel::Current();
  if (!model || !page.HasWindow()) return 1;
  page.UpdateData(true);
  const sect::Device d = pagemodel::ConnectedDevice();
  const sect::AlarmPageValues now{page.m_byAlarmMethod, page.m_byAlarmImageSize, page.m_nPostNumber,
                                  page.m_byAlarmVideoSource, page.m_nAlarmDuration};
  const sect::AlarmPageValues opened{m_byOrigAlarmMethod, m_byOrigAlarmImageSize, m_byOrigPostNumber,
                                     m_byOrigAlarmVideoSource, m_nOrigAlarmDuration};
  std::uint8_t out[AlarmSection::kSize];
  bool changed = false;
  model->WithSections([&](const pagemodel::Sections& sections) {
    changed = sect::WriteAlarmPage(sections.Data(SYSCFG_ALARM), d, now, opened);
    if (changed) std::memcpy(out, sections.Data(SYSCFG_ALARM), sizeof out);
  });
  if (!changed) return 1;
  if (!Send(SYSCFG_ALARM, out, sizeof out)) {
    plat::MessageBox(Hwnd(), LoadStr(IDS_CHANGE_SYSTEM_CONFIG_FAILED));
    return 0;
  }
  return 1;
}

int MySystemDialog::ApplyDevicePage(DevicePage& page) {
  m_fDeviceTableChanged = 0;
  pagemodel::IModel* model = pagemodel::Current();
  if (!model || !page.HasWindow()) return 1;
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
  model->WithSections([&](const pagemodel::Sections& sections) {
    sect::WriteRs485Devices(sections.Data(SYSCFG_RS485), d, values);
    std::memcpy(out, sections.Data(SYSCFG_RS485), sizeof out);
  });
  m_fDeviceTableChanged = 1;
  if (!Send(SYSCFG_RS485, out, sizeof out)) {
    plat::MessageBox(Hwnd(), LoadStr(IDS_CHANGE_SYSTEM_CONFIG_FAILED));
    return 0;
  }
  return 1;
}

int MySystemDialog::ApplyDetectionPage(DetectionPage& page) {
  pagemodel::IModel* model = pagemodel::Current();
  if (!model || !page.HasWindow()) return 1;
  page.UpdateData(true);
  std::uint8_t live[sect::DvrLiveSection::kSize];
  std::uint8_t alarm[AlarmSection::kSize];
  model->WithSections([&](const pagemodel::Sections& sections) {
    std::memcpy(live, sections.Data(SYSCFG_DVRLIVE), sizeof live);
    std::memcpy(alarm, sections.Data(SYSCFG_ALARM), sizeof alarm);
  });
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
  pagemodel::IModel* model = pagemodel::Current();
  if (!model || !page.HasWindow()) return 1;
  // An id outside 0..255 was refused: nothing of this page goes out.
  if (!page.UpdateData(true)) return 0;
  const sect::PeriPageValues now{{{page.m_nId1, page.m_nModel1, page.m_nBaud1}, {page.m_nId2, page.m_nModel2, page.m_nBaud2}}};
  const sect::PeriPageValues opened{
      {{m_nOrigPeriId1, m_nOrigPeriModel1, m_nOrigPeriBaud1}, {m_nOrigPeriId2, m_nOrigPeriModel2, m_nOrigPeriBaud2}}};
  std::uint8_t out[PeriSection::kSize];
  sect::PeriPageWrite written;
  model->WithSections([&](const pagemodel::Sections& sections) {
    written = sect::WritePeriPage(sections.Data(SYSCFG_PERI), now, opened);
    if (written.changed) std::memcpy(out, sections.Data(SYSCFG_PERI), sizeof out);
  });
  if (written.tableChanged) m_fPeripheralChanged = 1;
  if (!written.changed) return 1;
  if (!Send(SYSCFG_PERI, out, sizeof out)) {
    plat::MessageBox(Hwnd(), LoadStr(IDS_CHANGE_SYSTEM_CONFIG_FAILED));
    return 0;
  }
  return 1;
}

int MySystemDialog::ApplyGeneralPage(ToolBoxPropertyPage& page) {
  pagemodel::IModel* model = pagemodel::Current();
  if (!model || !page.HasWindow()) return 1;
  const sect::Device d = pagemodel::ConnectedDevice();
  const sect::GeneralPageValues now{page.m_strTitle, page.m_strChannelName1, page.m_strChannelName2};
  const sect::GeneralPageValues opened{m_strOrigDeviceName, m_strOrigChannelName1, m_strOrigChannelName2};
  std::uint8_t sys[SystemSection::kSize];
  std::uint8_t rs[Rs485Section::kSize];
  bool sysChanged = false, rsChanged = false;
  model->WithSections([&](const pagemodel::Sections& sections) {
    const sect::GeneralPageWrite written =
        sect::WriteGeneralPage(sections.Data(SYSCFG_SYSTEM), sections.Data(SYSCFG_RS485), d, now, opened,
                               IsSysCfgSectionFetched(SYSCFG_SYSTEM));
    sysChanged = written.system;
    rsChanged = written.rs485;
    if (sysChanged) std::memcpy(sys, sections.Data(SYSCFG_SYSTEM), sizeof sys);
    if (rsChanged) std::memcpy(rs, sections.Data(SYSCFG_RS485), sizeof rs);
  });
  if (sysChanged) model->SetDeviceName(page.m_strTitle);
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
  pagemodel::IModel* model = pagemodel::Current();
  if (!model) return;
  PeriSection peri;
  model->WithSections([&](const pagemodel::Sections& sections) {
    PeriSection::Decode(sections.Data(SYSCFG_PERI), PeriSection::kSize, peri);
  });
  CControlDeviceTable& table = model->Devices();
  table.Reset();
  for (std::size_t i = 0; i < PeriSection::kDevices; ++i) {
    table.Add(static_cast<int>(peri.baud[i]), peri.id[i], peri.model[i], CDF_VIDEO);
  }
  table.MakeCurrent(CDF_VIDEO, model->Settings().m_bySelectedChannel.load() == 1 ? 0 : 1);
  if (IMainWindow* main = model->MainWindow()) main->ChangeItemPositionForDeviceModified();
}

void MySystemDialog::RebuildControlTableFromRs485() {
  pagemodel::IModel* model = pagemodel::Current();
  if (!model) return;
  const sect::Device d = pagemodel::ConnectedDevice();
  Rs485Section rs;
  model->WithSections([&](const pagemodel::Sections& sections) {
    Rs485Section::Decode(sections.Data(SYSCFG_RS485), Rs485Section::kSize, d, rs);
  });
  CControlDeviceTable& table = model->Devices();
  IMainWindow* main = model->MainWindow();
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
