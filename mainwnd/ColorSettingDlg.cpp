#include "mainwnd/ColorSettingDlg.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QSlider>
#include <algorithm>

#include "core/Model.h"
#include "core/Strings.h"
#include "engine/AppRecord.h"
#include "session/OperatorCommands.h"
#include "ui/VtxButton.h"

namespace {

QRect LTRB(int l, int t, int r, int b) { return QRect(l, t, r - l, b - t); }

// The skin pictures, in the order of the popup's skin table.
const char* const kSkinFiles[9] = {
    "BMP\\TitleLeft.bmp",    "BMP\\TitleRight.bmp",  "BMP\\TilteBar_ess.bmp",
    "BMP\\LeftSide_ess.bmp", "BMP\\RightSide_ess.bmp", "BMP\\BottomLeft.bmp",
    "BMP\\BottomRight.bmp",  "BMP\\Bottom_ess.bmp",  "BMP\\Player_Logo.bmp",
};

// Where each skin picture is stretched.
const QRect kSkinRects[9] = {
    LTRB(0, 0, 10, 32),    LTRB(294, 0, 304, 32),   LTRB(10, 0, 294, 32),
    LTRB(0, 32, 10, 183),  LTRB(294, 32, 304, 183), LTRB(0, 183, 10, 196),
    LTRB(294, 183, 304, 196), LTRB(10, 183, 294, 196), LTRB(10, 7, 31, 22),
};

struct RowControls {
  int slider;
  int edit;
  int top;
};
// Brightness, contrast, hue, saturation (hidden).
const RowControls kRows[4] = {
    {CColorSettingDlg::IDC_SLIDER_BRIGHTNESS, CColorSettingDlg::IDC_EDIT_BRIGHTNESS, 47},
    {CColorSettingDlg::IDC_SLIDER_CONTRAST, CColorSettingDlg::IDC_EDIT_CONTRAST, 87},
    {CColorSettingDlg::IDC_SLIDER_HUE, CColorSettingDlg::IDC_EDIT_HUE, 127},
    {CColorSettingDlg::IDC_SLIDER_SATURATION, CColorSettingDlg::IDC_EDIT_SATURATION, 167},
};

struct IconRow {
  QRect rect;
  int id;
  const char* picture;
};
const IconRow kIcons[3] = {
    {LTRB(15, 47, 35, 67), 8523, "BMP\\Dialog_Brightness.bmp"},
    {LTRB(15, 87, 35, 107), 8524, "BMP\\Dialog_Contrast.bmp"},
    {LTRB(15, 127, 35, 147), 8525, "BMP\\Dialog_Hue.bmp"},
};

int Clamp255(int v) { return std::clamp(v, 0, 255); }

}  // namespace

CColorSettingDlg::CColorSettingDlg(QWidget* parent) : ui::Window(parent) {
  MakeFrameless();
  SetDragBySurface(true);  // a press anywhere on its own surface drags it
  // Template controls: the three push buttons, four sliders and four edits.
  auto button = [this](int id, const QRect& r) {
    auto* b = new CVtxButton(this);
    b->Create(r, this, id);
    AddControl(id, b);
  };
  button(IDC_APPLY, LTRB(125, 160, 213, 185));
  button(IDC_CANCEL_BUTTON, LTRB(216, 160, 260, 185));
  button(IDC_DEFAULT, LTRB(34, 160, 122, 185));
  for (int row = 0; row < 4; ++row) {
    auto* slider = new QSlider(Qt::Horizontal, this);
    AddControl(kRows[row].slider, slider);
    auto* edit = new QLineEdit(this);
    AddControl(kRows[row].edit, edit);
    const int sliderId = kRows[row].slider;
    connect(slider, &QSlider::valueChanged, this, [this, sliderId](int value) {
      if (!m_updating) OnHScroll(sliderId, 4, value);
    });
    connect(edit, &QLineEdit::textEdited, this, [this, row](const QString&) { OnChangeEdit(row); });
  }
  OnCommand(IDC_APPLY, [this] { OnOK(); });
  OnCommand(IDC_CANCEL_BUTTON, [this] { OnCancel(); });
  OnCommand(IDC_CLOSE_BUTTON, [this] { OnCancel(); });
  OnCommand(IDC_DEFAULT, [this] { OnDefault(); });
}

