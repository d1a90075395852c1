#include "config/DVRRecordPage.h"

#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>

#include "config/PageModel.h"
#include "core/Model.h"
#include "core/UiInterfaces.h"
#include "session/SessionRecord.h"
#include "ui/Controls.h"

namespace {

const std::uint8_t kQualityValues[4] = {6, 8, 10, 16};

const int kAllControls[] = {IDC_REC_MANUAL_YES, IDC_REC_MANUAL_NO, IDC_REC_EVENT_YES, IDC_REC_EVENT_NO,
                            IDC_REC_TIMER_YES,  IDC_REC_TIMER_NO,  IDC_REC_OVERWRITE_YES, IDC_REC_OVERWRITE_NO,
                            IDC_REC_TIMER_IPS,  IDC_REC_MANUAL_IPS, IDC_REC_EVENT_IPS, IDC_REC_FRAME,
                            IDC_REC_FIELD,      IDC_REC_CIF,       IDC_REC_QUALITY,   IDC_REC_FIX,
                            IDC_REC_GROUP};

int ChannelCountOfModel(const std::string& id) {
  if (id == "K41R") return 16;
  if (id == "K42R") return 8;
  if (id == "K43R") return 4;
  return 0;
}

}  // namespace

DVRRecordPage::DVRRecordPage(QWidget* parent) : ui::PropertyPage(QStringLiteral("Record Setting"), parent) {}

int DVRRecordPage::ChannelClass() const {
  pagemodel::IModel* model = pagemodel::Current();
  if (!model) return 2;
  // The channel bar knows the recorder's channels; before it is registered the model tells.
  IChannelBar* bar = model->ChannelBar();
  const int count = bar ? bar->GetChannelCount() : ChannelCountOfModel(model->Device().productId);
  return IpsChannelClass(count);
}

