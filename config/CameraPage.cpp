#include "config/CameraPage.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <cstring>

#include "config/DigitEdit.h"
#include "config/PageModel.h"
#include "core/Model.h"
#include "core/Strings.h"
#include "platform/messages.h"
#include "session/SectionWriters.h"
#include "ui/Controls.h"

namespace {

enum : int {
  IDC_CAMERA_LIST = 1425,
  IDC_CAMERA_EDIT = 1068,
  IDC_EDIT_NO = 1433,
  IDC_EDIT_BR = 1434,
  IDC_EDIT_CT = 1435,
  IDC_EDIT_ST = 1436,
  IDC_EDIT_HUE = 1438,
  IDC_EDIT_TITLE = 1439,
  IDC_EDIT_COV = 1195,
  IDC_EDIT_REC = 1196,
};

QString Text(const char* s) { return QString::fromLatin1(s); }

int RowsOfModel(const std::string& id) {
  if (id == "K41R") return 16;
  if (id == "K42R") return 8;
  if (id == "K43R") return 4;
  return 0;
}

QString YesNo(std::uint8_t v) { return v == 1 ? QStringLiteral("YES") : QStringLiteral("NO"); }

// Keeps 0-9 and A-Z, turns a-z into upper case and drops everything else.
std::string TitleCharacters(const std::string& text) {
  std::string out;
  for (char c : text) {
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z')) out += c;
    else if (c >= 'a' && c <= 'z') out += static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

std::string WithCount(unsigned id, int count) {
  const std::string text = LoadStr(id);
  const std::size_t at = text.find("%1");
  if (at == std::string::npos) return text;
  return text.substr(0, at) + std::to_string(count) + text.substr(at + 2);
}

}  // namespace

// ---- editor -----------------------------------------------------------------------------------

CCameraEditDlg::CCameraEditDlg(QWidget* parent) : ui::Window(parent) {
  setWindowTitle(QStringLiteral("Edit"));
  setWindowFlags((windowFlags() | Qt::CustomizeWindowHint | Qt::WindowTitleHint) & ~Qt::WindowCloseButtonHint);
  setFixedSize(372, 44);
  // One row: each label above its control.
  struct Column {
    const char* label;
    int x, width;
  };
  const Column columns[] = {{"NO.", 4, 28},   {"TITLE", 36, 62}, {"BR", 102, 28},  {"CT", 134, 28},
                            {"ST", 166, 28},  {"HUE", 198, 28},  {"COV", 230, 54}, {"REC", 288, 54}};
  for (const Column& c : columns) (new QLabel(Text(c.label), this))->setGeometry(c.x, 2, c.width, 16);
  auto* no = new QLabel(this);
  no->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  no->setAlignment(Qt::AlignCenter);
  no->setGeometry(columns[0].x, 20, columns[0].width, 20);
  AddControl(IDC_EDIT_NO, no);
  auto* title = new QLineEdit(this);
  title->setAlignment(Qt::AlignCenter);
  title->setGeometry(columns[1].x, 20, columns[1].width, 20);
  AddControl(IDC_EDIT_TITLE, title);
  const int numberIds[] = {IDC_EDIT_BR, IDC_EDIT_CT, IDC_EDIT_ST, IDC_EDIT_HUE};
  for (int i = 0; i < 4; ++i) {
    auto* e = new ui::DigitEdit(this);
    e->setAlignment(Qt::AlignCenter);
    e->setGeometry(columns[2 + i].x, 20, columns[2 + i].width, 20);
    AddControl(numberIds[i], e);
  }
  for (int id : {IDC_EDIT_COV, IDC_EDIT_REC}) {
    auto* list = new ui::DropList(this);
    list->AddString(QStringLiteral("NO"));
    list->AddString(QStringLiteral("YES"));
    const Column& c = columns[id == IDC_EDIT_COV ? 6 : 7];
    list->setGeometry(c.x, 20, c.width, 20);
    AddControl(id, list);
  }
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setGeometry(346, 3, 24, 38);
  ok->setDefault(true);
  AddControl(plat::IDOK, ok);
  OnCommand(plat::IDOK, [this] { OnOK(); });
  connect(Item<QLineEdit>(IDC_EDIT_BR), &QLineEdit::textEdited, this, [this] { OnChangeNumber(IDC_EDIT_BR, m_nBrightness); });
  connect(Item<QLineEdit>(IDC_EDIT_CT), &QLineEdit::textEdited, this, [this] { OnChangeNumber(IDC_EDIT_CT, m_nContrast); });
  connect(Item<QLineEdit>(IDC_EDIT_ST), &QLineEdit::textEdited, this, [this] { OnChangeNumber(IDC_EDIT_ST, m_nSaturation); });
  connect(Item<QLineEdit>(IDC_EDIT_HUE), &QLineEdit::textEdited, this, [this] { OnChangeNumber(IDC_EDIT_HUE, m_nHue); });
  connect(title, &QLineEdit::textEdited, this, [this] { OnChangeTitle(); });
}

bool CCameraEditDlg::OnInitDialog() {
  m_strTitle = m_strInitTitle;
  UpdateData(false);
  return true;
}

bool CCameraEditDlg::UpdateData(bool save, bool checkTitle) {
  auto number = [&](int id, int& field) {
    auto* e = Item<QLineEdit>(id);
    if (!save) {
      const QString t = QString::number(field);
      if (e->text() != t) e->setText(t);
      return true;
    }
    bool ok = false;
    const int v = e->text().trimmed().toInt(&ok);
    if (!ok) {
      plat::MessageBox(Hwnd(), LoadStr(IDS_ENTER_INTEGER), "", plat::MB_OK | plat::MB_ICONWARNING);
      e->setFocus();
      e->selectAll();
      return false;
    }
    field = v;
    return true;
  };
  ++filling_;
  struct Leave {
    int& n;
    ~Leave() { --n; }
  } leave{filling_};
  if (!save) {
    Item<QLabel>(IDC_EDIT_NO)->setText(QString::fromStdString(m_strNo));
  }
  if (!number(IDC_EDIT_BR, m_nBrightness) || !number(IDC_EDIT_CT, m_nContrast) ||
      !number(IDC_EDIT_ST, m_nSaturation) || !number(IDC_EDIT_HUE, m_nHue)) {
    return false;
  }
  auto* title = Item<QLineEdit>(IDC_EDIT_TITLE);
  if (!save) {
    // The box takes at most a title's characters: a further key is refused without a word.
    title->setMaxLength(CameraPage::kTitleWidth);
    const QString t = QString::fromStdString(m_strTitle);
    if (title->text() != t) title->setText(t);
  } else {
    const std::string t = title->text().toStdString();
    if (checkTitle && t.size() > static_cast<std::size_t>(CameraPage::kTitleWidth)) {
      plat::MessageBox(Hwnd(), WithCount(61716, CameraPage::kTitleWidth), "", plat::MB_OK | plat::MB_ICONWARNING);
      title->setFocus();
      return false;
    }
    if (checkTitle) m_strTitle = t;
  }
  auto* cov = Item<ui::DropList>(IDC_EDIT_COV);
  auto* rec = Item<ui::DropList>(IDC_EDIT_REC);
  if (!save) {
    cov->SetCurSel(m_nCov);
    rec->SetCurSel(m_nRecord);
  } else {
    m_nCov = cov->GetCurSel();
    m_nRecord = rec->GetCurSel();
  }
  return true;
}

void CCameraEditDlg::OnChangeNumber(int id, int& field) {
  if (filling_) return;
  UpdateData(true, false);
  std::string text;
  if (!digitedit::Typed(Item<QLineEdit>(id), text) || text.empty()) return;
  // At most three significant digits matter: anything longer is above 255.
  field = static_cast<int>(std::min(digitedit::Value(digitedit::WithoutLeadingZeros(text), 3, 255), 255ul));
  UpdateData(false);
}

void CCameraEditDlg::OnChangeTitle() {
  if (filling_) return;
  UpdateData(true, false);
  auto* title = Item<QLineEdit>(IDC_EDIT_TITLE);
  const std::string text = title->text().toStdString();
  if (text.empty()) return;
  std::string kept = TitleCharacters(text);
  const bool tooLong = kept.size() > static_cast<std::size_t>(CameraPage::kTitleWidth);
  if (tooLong) kept.resize(CameraPage::kTitleWidth);
  m_strTitle = kept;
  UpdateData(false);
  title->setCursorPosition(static_cast<int>(m_strTitle.size()));
  if (tooLong) plat::MessageBox(Hwnd(), LoadStr(IDS_TITLE_TOO_LONG));
}

void CCameraEditDlg::OnOK() {
  if (UpdateData(true)) EndDialog(plat::IDOK);
}

// ---- page ---------------------------------------------------------------------------------------

// The page's rows and title fields are those of the DVRLIVE layout.
static_assert(CameraPage::kChannels == static_cast<int>(sect::DvrLiveSection::kChannels) &&
              CameraPage::kTitleWidth == static_cast<int>(sect::DvrLiveSection::kTitleWidth));

CameraPage::CameraPage(QWidget* parent) : ui::PropertyPage(QStringLiteral("DVR"), parent) {}

ui::ReportList* CameraPage::List() const { return Item<ui::ReportList>(IDC_CAMERA_LIST); }

std::string CameraPage::RowTitle(int row) const {
  const char* t = m_szTitle[row];
  return std::string(t, strnlen(t, kTitleWidth));
}

bool CameraPage::OnInitDialog() {
  auto* list = new ui::ReportList(this);
  list->setGeometry(0, 8, 310, 200);
  AddControl(IDC_CAMERA_LIST, list);
  auto* edit = new QPushButton(QStringLiteral("Edit"), this);
  edit->setGeometry(314, 170, 32, 30);
  edit->setAutoDefault(false);
  AddControl(IDC_CAMERA_EDIT, edit);
  OnCommand(IDC_CAMERA_EDIT, [this] { OnButtonEdit(); });
  list->onDoubleClick = [this](int) { OnButtonEdit(); };

  list->InsertColumn(0, QStringLiteral("NO."), 35);
  const int widths[] = {65, 30, 30, 30, 30, 40, 35};
  for (int c = 0; c < 7; ++c) list->InsertColumn(c + 1, Text(LoadStr(IDS_COL_TITLE + c)), widths[c]);

  pagemodel::IModel* model = pagemodel::Current();
  const int rows = model ? RowsOfModel(model->Device().productId) : 0;
  if (model) {
    model->WithSections([&](const pagemodel::Sections& sections) {
      const std::uint8_t* live = sections.Data(SYSCFG_DVRLIVE);
      const std::uint8_t* rec = sections.Data(SYSCFG_DVRREC);
      for (int i = 0; i < rows; ++i) {
        const sect::CameraChannelValues v = sect::ReadCameraChannel(live, rec, i);
        std::copy(v.title.begin(), v.title.end(), m_szTitle[i]);
        m_byBrightness[i] = v.brightness;
        m_byContrast[i] = v.contrast;
        m_bySaturation[i] = v.saturation;
        m_byHue[i] = v.hue;
        m_byCov[i] = v.covert;
        m_byRecord[i] = v.recordEnable;
      }
    });
  }
  for (int i = 0; i < rows; ++i) {
    list->InsertItem(i, QString::asprintf("%2d", i + 1));
    ShowRow(i);
  }
  return ui::PropertyPage::OnInitDialog();
}

void CameraPage::ShowRow(int row) {
  ui::ReportList* list = List();
  list->SetItemText(row, 1, QString::fromStdString(RowTitle(row)));
  list->SetItemText(row, 2, QString::number(m_byBrightness[row]));
  list->SetItemText(row, 3, QString::number(m_byContrast[row]));
  list->SetItemText(row, 4, QString::number(m_bySaturation[row]));
  list->SetItemText(row, 5, QString::number(m_byHue[row]));
  list->SetItemText(row, 6, YesNo(m_byCov[row]));
  list->SetItemText(row, 7, YesNo(m_byRecord[row]));
}

void CameraPage::OnButtonEdit() {
  ui::ReportList* list = List();
  const int row = list ? list->GetSelectedRow() : -1;
  if (row < 0 || row >= kChannels) {
    plat::MessageBox(Hwnd(), LoadStr(IDS_NO_ITEM_TO_EDIT));
    return;
  }
  CCameraEditDlg dlg(this);
  dlg.m_strNo = std::to_string(row + 1);
  dlg.m_nBrightness = m_byBrightness[row];
  dlg.m_nContrast = m_byContrast[row];
  dlg.m_nSaturation = m_bySaturation[row];
  dlg.m_nHue = m_byHue[row];
  dlg.m_strInitTitle = RowTitle(row);
  dlg.m_nCov = m_byCov[row];
  dlg.m_nRecord = m_byRecord[row];
  if (dlg.DoModal() != plat::IDOK) return;

  auto store = [this](int value, std::uint8_t& field) {
    const auto v = static_cast<std::uint8_t>(value);
    if (v != field) {
      field = v;
      m_bLiveChanged = 1;
    }
  };
  store(dlg.m_nBrightness, m_byBrightness[row]);
  store(dlg.m_nContrast, m_byContrast[row]);
  store(dlg.m_nSaturation, m_bySaturation[row]);
  store(dlg.m_nHue, m_byHue[row]);
  if (dlg.m_strTitle != RowTitle(row)) {
    std::memset(m_szTitle[row], 0, kTitleWidth);
    std::memcpy(m_szTitle[row], dlg.m_strTitle.data(), std::min<std::size_t>(dlg.m_strTitle.size(), kTitleWidth));
    m_bLiveChanged = 1;
  }
  // A list left without a choice keeps the stored value.
  if (dlg.m_nCov >= 0) store(dlg.m_nCov, m_byCov[row]);
  if (dlg.m_nRecord >= 0 && static_cast<std::uint8_t>(dlg.m_nRecord) != m_byRecord[row]) {
    m_byRecord[row] = static_cast<std::uint8_t>(dlg.m_nRecord);
    m_bRecordChanged = 1;
  }
  if (!m_bLiveChanged && !m_bRecordChanged) return;
  if (pagemodel::IModel* model = pagemodel::Current()) {
    model->WithSections([&](const pagemodel::Sections& sections) {
      sect::CameraChannelValues v;
      std::copy(m_szTitle[row], m_szTitle[row] + kTitleWidth, v.title.begin());
      v.brightness = m_byBrightness[row];
      v.contrast = m_byContrast[row];
      v.saturation = m_bySaturation[row];
      v.hue = m_byHue[row];
      v.covert = m_byCov[row];
      v.recordEnable = m_byRecord[row];
      sect::WriteCameraChannel(sections.Data(SYSCFG_DVRLIVE), sections.Data(SYSCFG_DVRREC), row, v);
    });
  }
  ShowRow(row);
}