CColorSettingDlg::~CColorSettingDlg() = default;

QSlider* CColorSettingDlg::Slider(int id) const { return Item<QSlider>(id); }
QLineEdit* CColorSettingDlg::Edit(int id) const { return Item<QLineEdit>(id); }

std::string CColorSettingDlg::ProductId() const { return g_lpApp ? g_lpApp->GetProductID() : std::string(); }

int* CColorSettingDlg::PosMember(int row) {
  switch (row) {
    case 0: return &m_nBrightnessPos;
    case 1: return &m_nContrastPos;
    case 2: return &m_nHuePos;
    default: return &m_nSaturationPos;
  }
}
int* CColorSettingDlg::ValueMember(int row) {
  switch (row) {
    case 0: return &m_nBrightness;
    case 1: return &m_nContrast;
    case 2: return &m_nHue;
    default: return &m_nSaturation;
  }
}

bool CColorSettingDlg::OnInitDialog() {
  // 1. Size, shape and place: centred on the work area.
  resize(kWidth, kHeight);
  SetWindowRegion(ui::RoundRectRegion(0, 0, kWidth, kHeight, 5, 5));
  QRect work(0, 0, 1024, 768);
  if (QScreen* screen = QGuiApplication::primaryScreen()) work = screen->availableGeometry();
  move(work.left() + (work.width() - kWidth) / 2, work.top() + (work.height() - kHeight) / 2);
  raise();
  // 2. Skin pictures; a missing one leaves its part plain and the set-up goes on, so the
  // popup never shows (and later sends) values it did not set up.
  for (int i = 0; i < 9; ++i) m_skin[i].Load(kSkinFiles[i]);
  // 3. The template buttons' pictures (file names from the string table).
  auto pictures = [this](int id, unsigned flat, unsigned over) {
    if (auto* b = Item<CVtxButton>(id)) b->LoadButtonBitmap(LoadStr(flat), LoadStr(over), LoadStr(over), VBS_PUSH);
  };
  pictures(IDC_APPLY, 4210, 4211);
  pictures(IDC_CANCEL_BUTTON, 4208, 4209);
  pictures(IDC_DEFAULT, 4212, 4213);
  // 4. Sliders and edits; saturation stays hidden.
  for (int row = 0; row < 3; ++row) {
    Slider(kRows[row].slider)->setGeometry(60, kRows[row].top, 150, 20);
    Edit(kRows[row].edit)->setGeometry(240, kRows[row].top, 40, 20);
  }
  Slider(IDC_SLIDER_SATURATION)->hide();
  Edit(IDC_EDIT_SATURATION)->hide();
  // 5. The close button.
  auto* close = new CVtxButton(this);
  close->Create(LTRB(280, 8, 293, 21), this, IDC_CLOSE_BUTTON);
  AddControl(IDC_CLOSE_BUTTON, close);
  close->LoadButtonBitmap("BMP\\Title_Bar_Close.bmp", "BMP\\Title_Bar_Close_a.bmp", "BMP\\Title_Bar_Close_a.bmp",
                          VBS_HOVER);
  // 6. Slider ranges; a page click moves by the page size.
  m_updating = true;
  for (const RowControls& r : kRows) {
    QSlider* s = Slider(r.slider);
    s->setRange(0, 255);
    s->setPageStep(kPageSize);
    s->setSingleStep(1);
    s->setTickInterval(1);
  }
  m_updating = false;
  // 7. Shown values from the device's.
  const ColorValues shown =
      DeviceToShown(ProductId(), ColorValues{m_nDeviceContrast, m_nDeviceBrightness, m_nDeviceHue});
  m_nBrightness = Clamp255(shown.brightness);
  m_nContrast = Clamp255(shown.contrast);
  m_nHue = Clamp255(shown.hue);
  m_nBrightnessPos = m_nBrightness;
  m_nContrastPos = m_nContrast;
  m_nHuePos = m_nHue;
  m_nSaturationPos = m_nSaturation;
  // 8-9. Tooltips and the row icons (no click handler).
  for (const IconRow& icon : kIcons) {
    auto* b = new CVtxButton(this);
    b->Create(icon.rect, this, icon.id);
    b->setToolTip(QString::fromLatin1(LoadStr(static_cast<unsigned>(icon.id))));
    b->LoadButtonBitmap(icon.picture, VBS_SINGLE);
  }
  // 10. Members into the controls.
  UpdateData(false);
  return true;
}

