#include "config/DetectionPage.h"

#include <QPushButton>
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "config/CDetectionEditDlg.h"
#include "config/PageModel.h"
#include "core/Model.h"
#include "core/Strings.h"
#include "core/UiInterfaces.h"
#include "platform/messages.h"
#include "session/Rs485.h"
#include "session/SectionWriters.h"
#include "ui/Controls.h"

// The page's rows and area masks are those of the DVRLIVE layout.
static_assert(DetectionPage::kChannels == static_cast<int>(sect::DvrLiveSection::kChannels) &&
              DetectionPage::kAreaBytes == static_cast<int>(sect::DvrLiveSection::kAreaBytes));

ui::ReportList* DetectionPage::List() const { return Item<ui::ReportList>(IDC_DETECTION_LIST); }

const char* DetectionPage::AlarmTypeText(std::uint8_t type) {
  const bool variant = HasCapability(CAP_OEM_VARIANT_1) != 0;
  switch (type) {
    case 0: return variant ? "N.O." : "LOW";
    case 1: return variant ? "N.C." : "HIGH";
    default: return "OFF";
  }
}

bool DetectionPage::OnInitDialog() {
  auto* list = new ui::ReportList(this);
  list->setGeometry(10, 10, 320, 300);
  AddControl(IDC_DETECTION_LIST, list);
  list->InsertColumn(0, QStringLiteral("NO."), 35);
  list->InsertColumn(1, QString::fromLatin1(LoadStr(IDS_COL_DETECT)), 60);
  list->InsertColumn(2, QString::fromLatin1(LoadStr(IDS_COL_LS)), 30);
  list->InsertColumn(3, QString::fromLatin1(LoadStr(IDS_COL_SS)), 30);
  list->InsertColumn(4, QString::fromLatin1(LoadStr(IDS_COL_TS)), 30);
  list->InsertColumn(5, QString::fromLatin1(LoadStr(IDS_COL_RE)), 30);
  list->InsertColumn(6, QString::fromLatin1(LoadStr(IDS_COL_ALARM)), 60);
  list->onDoubleClick = [this](int) { OnDblclkDetectionList(); };

  auto* edit = new QPushButton(QStringLiteral("Edit"), this);
  edit->setGeometry(340, 10, 60, 26);
  AddControl(IDC_DETECTION_EDIT, edit);
  OnCommand(IDC_DETECTION_EDIT, [this] { OnButtonEdit(); });

  const int count = pagemodel::DvrChannelCount();
  std::uint8_t storedType[kChannels] = {};
  if (pagemodel::IModel* model = pagemodel::Current()) {
    model->WithSections([&](const pagemodel::Sections& sections) {
      const std::uint8_t* live = sections.Data(SYSCFG_DVRLIVE);
      const std::uint8_t* alarm = sections.Data(SYSCFG_ALARM);
      for (int c = 0; c < count; ++c) {
        const sect::DetectionChannelValues v = sect::ReadDetectionChannel(live, alarm, c);
        m_byDetect[c] = v.detect;
        m_byLS[c] = v.ls;
        m_bySS[c] = v.ss;
        m_byTS[c] = v.ts;
        m_byRE[c] = v.re;
        std::copy(v.area.begin(), v.area.end(), m_byArea[c]);
        // A type outside 0..2 shows "OFF" with the member 0; the section keeps it until this
        // channel's edit is confirmed.
        storedType[c] = v.alarmInputType;
        m_byAlarmType[c] = storedType[c] <= 2 ? storedType[c] : 0;
      }
    });
  }
  for (int c = 0; c < count; ++c) {
    char no[16];
    std::snprintf(no, sizeof no, "%2d", c + 1);
    list->InsertItem(c, QString::fromLatin1(no));
    WriteDetectRow(c);
    list->SetItemText(c, 6, QString::fromLatin1(AlarmTypeText(storedType[c])));
  }
  return ui::PropertyPage::OnInitDialog();
}