bool DVRRecordPage::OnInitDialog() {
  auto radio = [this](int id, const char* text, int x, int y) {
    auto* b = new QRadioButton(QString::fromLatin1(text), this);
    b->setAutoExclusive(false);
    b->setGeometry(x, y, 70, 20);
    AddControl(id, b);
  };
  auto list = [this](int id, int x, int y) {
    auto* l = new ui::DropList(this);
    l->setGeometry(x, y, 70, 22);
    AddControl(id, l);
  };
  auto group = [this](const char* text, int x, int y, int w, int h) {
    (new QGroupBox(QString::fromLatin1(text), this))->setGeometry(x, y, w, h);
  };
  group("MANUAL RECORD", 4, 4, 170, 70);
  radio(IDC_REC_MANUAL_YES, "YES", 14, 22);
  radio(IDC_REC_MANUAL_NO, "NO", 90, 22);
  (new QLabel(QStringLiteral("IPS :"), this))->setGeometry(14, 46, 40, 20);
  list(IDC_REC_MANUAL_IPS, 60, 46);
  group("EVENT RECORD", 180, 4, 170, 70);
  radio(IDC_REC_EVENT_YES, "YES", 190, 22);
  radio(IDC_REC_EVENT_NO, "NO", 266, 22);
  (new QLabel(QStringLiteral("IPS :"), this))->setGeometry(190, 46, 40, 20);
  list(IDC_REC_EVENT_IPS, 236, 46);
  group("TIMER RECORD", 4, 80, 170, 70);
  radio(IDC_REC_TIMER_YES, "YES", 14, 98);
  radio(IDC_REC_TIMER_NO, "NO", 90, 98);
  (new QLabel(QStringLiteral("IPS :"), this))->setGeometry(14, 122, 40, 20);
  list(IDC_REC_TIMER_IPS, 60, 122);
  group("OVERWRITE", 180, 80, 170, 70);
  radio(IDC_REC_OVERWRITE_YES, "YES", 190, 98);
  radio(IDC_REC_OVERWRITE_NO, "NO", 266, 98);
  group("RECORD IMG SIZE", 4, 156, 250, 44);
  radio(IDC_REC_FRAME, "FRAME", 14, 174);
  radio(IDC_REC_FIELD, "FIELD", 90, 174);
  radio(IDC_REC_CIF, "CIF", 166, 174);
  group("RECORD QUALITY", 260, 156, 130, 44);
  list(IDC_REC_QUALITY, 270, 174);
  for (const char* q : {"BEST", "HIGH", "NORMAL", "BASIC"}) Item<ui::DropList>(IDC_REC_QUALITY)->AddString(QString::fromLatin1(q));
  group("TOTAL IPS SHARE", 4, 206, 170, 44);
  radio(IDC_REC_FIX, "FIX", 14, 224);
  radio(IDC_REC_GROUP, "GROUP", 90, 224);

  OnCommand(IDC_REC_MANUAL_YES, [this] { OnYesNo(IDC_REC_MANUAL_YES, m_byManualSel, true); });
  OnCommand(IDC_REC_MANUAL_NO, [this] { OnYesNo(IDC_REC_MANUAL_YES, m_byManualSel, false); });
  OnCommand(IDC_REC_EVENT_YES, [this] { OnYesNo(IDC_REC_EVENT_YES, m_byEventSel, true); });
  OnCommand(IDC_REC_EVENT_NO, [this] { OnYesNo(IDC_REC_EVENT_YES, m_byEventSel, false); });
  OnCommand(IDC_REC_TIMER_YES, [this] { OnYesNo(IDC_REC_TIMER_YES, m_byTimerSel, true); });
  OnCommand(IDC_REC_TIMER_NO, [this] {
    OnYesNo(IDC_REC_TIMER_YES, m_byTimerSel, false);
    UpdateData(true);
  });
  OnCommand(IDC_REC_OVERWRITE_YES, [this] { OnYesNo(IDC_REC_OVERWRITE_YES, m_byOverwriteSel, true); });
  OnCommand(IDC_REC_OVERWRITE_NO, [this] { OnYesNo(IDC_REC_OVERWRITE_YES, m_byOverwriteSel, false); });
  OnCommand(IDC_REC_FRAME, [this] { OnModeFrame(); });
  OnCommand(IDC_REC_FIELD, [this] { OnModeField(); });
  OnCommand(IDC_REC_CIF, [this] { OnModeCif(); });
  OnCommand(IDC_REC_FIX, [this] { OnIpsShare(true); });
  OnCommand(IDC_REC_GROUP, [this] { OnIpsShare(false); });
  OnChange(IDC_REC_QUALITY, [this] { OnSelchangeQuality(); });

  pagemodel::IModel* model = pagemodel::Current();
  const bool open = model && IsModelFamilyK41(model->Device().productId) &&
                    CompareVersionString(fwgate::kNewPagesDVR, model->Device().firmware) != 2;
  if (!open || !ReadRecordSetting(m_read)) {
    for (int id : kAllControls) EnableDlgItem(id, false);
    return true;
  }
  const RecordSettingValues& r = m_read;
  m_byManualSel = r.manual;
  m_byEventSel = r.event;
  m_byTimerSel = r.timer;
  SetPair(IDC_REC_MANUAL_YES, m_byManualSel);
  SetPair(IDC_REC_EVENT_YES, m_byEventSel);
  SetPair(IDC_REC_TIMER_YES, m_byTimerSel);
  m_byOverwriteSel = r.overwrite;
  FillRates(r.recMode);
  m_nMotionRate = r.motionRateType;
  m_nManualRate = r.manualRateType;
  m_nTimerRate = r.timerRateType;
  ShowDlgItem(IDC_REC_FRAME, (r.supportMode & 1) != 0);
  ShowDlgItem(IDC_REC_FIELD, (r.supportMode & 2) != 0);
  ShowDlgItem(IDC_REC_CIF, (r.supportMode & 4) != 0);
  SetPair(IDC_REC_OVERWRITE_YES, m_byOverwriteSel);
  m_byRecModeSel = r.recMode;
  CheckMode(m_byRecModeSel);
  if (r.supportIpsShare != 3) {
    EnableDlgItem(IDC_REC_FIX, false);
    EnableDlgItem(IDC_REC_GROUP, false);
  }
  m_byQualitySel = r.quality;
  m_nQuality = -1;
  for (int i = 0; i < 4; ++i) {
    if (kQualityValues[i] == r.quality) m_nQuality = i;
  }
  m_byIpsShareSel = r.recordFix;
  Item<QRadioButton>(IDC_REC_GROUP)->setChecked(m_byIpsShareSel == 0);
  Item<QRadioButton>(IDC_REC_FIX)->setChecked(m_byIpsShareSel != 0);
  m_bFilled = true;
  return ui::PropertyPage::OnInitDialog();
}

