#include "config/CDetectionEditDlg.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <algorithm>
#include <cstring>

#include "config/DigitEdit.h"
#include "config/PageModel.h"
#include "core/Model.h"
#include "platform/kernel.h"
#include "platform/messages.h"
#include "platform/thread.h"
#include "ui/Controls.h"

namespace {

// Posted by the grab thread when a new picture is in the editor's block.
constexpr unsigned kMsgPictureArrived = plat::WM_USER + 0x7D1;
constexpr int kDialogWidth = 480;
constexpr int kRowHeightClosed = 50;
constexpr int kMaxPictureWidth = 320;

// Cell n = 16 r + c is bit n mod 8 of byte (n div 8) xor 1: row r is the big-endian word of
// bytes 2r and 2r + 1, bit c of it column c.
bool CellBit(const std::uint8_t* mask, int row, int column) {
  const int n = row * 16 + column;
  return (mask[(n / 8) ^ 1] >> (n % 8)) & 1;
}
void SetCellBit(std::uint8_t* mask, int row, int column) {
  const int n = row * 16 + column;
  mask[(n / 8) ^ 1] = static_cast<std::uint8_t>(mask[(n / 8) ^ 1] | (1u << (n % 8)));
}
void ToggleCellBit(std::uint8_t* mask, int row, int column) {
  const int n = row * 16 + column;
  mask[(n / 8) ^ 1] = static_cast<std::uint8_t>(mask[(n / 8) ^ 1] ^ (1u << (n % 8)));
}
bool AnyBit(const std::uint8_t* mask) {
  for (int i = 0; i < CDetectionEditDlg::kAreaBytes; ++i)
    if (mask[i]) return true;
  return false;
}


}  // namespace

CDetectionEditDlg::CDetectionEditDlg(QWidget* parent) : ui::Window(parent) {
  setWindowTitle(QStringLiteral("Edit"));
  setWindowFlags((windowFlags() | Qt::CustomizeWindowHint | Qt::WindowTitleHint) & ~Qt::WindowCloseButtonHint);
  pagemodel::IModel* model = pagemodel::Current();
  if (model && model->VideoMode() != 0) m_wViewHeight = 276;
  m_picture->pixels.assign(kPictureBufferSize, 0);
  m_hStartEvent = plat::CreateEvent(false, false);
  m_hQuitEvent = plat::CreateEvent(false, false);
  OnMessage(kMsgPictureArrived, [this](plat::WPARAM, plat::LPARAM) {
    update(ViewRect());
    return 0;
  });
}

CDetectionEditDlg::~CDetectionEditDlg() {
  // Quit first, then withdraw the request, then wait for the thread to end.
  plat::SetEvent(m_hQuitEvent);
  pagemodel::IModel* model = pagemodel::Current();
  if (model) model->SetGrabRequest(0);
  if (m_hGrabThread) {
    plat::StopThread(m_hGrabThread, 100);
    plat::CloseHandle(m_hGrabThread);
  }
  // A request the thread made after the first clearing is withdrawn as well.
  if (model) model->SetGrabRequest(0);
  plat::CloseHandle(m_hStartEvent);
  plat::CloseHandle(m_hQuitEvent);
}

