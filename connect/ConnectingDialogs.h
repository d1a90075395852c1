// Dialogs the client carries that no window opens: the connecting wait dialog, the buzzer
// test window, the MPEG-4 stream settings, the about box and a second address book.
#pragma once
#include <QString>
#include <functional>
#include <string>

#include "platform/types.h"
#include "ui/Surface.h"
#include "ui/Window.h"

class CCgiRequest;
class QLabel;
class QLineEdit;
class QCheckBox;
class CVtxButton;

// Ends the whole program (the connecting dialog's time-out and Cancel); tests replace it.
using ProgramExit = std::function<void(int code)>;
void SetProgramExit(ProgramExit exitFunction);

// A borderless wait dialog: "Connecting" and a growing row of dots every 100 ms until the
// given event is seen (it ends with 0); after 20 s it shows "Cann't detect server!!" and ends
// the program; Cancel ends the program too.
class CConnectingDlg : public ui::Window {
  Q_OBJECT

 public:
  static constexpr int kStatusId = 1092;
  static constexpr int kEmptyLineId = 1002;
  static constexpr int kCancelId = 1197;
  static constexpr int kDotTimer = 1;
  static constexpr int kGiveUpTimer = 2;

  CConnectingDlg(QWidget* parent, plat::HANDLE connectedEvent);
  bool OnInitDialog() override;
  void OnTimer(int id) override;
  void OnCancel() override;

  int m_nDots = 0;

 private:
  plat::HANDLE m_hConnectedEvent;
};

// A test window for the recorder's buzzer.
class CBuzzerTestDlg : public ui::Window {
  Q_OBJECT

 public:
  static constexpr int kLongId = 1068;
  static constexpr int kShortId = 1069;
  static constexpr int kMultiChId = 1468;
  static constexpr int kPollTimer = 1;
  static constexpr unsigned kMsgPoll = 0x1105;

  // `send` carries a built request to the recorder (default: the request function, 15 s
  // each way, no reply read).
  explicit CBuzzerTestDlg(QWidget* parent = nullptr,
                          std::function<int(const CCgiRequest&)> send = nullptr);
  ~CBuzzerTestDlg() override;
  bool OnInitDialog() override;
  void OnTimer(int id) override;

  int m_nLastBuzzer = 0;  // 1 long, 2 short
  plat::DWORD m_dwLastTick = 0;
  bool m_bMultiCh = false;

 private:
  void Send(const char* time, bool timeFirst);
  std::function<int(const CCgiRequest&)> m_send;
  QCheckBox* m_check;
};

// Four numbers with their ranges; nothing is sent or stored elsewhere.
class CMpeg4StreamSettingDlg : public ui::Window {
  Q_OBJECT

 public:
  static constexpr int kBitRateId = 1041;
  static constexpr int kGopId = 1266;
  static constexpr int kWidthId = 1267;
  static constexpr int kHeightId = 1268;

  explicit CMpeg4StreamSettingDlg(QWidget* parent = nullptr);
  bool OnInitDialog() override;
  void OnOK() override;

  int m_nTargetBitRate = 0;
  int m_nGop = 0;
  int m_nImageWidth = 0;
  int m_nImageHeight = 0;
};

// The about box: the login background, the logo and the version text.
class CApplicationInfoDialog : public ui::Window {
  Q_OBJECT

 public:
  static constexpr const char* kVersionText = "Version : 0.0.1.8";
  explicit CApplicationInfoDialog(QWidget* parent = nullptr);
  bool OnInitDialog() override;
  bool m_bInitialised = false;  // every picture was found

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  ui::Bitmap m_background;
  ui::Bitmap m_logo;
  CVtxButton* m_ok = nullptr;
};

// A second address book window: a title and an empty list view.
class CAddressBookListDlg : public ui::Window {
  Q_OBJECT

 public:
  static constexpr int kListId = 1470;
  explicit CAddressBookListDlg(QWidget* parent = nullptr);
};
