// The one-row motion-detection editor of a channel: DETECT, LS, SS, TS, RE, the alarm input
// type, and the detection area, marked on the channel's live picture after Setup.
//
// Pictures arrive through the main window's grab hand-off (the record's grab request, buffer
// and done semaphore), served by the editor's grab thread; the thread reduces a picture wider
// than 320 pixels to half its width and height and keeps its own copy, exchanged with the
// paint under a lock.
#pragma once
#include <QImage>
#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/types.h"
#include "ui/PropertySheet.h"
#include "ui/Window.h"

class QPushButton;

class CDetectionEditDlg : public ui::Window {
  Q_OBJECT

 public:
  enum : int {
    IDC_NO = 1413,
    IDC_DETECT = 1416,
    IDC_SETUP = 1068,
    IDC_LS = 1417,
    IDC_SS = 1418,
    IDC_TS = 1419,
    IDC_RE = 1420,
    IDC_ALARM = 1421,
    IDC_SELECT_ALL = 1423,
    IDC_CLEAR_ALL = 1424,
  };
  static constexpr int kAreaBytes = 24;
  static constexpr int kGridColumns = 16, kGridRows = 12;

  explicit CDetectionEditDlg(QWidget* parent = nullptr);
  ~CDetectionEditDlg() override;

  // Handed in and, after OK, back.
  int m_nAlarm = -1;
  int m_nDetect = -1;
  std::string m_strNo;
  int m_nLS = 0, m_nRE = 0, m_nSS = 0, m_nTS = 0;
  std::uint8_t m_byAreaMask[kAreaBytes] = {};

  void DoDataExchange(ui::DataExchange& dx);
  bool UpdateData(bool saveAndValidate);

  void OnSetup();
  void OnSelectAll();
  void OnClearAll();

  // Inspection (tests).
  bool PictureRunning() const;
  QSize PictureSize() const;
  std::vector<std::uint8_t> PictureCopy() const;  // bottom-up BGR, PictureSize() of it
  QImage ComposedPicture() const;                 // the picture with the grid, top row first
  const std::uint8_t* Highlight() const { return m_byHighlight; }
  QRect ViewRect() const { return QRect(m_wViewLeft, m_wViewTop, m_wViewWidth, m_wViewHeight); }
  int RowHeight() const { return m_wViewHeight / kGridRows; }
  static constexpr int kColumnWidth = 20;

  // Composes the grid of `area` and `highlight` over a bottom-up BGR picture.
  static void DrawAreaGrid(std::uint8_t* canvas, int width, int height, const std::uint8_t* area,
                           const std::uint8_t* highlight);
  // Every second pixel of every second row of a bottom-up BGR picture, read from the top row
  // down: the result (width / 2 by height / 2, bottom-up) shows drawn pixel (2r, 2c) at (r, c).
  static void HalvePicture(const std::uint8_t* src, int width, int height, std::uint8_t* dst);

 protected:
  bool OnInitDialog() override;
  void OnOK() override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  enum MouseState : std::uint8_t { kIdle = 1, kDragging = 2, kPressed = 4 };
  // The picture, written by the grab thread, read by the paint. The thread holds a reference
  // of its own: a stop that gives up on it frees nothing under it.
  struct PictureBlock {
    mutable std::mutex lock;
    bool running = false;
    std::uint16_t width = 0, height = 0;
    std::vector<std::uint8_t> pixels;
  };
  static plat::DWORD GrabThread(const std::shared_ptr<PictureBlock>& picture, plat::HANDLE quitEvent,
                                plat::HANDLE startEvent, plat::HWND notify);
  void OnChangeNumber(int id, int& field, int max);
  bool CellAt(QPoint p, int& row, int& column) const;
  void HighlightDrag();
  QRect CellsRect(const std::uint8_t* cells) const;
  QImage ComposeLocked() const;

  QPushButton* m_btnSelectAll = nullptr;
  QPushButton* m_btnClearAll = nullptr;
  std::uint16_t m_wViewWidth = 320, m_wViewHeight = 228;
  std::uint16_t m_wViewLeft = 0, m_wViewTop = 0;
  std::uint8_t m_byHighlight[kAreaBytes] = {};
  std::uint8_t m_byMouseState = kIdle;
  QPoint m_ptDragStart, m_ptDragNow;
  bool m_bSetupDone = false;

  std::shared_ptr<PictureBlock> m_picture = std::make_shared<PictureBlock>();

  plat::HANDLE m_hGrabThread = 0;
  plat::HANDLE m_hStartEvent = 0;
  plat::HANDLE m_hQuitEvent = 0;
};