void DetectionPage::WriteDetectRow(int row) {
  ui::ReportList* list = List();
  if (!list) return;
  list->SetItemText(row, 1, m_byDetect[row] == 1 ? QStringLiteral("ON") : QStringLiteral("OFF"));
  list->SetItemText(row, 2, QString::number(m_byLS[row]));
  list->SetItemText(row, 3, QString::number(m_bySS[row]));
  list->SetItemText(row, 4, QString::number(m_byTS[row]));
  list->SetItemText(row, 5, QString::number(m_byRE[row]));
}

void DetectionPage::OnButtonEdit() { Edit(true); }
void DetectionPage::OnDblclkDetectionList() { Edit(false); }

void DetectionPage::SwitchLiveChannel(int row) {
  pagemodel::IModel* model = pagemodel::Current();
  if (!model || !model->Devices().IsCurrentVideo() || pagemodel::DvrChannelCount() == 0) return;
  IChannelBar* bar = model->ChannelBar();
  // The recorder's own picture (channel 0) or a single-channel stream: the channel key of the
  // panel; otherwise the channel bar asks for the channel.
  if (!IsMultiChannel() || !bar || bar->GetCurrentChannel() == 0) {
    DoDeviceCommand(0, static_cast<std::uint16_t>(row));
  } else {
    bar->SwitchChannel(static_cast<plat::BYTE>(row + 1));
  }
}

void DetectionPage::Edit(bool fromButton) {
  ui::ReportList* list = List();
  const int row = list ? list->GetSelectedRow() : -1;
  if (row < 0 || row >= kChannels) {
    if (fromButton) plat::MessageBox(Hwnd(), LoadStr(IDS_NO_ITEM_TO_EDIT));
    return;
  }
  CDetectionEditDlg dlg(this);
  SwitchLiveChannel(row);
  char no[16];
  std::snprintf(no, sizeof no, "%2d", row + 1);
  dlg.m_strNo = no;
  dlg.m_nAlarm = m_byAlarmType[row];
  dlg.m_nDetect = m_byDetect[row];
  dlg.m_nLS = m_byLS[row];
  dlg.m_nSS = m_bySS[row];
  dlg.m_nTS = m_byTS[row];
  dlg.m_nRE = m_byRE[row];
  std::memcpy(dlg.m_byAreaMask, m_byArea[row], kAreaBytes);
  const int result = runEditor ? runEditor(dlg) : dlg.DoModal();
  if (result != plat::IDOK) return;

  // A list left without a choice keeps the stored value.
  if (dlg.m_nAlarm >= 0 && dlg.m_nAlarm != m_byAlarmType[row]) {
    m_byAlarmType[row] = static_cast<std::uint8_t>(dlg.m_nAlarm);
    m_bAlarmChanged = 1;
  }
  auto take = [](std::uint8_t& stored, int value) {
    if (value >= 0 && value <= 255 && value != stored) stored = static_cast<std::uint8_t>(value);
  };
  take(m_byDetect[row], dlg.m_nDetect);
  take(m_byLS[row], dlg.m_nLS);
  take(m_bySS[row], dlg.m_nSS);
  take(m_byTS[row], dlg.m_nTS);
  take(m_byRE[row], dlg.m_nRE);
  // A confirmed edit always sends the channel's detection settings, the area included.
  std::memcpy(m_byArea[row], dlg.m_byAreaMask, kAreaBytes);
  m_bLiveChanged = 1;

  if (pagemodel::IModel* model = pagemodel::Current()) {
    model->WithSections([&](const pagemodel::Sections& sections) {
      sect::DetectionChannelValues v;
      v.detect = m_byDetect[row];
      v.ls = m_byLS[row];
      v.ss = m_bySS[row];
      v.ts = m_byTS[row];
      v.re = m_byRE[row];
      std::copy(m_byArea[row], m_byArea[row] + kAreaBytes, v.area.begin());
      v.alarmInputType = m_byAlarmType[row];
      // Only the sections the page marked take the row.
      sect::WriteDetectionChannel(m_bLiveChanged ? sections.Data(SYSCFG_DVRLIVE) : nullptr,
                                  m_bAlarmChanged ? sections.Data(SYSCFG_ALARM) : nullptr, row, v);
    });
  }
  WriteDetectRow(row);
  if (m_bAlarmChanged) list->SetItemText(row, 6, QString::fromLatin1(AlarmTypeText(m_byAlarmType[row])));
}