void CColorSettingDlg::UpdateData(bool save) {
  if (save) {
    for (int row = 0; row < 4; ++row) {
      *PosMember(row) = Slider(kRows[row].slider)->value();
      bool ok = false;
      const int v = Edit(kRows[row].edit)->text().toInt(&ok);
      if (ok) *ValueMember(row) = Clamp255(v);
    }
    return;
  }
  m_updating = true;
  for (int row = 0; row < 4; ++row) {
    Slider(kRows[row].slider)->setValue(*PosMember(row));
    Edit(kRows[row].edit)->setText(QString::number(*ValueMember(row)));
  }
  m_updating = false;
}

void CColorSettingDlg::OnHScroll(int sliderId, int code, int pos) {
  QSlider* s = Slider(sliderId);
  if (!s) return;
  bool changed = true;
  int value = s->value();
  if (code >= 4 && code <= 7) {
    value = pos;
  } else if (code < 0 || code > 3) {
    changed = false;  // the slider has already moved by a line or a page: its position counts
  }
  for (int row = 0; row < 4; ++row) {
    if (kRows[row].slider != sliderId || !changed) continue;
    *PosMember(row) = Clamp255(value);
    *ValueMember(row) = Clamp255(value);
  }
  UpdateData(false);
}

void CColorSettingDlg::OnChangeEdit(int row) {
  if (row < 0 || row > 3) return;
  QLineEdit* e = Edit(kRows[row].edit);
  std::string text = e->text().toStdString();
  FilterDigits(text, 1);
  if (!text.empty()) {
    // Long digit strings are past the bound anyway.
    const int v = text.size() > 4 ? 255 : std::stoi(text);
    *ValueMember(row) = Clamp255(v);
  }
  *PosMember(row) = *ValueMember(row);
  UpdateData(false);
}

void CColorSettingDlg::OnDefault() {
  const ColorDefaults d = ColorDefaultsFor(ProductId());
  m_nBrightness = m_nBrightnessPos = d.brightness;
  m_nContrast = m_nContrastPos = d.contrast;
  m_nHue = m_nHuePos = d.hue;
  m_nSaturation = m_nSaturationPos = d.saturation;
  UpdateData(false);
}

void CColorSettingDlg::OnOK() {
  UpdateData(true);
  const ColorValues device = ShownToDevice(ProductId(), ColorValues{m_nContrast, m_nBrightness, m_nHue});
  m_nDeviceBrightness = device.brightness;
  m_nDeviceContrast = device.contrast;
  m_nDeviceHue = device.hue;
  if (!SendColorValues(m_nDeviceContrast, m_nDeviceBrightness, m_nDeviceHue)) MessageBoxById(Hwnd(), IDS_SEND_COMMAND_TIMEOUT);
}

void CColorSettingDlg::OnCancel() { EndDialog(plat::IDCANCEL); }

void CColorSettingDlg::mousePressEvent(QMouseEvent* event) {
  ui::Window::mousePressEvent(event);
}

void CColorSettingDlg::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    event->accept();
    OnOK();
    return;
  }
  if (key == Qt::Key_Escape) {
    event->accept();
    OnCancel();
    return;
  }
  ui::Window::keyPressEvent(event);
}

void CColorSettingDlg::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), QColor(0x1B, 0x25, 0x33));
  for (int i = 0; i < 9; ++i) {
    if (!m_skin[i].IsNull()) painter.drawImage(kSkinRects[i], m_skin[i].Image());
  }
  const QColor panel(0xDD, 0xDD, 0xDD);
  painter.setPen(panel);
  painter.setBrush(panel);
  painter.drawRect(LTRB(10, 32, 294, 183).adjusted(0, 0, -1, -1));
  painter.setPen(Qt::black);
  for (const RowControls& r : kRows) {
    if (r.slider == IDC_SLIDER_SATURATION) continue;
    painter.drawText(QRect(50, r.top, 10, 20), Qt::AlignLeft | Qt::AlignTop, "-");
    painter.drawText(QRect(215, r.top, 10, 20), Qt::AlignLeft | Qt::AlignTop, "+");
  }
}