bool CDetectionEditDlg::OnInitDialog() {
  const struct {
    const char* text;
    int x, width;  // as wide as the control under it
  } labels[] = {{"NO.", 6, 36},  {"DETECT", 48, 80}, {"AREA", 136, 64}, {"LS", 208, 34},
                {"SS", 246, 34}, {"TS", 284, 34},    {"RE", 322, 34},   {"ALARM", 360, 70}};
  for (const auto& l : labels) {
    auto* label = new QLabel(QString::fromLatin1(l.text), this);
    label->setGeometry(l.x, 3, l.width, 16);
  }
  auto* no = new QLabel(this);
  no->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  no->setAlignment(Qt::AlignCenter);
  no->setGeometry(6, 22, 36, 22);
  AddControl(IDC_NO, no);

  auto* detect = new ui::DropList(this);
  detect->AddString(QStringLiteral("OFF"));
  detect->AddString(QStringLiteral("ON"));
  detect->setGeometry(48, 22, 80, 22);
  AddControl(IDC_DETECT, detect);

  auto* setup = new QPushButton(QStringLiteral("Setup"), this);
  setup->setAutoDefault(false);
  setup->setGeometry(136, 20, 64, 26);
  AddControl(IDC_SETUP, setup);
  OnCommand(IDC_SETUP, [this] { OnSetup(); });

  const struct {
    int id;
    int x;
    int* field;
    int max;
  } numbers[] = {{IDC_LS, 208, &m_nLS, 15}, {IDC_SS, 246, &m_nSS, 15}, {IDC_TS, 284, &m_nTS, 15}, {IDC_RE, 322, &m_nRE, 61}};
  for (const auto& n : numbers) {
    auto* edit = new ui::DigitsEdit(this);
    edit->setAlignment(Qt::AlignCenter);
    edit->setGeometry(n.x, 22, 34, 22);
    AddControl(n.id, edit);
    const int id = n.id, max = n.max;
    int* field = n.field;
    connect(edit, &QLineEdit::textEdited, this, [this, id, field, max] { OnChangeNumber(id, *field, max); });
  }

  // The alarm input names of the customer variant, the index means the same in both.
  auto* alarm = new ui::DropList(this);
  if (HasCapability(CAP_OEM_VARIANT_1)) {
    for (const char* t : {"N.O.", "N.C.", "OFF"}) alarm->AddString(QString::fromLatin1(t));
  } else {
    for (const char* t : {"LOW", "HIGH", "OFF"}) alarm->AddString(QString::fromLatin1(t));
  }
  alarm->setGeometry(360, 22, 70, 22);
  AddControl(IDC_ALARM, alarm);

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setDefault(true);
  ok->setGeometry(436, 3, 38, 43);
  AddControl(plat::IDOK, ok);
  OnCommand(plat::IDOK, [this] { OnOK(); });

  m_btnSelectAll = new QPushButton(QStringLiteral("( + )\nSELECT\nALL"), this);
  m_btnClearAll = new QPushButton(QStringLiteral("( - )\nCLEAR\nALL"), this);
  for (QPushButton* b : {m_btnSelectAll, m_btnClearAll}) {
    b->setAutoDefault(false);
    b->hide();
  }
  AddControl(IDC_SELECT_ALL, m_btnSelectAll);
  AddControl(IDC_CLEAR_ALL, m_btnClearAll);
  OnCommand(IDC_SELECT_ALL, [this] { OnSelectAll(); });
  OnCommand(IDC_CLEAR_ALL, [this] { OnClearAll(); });

  setMouseTracking(true);
  setFixedSize(kDialogWidth, kRowHeightClosed);

  m_hGrabThread = plat::CreateThread(
      [picture = m_picture, quit = m_hQuitEvent, start = m_hStartEvent, notify = Hwnd()] {
        return GrabThread(picture, quit, start, notify);
      },
      nullptr, "detect-grab");
  UpdateData(false);
  return true;
}

void CDetectionEditDlg::DoDataExchange(ui::DataExchange& dx) {
  dx.ListIndex(IDC_ALARM, m_nAlarm);
  dx.ListIndex(IDC_DETECT, m_nDetect);
  if (!dx.Saving()) SetDlgItemText(IDC_NO, QString::fromStdString(m_strNo));
  dx.Integer(IDC_LS, m_nLS);
  dx.Integer(IDC_RE, m_nRE);
  dx.Integer(IDC_SS, m_nSS);
  dx.Integer(IDC_TS, m_nTS);
}

bool CDetectionEditDlg::UpdateData(bool saveAndValidate) {
  ui::DataExchange dx(*this, saveAndValidate);
  DoDataExchange(dx);
  return !dx.Failed();
}

void CDetectionEditDlg::OnOK() {
  if (!UpdateData(true)) return;
  EndDialog(plat::IDOK);
}

void CDetectionEditDlg::OnChangeNumber(int id, int& field, int max) {
  std::string text;
  if (!digitedit::Typed(Item<QLineEdit>(id), text) || text.empty()) return;
  // Long digit strings are above every maximum.
  field = std::clamp(static_cast<int>(digitedit::Value(text, 6, static_cast<unsigned long>(max))), 0, max);
  if (auto* l = Item<ui::DropList>(IDC_DETECT)) m_nDetect = l->GetCurSel();
  if (auto* l = Item<ui::DropList>(IDC_ALARM)) m_nAlarm = l->GetCurSel();
  UpdateData(false);
}

