#include "config/TimerRecordPage.h"

#include <QLabel>
#include <cstring>

#include "config/PageModel.h"
#include "core/Model.h"
#include "session/SectionWriters.h"
#include "ui/Controls.h"

namespace {

const char* const kDayNames[11] = {"OFF", "SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT", "MON-FRI", "SAT-SUN", "DAILY"};

QDateTime MomentOfWord(std::uint16_t word) {
  const int hour = sect::TimerWordHour(word), minute = sect::TimerWordMinute(word);
  return QDateTime(QDate(2006, 1, 1), QTime(hour, minute));  // invalid above 23:59
}

std::uint16_t WordOfPicker(const ui::DateTimePicker* p) {
  const QTime t = p->GetTime().time();
  return sect::TimerWord(t.hour(), t.minute());
}

}  // namespace

TimerRecordPage::TimerRecordPage(QWidget* parent) : ui::PropertyPage(QStringLiteral("Timer Record"), parent) {
  for (int& d : m_nDay) d = -1;
}

ui::DateTimePicker* TimerRecordPage::Picker(int id) const { return Item<ui::DateTimePicker>(id); }

bool TimerRecordPage::OnInitDialog() {
  const char* heads[] = {"DATE", "START", "END"};
  for (int c = 0; c < 3; ++c) (new QLabel(QString::fromLatin1(heads[c]), this))->setGeometry(40 + c * 110, 4, 100, 18);
  for (int n = 1; n <= kSlots; ++n) {
    const int y = 4 + n * 26;
    (new QLabel(QStringLiteral("%1.").arg(n), this))->setGeometry(10, y, 24, 22);
    auto* list = new ui::DropList(this);
    for (const char* name : kDayNames) list->AddString(QString::fromLatin1(name));
    list->setGeometry(40, y, 100, 22);
    AddControl(DayId(n), list);
    for (int id : {StartId(n), EndId(n)}) {
      auto* p = new ui::DateTimePicker(this);
      p->setGeometry(id == StartId(n) ? 150 : 260, y, 100, 22);
      AddControl(id, p);
    }
  }
  pagemodel::IModel* model = pagemodel::Current();
  const bool open = model && IsModelFamilyK41(model->Device().productId) &&
                    CompareVersionString(fwgate::kNewPagesDVR, model->Device().firmware) != 2;
  if (!open) {
    for (int n = 1; n <= kSlots; ++n) {
      for (int id : {DayId(n), StartId(n), EndId(n)}) EnableDlgItem(id, false);
    }
    return true;
  }
  model->WithSections([&](const pagemodel::Sections& sections) {
    const sect::TimerSlots timer = sect::ReadTimerSlots(sections.Data(SYSCFG_DVRREC));
    for (int i = 0; i < kSlots; ++i) {
      m_byDay[i] = timer.day[i];
      m_wStartTime[i] = timer.start[i];
      m_wEndTime[i] = timer.end[i];
    }
  });
  for (int i = 0; i < kSlots; ++i) {
    const int n = i + 1;
    Picker(StartId(n))->SetFormat(QStringLiteral("HH : mm"));
    Picker(EndId(n))->SetFormat(QStringLiteral("HH : mm"));
    Picker(StartId(n))->SetTime(MomentOfWord(m_wStartTime[i]));
    Picker(EndId(n))->SetTime(MomentOfWord(m_wEndTime[i]));
    m_wShownStart[i] = WordOfPicker(Picker(StartId(n)));
    m_wShownEnd[i] = WordOfPicker(Picker(EndId(n)));
    m_nDay[i] = m_byDay[i];
  }
  m_bFilled = true;
  return ui::PropertyPage::OnInitDialog();
}

void TimerRecordPage::DoDataExchange(ui::DataExchange& dx) {
  for (int i = 0; i < kSlots; ++i) dx.ListIndex(DayId(i + 1), m_nDay[i]);
}

void TimerRecordPage::CollectSlots() {
  UpdateData(true);
  for (int i = 0; i < kSlots; ++i) {
    const int n = i + 1;
    if (m_nDay[i] >= 0) m_byDay[i] = static_cast<std::uint8_t>(m_nDay[i]);
    const std::uint16_t start = WordOfPicker(Picker(StartId(n)));
    const std::uint16_t end = WordOfPicker(Picker(EndId(n)));
    // A picker left as it was filled goes back as the word read (also one it could not show).
    if (start != m_wShownStart[i]) m_wStartTime[i] = start;
    if (end != m_wShownEnd[i]) m_wEndTime[i] = end;
    m_wShownStart[i] = start;
    m_wShownEnd[i] = end;
  }
}