void DVRRecordPage::DoDataExchange(ui::DataExchange& dx) {
  dx.ListIndex(IDC_REC_EVENT_IPS, m_nMotionRate);
  dx.ListIndex(IDC_REC_MANUAL_IPS, m_nManualRate);
  dx.ListIndex(IDC_REC_TIMER_IPS, m_nTimerRate);
  dx.ListIndex(IDC_REC_QUALITY, m_nQuality);
}

void DVRRecordPage::FillRates(int recMode) {
  std::uint16_t rates[4] = {};
  // A video type or image size outside the table leaves the lists empty.
  const bool known = IpsChoices(ChannelClass(), m_read.videoType, recMode, rates);
  for (int id : {IDC_REC_MANUAL_IPS, IDC_REC_EVENT_IPS, IDC_REC_TIMER_IPS}) {
    auto* l = Item<ui::DropList>(id);
    l->clear();
    if (!known) continue;
    for (std::uint16_t rate : rates) l->AddString(QString::number(rate));
  }
}

void DVRRecordPage::SetPair(int yesId, std::uint8_t value) {
  Item<QRadioButton>(yesId)->setChecked(value != 0);
  Item<QRadioButton>(yesId + 1)->setChecked(value == 0);
}

void DVRRecordPage::CheckMode(int mode) {
  Item<QRadioButton>(IDC_REC_FRAME)->setChecked(mode == 0);
  Item<QRadioButton>(IDC_REC_FIELD)->setChecked(mode == 1);
  Item<QRadioButton>(IDC_REC_CIF)->setChecked(mode == 2);
}

void DVRRecordPage::OnYesNo(int yesId, std::uint8_t& choice, bool yes) {
  choice = yes ? 1 : 0;
  SetPair(yesId, choice);
}

void DVRRecordPage::OnIpsShare(bool fix) {
  m_byIpsShareSel = fix ? 1 : 0;
  Item<QRadioButton>(IDC_REC_FIX)->setChecked(fix);
  Item<QRadioButton>(IDC_REC_GROUP)->setChecked(!fix);
}

void DVRRecordPage::OnModeFrame() {
  if (m_byRecModeSel != 0) {
    m_byRecModeSel = 0;
    FillRates(0);
    m_nMotionRate = m_nManualRate = m_nTimerRate = 0;
    UpdateData(false);
  }
  EnableDlgItem(IDC_REC_FIX, true);
  EnableDlgItem(IDC_REC_GROUP, true);
  CheckMode(0);
}

void DVRRecordPage::OnModeField() {
  if (m_byRecModeSel != 1) {
    m_byRecModeSel = 1;
    FillRates(1);
    m_nMotionRate = m_nManualRate = m_nTimerRate = 0;
  }
  UpdateData(false);
  CheckMode(1);
}

void DVRRecordPage::OnModeCif() {
  if (m_byRecModeSel != 2) {
    m_byRecModeSel = 2;
    FillRates(2);
    m_nMotionRate = m_nManualRate = m_nTimerRate = 0;
  }
  m_byIpsShareSel = 1;
  EnableDlgItem(IDC_REC_FIX, false);
  EnableDlgItem(IDC_REC_GROUP, false);
  Item<QRadioButton>(IDC_REC_FIX)->setChecked(true);
  Item<QRadioButton>(IDC_REC_GROUP)->setChecked(false);
  CheckMode(2);
  UpdateData(false);
}

void DVRRecordPage::OnSelchangeQuality() {
  UpdateData(true);
  if (m_nQuality >= 0 && m_nQuality < 4) m_byQualitySel = kQualityValues[m_nQuality];
}

RecordSettingValues DVRRecordPage::Chosen() {
  UpdateData(true);
  const RecordSettingValues& r = m_read;
  RecordSettingValues c = r;
  c.manual = m_byManualSel;
  c.event = m_byEventSel;
  c.timer = m_byTimerSel;
  c.overwrite = m_byOverwriteSel;
  c.quality = m_byQualitySel;
  c.recMode = m_byRecModeSel;
  // Rates are choices 0 to 3; a list without a choice keeps the rate read.
  c.motionRateType = m_nMotionRate >= 0 ? static_cast<std::uint8_t>(m_nMotionRate) : r.motionRateType;
  c.manualRateType = m_nManualRate >= 0 ? static_cast<std::uint8_t>(m_nManualRate) : r.manualRateType;
  c.timerRateType = m_nTimerRate >= 0 ? static_cast<std::uint8_t>(m_nTimerRate) : r.timerRateType;
  c.recordFix = m_byIpsShareSel;
  return c;
}