void CDetectionEditDlg::OnSetup() {
  if (m_bSetupDone) return;
  m_bSetupDone = true;
  const float s = static_cast<float>(pagemodel::Scale());
  setFixedSize(width(), height() + m_wViewHeight + 20);
  EnableDlgItem(IDC_SETUP, false);

  // The hand-off: withdraw a request, take back a done count left from an earlier grab (the
  // semaphore stays the one the drawing releases), then ask again.
  pagemodel::IModel* model = pagemodel::Current();
  if (model) {
    model->SetGrabRequest(0);
    if (plat::HANDLE sem = model->GrabDoneSemaphore()) {
      while (plat::WaitForSingleObject(sem, 0) == plat::WAIT_OBJECT_0) {
      }
    }
    model->SetGrabRequest(1);
  }
  // The picture size until the first picture says otherwise.
  int picW = kMaxPictureWidth, picH = 240;
  if (model) {
    const int fw = model->FrameWidth(), fh = model->FrameHeight();
    if (fw > 0 && fh > 0) {
      picW = fw > kMaxPictureWidth ? kMaxPictureWidth : fw;
      picH = fh;
    }
  }
  {
    std::lock_guard<std::mutex> lock(m_picture->lock);
    if (!m_picture->running) {
      m_picture->width = static_cast<std::uint16_t>(picW);
      m_picture->height = static_cast<std::uint16_t>(picH);
    }
  }
  m_wViewLeft = static_cast<std::uint16_t>((width() - m_wViewWidth) / 2);
  m_wViewTop = static_cast<std::uint16_t>(60 * s);
  const int x = m_wViewLeft + m_wViewWidth * 65 / 64;
  const int bw = static_cast<int>(65 * s), bh = static_cast<int>(60 * s);
  m_btnSelectAll->setGeometry(x, m_wViewTop + m_wViewHeight / 8, bw, bh);
  m_btnClearAll->setGeometry(x, m_wViewTop + m_wViewHeight * 5 / 8, bw, bh);
  m_btnSelectAll->show();
  m_btnClearAll->show();
  update();
  plat::SetEvent(m_hStartEvent);
}

void CDetectionEditDlg::OnSelectAll() {
  std::memset(m_byAreaMask, 0x00, sizeof m_byAreaMask);
  update();
}

void CDetectionEditDlg::OnClearAll() {
  std::memset(m_byAreaMask, 0xFF, sizeof m_byAreaMask);
  update();
}

// ---- the grab thread -----------------------------------------------------------------------------

plat::DWORD CDetectionEditDlg::GrabThread(const std::shared_ptr<PictureBlock>& picture, plat::HANDLE quitEvent,
                                          plat::HANDLE startEvent, plat::HWND notify) {
  // The quit event first: when both are set, quitting wins.
  const plat::HANDLE start[2] = {quitEvent, startEvent};
  if (plat::WaitForMultipleObjects(2, start, false, plat::INFINITE) != plat::WAIT_OBJECT_0 + 1) return 0;
  pagemodel::IModel* model = pagemodel::Current();
  if (!model) return 0;
  const plat::HANDLE sem = model->GrabDoneSemaphore();
  if (!sem) return 0;
  for (;;) {
    model->SetGrabRequest(1);
    const plat::HANDLE waits[2] = {quitEvent, sem};
    if (plat::WaitForMultipleObjects(2, waits, false, plat::INFINITE) != plat::WAIT_OBJECT_0 + 1) return 0;
    // The drawing wrote the buffer and cleared the request; until we ask again it is ours.
    const pagemodel::GrabbedPicture grabbed = model->Grabbed();
    const int w = grabbed.width, h = grabbed.height;
    const std::uint8_t* grab = grabbed.pixels;
    if (!grab || w <= 0 || h <= 0 || std::size_t(w) * std::size_t(h) * 3 > kPictureBufferSize) continue;
    {
      std::lock_guard<std::mutex> lock(picture->lock);
      if (w > kMaxPictureWidth) {
        HalvePicture(grab, w, h, picture->pixels.data());
        picture->width = static_cast<std::uint16_t>(w / 2);
        picture->height = static_cast<std::uint16_t>(h / 2);
      } else {
        std::memcpy(picture->pixels.data(), grab, std::size_t(w) * std::size_t(h) * 3);
        picture->width = static_cast<std::uint16_t>(w);
        picture->height = static_cast<std::uint16_t>(h);
      }
      picture->running = true;
    }
    plat::PostMessage(notify, kMsgPictureArrived, 0, 0);
  }
}

void CDetectionEditDlg::HalvePicture(const std::uint8_t* src, int width, int height, std::uint8_t* dst) {
  const int w2 = width / 2, h2 = height / 2;
  for (int r = 0; r < h2; ++r) {
    // Top-based row 2r of the source is buffer row height - 1 - 2r; row r of the result is
    // buffer row h2 - 1 - r.
    const std::uint8_t* s = src + std::size_t(height - 1 - 2 * r) * std::size_t(width) * 3;
    std::uint8_t* d = dst + std::size_t(h2 - 1 - r) * std::size_t(w2) * 3;
    for (int c = 0; c < w2; ++c) {
      d[3 * c] = s[6 * c];
      d[3 * c + 1] = s[6 * c + 1];
      d[3 * c + 2] = s[6 * c + 2];
    }
  }
}

// ---- the picture ---------------------------------------------------------------------------------

void CDetectionEditDlg::DrawAreaGrid(std::uint8_t* canvas, int width, int height, const std::uint8_t* area,
                                     const std::uint8_t* highlight) {
  const int cw = width / kGridColumns, ch = height / kGridRows;
  if (cw <= 0 || ch <= 0) return;
  auto px = [&](int x, int yTop) { return canvas + (std::size_t(height - 1 - yTop) * std::size_t(width) + x) * 3; };
  for (int n = 0; n < kGridColumns * kGridRows; ++n) {
    const int r = n / kGridColumns, c = n % kGridColumns;
    const int x0 = c * cw, y0 = r * ch, x1 = x0 + cw - 1, y1 = y0 + ch - 1;
    const bool inArea = CellBit(area, r, c);
    const bool lit = CellBit(highlight, r, c);
    if (inArea) {
      for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
          std::uint8_t* p = px(x, y);
          p[0] = static_cast<std::uint8_t>(p[0] * 155 / 255);
          p[1] = static_cast<std::uint8_t>(p[1] * 155 / 255);
          p[2] = static_cast<std::uint8_t>(p[2] * 155 / 255 + 100);
        }
      }
    }
    if (!lit && !inArea) continue;
    // Blue (B 255) for the highlight, else yellow (R 255, G 255).
    const std::uint8_t b = lit ? 255 : 0, g = lit ? 0 : 255, rr = lit ? 0 : 255;
    auto put = [&](int x, int y) {
      std::uint8_t* p = px(x, y);
      p[0] = b;
      p[1] = g;
      p[2] = rr;
    };
    for (int x = x0; x <= x1; ++x) {
      put(x, y0);
      put(x, y1);
    }
    for (int y = y0; y <= y1; ++y) {
      put(x0, y);
      put(x1, y);
    }
  }
}

QImage CDetectionEditDlg::ComposeLocked() const {
  const int w = m_picture->width, h = m_picture->height;
  if (!m_picture->running || w <= 0 || h <= 0) return QImage();
  const std::vector<std::uint8_t>& pixels = m_picture->pixels;
  std::vector<std::uint8_t> canvas(pixels.begin(), pixels.begin() + std::ptrdiff_t(w) * h * 3);
  DrawAreaGrid(canvas.data(), w, h, m_byAreaMask, m_byHighlight);
  QImage image(w, h, QImage::Format_RGB888);
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* s = canvas.data() + std::size_t(h - 1 - y) * std::size_t(w) * 3;
    std::uint8_t* d = image.scanLine(y);
    for (int x = 0; x < w; ++x) {
      d[3 * x] = s[3 * x + 2];
      d[3 * x + 1] = s[3 * x + 1];
      d[3 * x + 2] = s[3 * x];
    }
  }
  return image;
}

QImage CDetectionEditDlg::ComposedPicture() const {
  std::lock_guard<std::mutex> lock(m_picture->lock);
  return ComposeLocked();
}

bool CDetectionEditDlg::PictureRunning() const {
  std::lock_guard<std::mutex> lock(m_picture->lock);
  return m_picture->running;
}

QSize CDetectionEditDlg::PictureSize() const {
  std::lock_guard<std::mutex> lock(m_picture->lock);
  return QSize(m_picture->width, m_picture->height);
}

std::vector<std::uint8_t> CDetectionEditDlg::PictureCopy() const {
  std::lock_guard<std::mutex> lock(m_picture->lock);
  const std::vector<std::uint8_t>& pixels = m_picture->pixels;
  return std::vector<std::uint8_t>(pixels.begin(),
                                   pixels.begin() + std::ptrdiff_t(m_picture->width) * m_picture->height * 3);
}

void CDetectionEditDlg::paintEvent(QPaintEvent* event) {
  ui::Window::paintEvent(event);
  QImage picture = ComposedPicture();
  if (picture.isNull()) return;  // nothing before the first picture
  QPainter painter(this);
  painter.drawImage(ViewRect(), picture);
}

// ---- pointer input -------------------------------------------------------------------------------

bool CDetectionEditDlg::CellAt(QPoint p, int& row, int& column) const {
  const int rh = RowHeight();
  if (!PictureRunning() || rh <= 0) return false;
  if (p.x() < m_wViewLeft || p.x() >= m_wViewLeft + kGridColumns * kColumnWidth) return false;
  if (p.y() < m_wViewTop || p.y() >= m_wViewTop + kGridRows * rh) return false;
  column = (p.x() - m_wViewLeft) / kColumnWidth;
  row = (p.y() - m_wViewTop) / rh;
  return true;
}

QRect CDetectionEditDlg::CellsRect(const std::uint8_t* cells) const {
  QRect out;
  const int rh = RowHeight();
  for (int r = 0; r < kGridRows; ++r) {
    for (int c = 0; c < kGridColumns; ++c) {
      if (!CellBit(cells, r, c)) continue;
      out |= QRect(m_wViewLeft + c * kColumnWidth, m_wViewTop + r * rh, kColumnWidth, rh).adjusted(-5, -5, 5, 5);
    }
  }
  return out;
}

void CDetectionEditDlg::HighlightDrag() {
  // Cells whose closed rectangle meets the closed rectangle of the drag, edges included.
  const int rh = RowHeight();
  const int left = std::min(m_ptDragStart.x(), m_ptDragNow.x()), right = std::max(m_ptDragStart.x(), m_ptDragNow.x());
  const int top = std::min(m_ptDragStart.y(), m_ptDragNow.y()), bottom = std::max(m_ptDragStart.y(), m_ptDragNow.y());
  std::memset(m_byHighlight, 0, sizeof m_byHighlight);
  for (int r = 0; r < kGridRows; ++r) {
    for (int c = 0; c < kGridColumns; ++c) {
      const int cl = m_wViewLeft + c * kColumnWidth, cr = cl + kColumnWidth;
      const int ct = m_wViewTop + r * rh, cb = ct + rh;
      if (cl <= right && left <= cr && ct <= bottom && top <= cb) SetCellBit(m_byHighlight, r, c);
    }
  }
}

void CDetectionEditDlg::mousePressEvent(QMouseEvent* event) {
  int r = 0, c = 0;
  if (event->button() == Qt::LeftButton && m_byMouseState == kIdle && CellAt(event->position().toPoint(), r, c)) {
    m_byMouseState = kPressed;
  }
  ui::Window::mousePressEvent(event);
}

void CDetectionEditDlg::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  int r = 0, c = 0;
  const bool inside = CellAt(p, r, c);
  switch (m_byMouseState) {
    case kIdle:
      if (inside && !CellBit(m_byHighlight, r, c)) {
        const QRect before = CellsRect(m_byHighlight);
        std::memset(m_byHighlight, 0, sizeof m_byHighlight);
        SetCellBit(m_byHighlight, r, c);
        update(before | CellsRect(m_byHighlight));
      } else if (!inside && AnyBit(m_byHighlight)) {
        std::memset(m_byHighlight, 0, sizeof m_byHighlight);
        update();
      }
      break;
    case kPressed:
      if (inside) {
        const QRect before = CellsRect(m_byHighlight);
        std::memset(m_byHighlight, 0, sizeof m_byHighlight);
        m_ptDragStart = p;
        m_ptDragNow = p;
        SetCellBit(m_byHighlight, r, c);
        update(before | CellsRect(m_byHighlight));
        m_byMouseState = kDragging;
      } else if (AnyBit(m_byHighlight)) {
        std::memset(m_byHighlight, 0, sizeof m_byHighlight);
        update();
      }
      break;
    case kDragging:
      if (inside && p != m_ptDragStart) {
        m_ptDragNow = p;
        HighlightDrag();
        update();
      }
      break;
    default:
      break;
  }
  ui::Window::mouseMoveEvent(event);
}

void CDetectionEditDlg::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    const QPoint p = event->position().toPoint();
    int r = 0, c = 0;
    if (m_byMouseState == kPressed) {
      if (CellAt(p, r, c)) {
        ToggleCellBit(m_byAreaMask, r, c);
        update();
      }
      m_byMouseState = kIdle;
    } else if (m_byMouseState == kDragging) {
      for (int i = 0; i < kAreaBytes; ++i) m_byAreaMask[i] ^= m_byHighlight[i];
      std::memset(m_byHighlight, 0, sizeof m_byHighlight);
      update();
      m_byMouseState = kIdle;
    }
  }
  ui::Window::mouseReleaseEvent(event);
}
