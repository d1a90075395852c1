// The "Playback Search" dialog: asks a recorder to search its recordings by time or by event
// (/SearchPlayBack.cgi). Run modally from the main window's panel.
#pragma once
#include "mainwnd/ModalTools.h"
#include "session/NetworkBackup.h"
#include "ui/Window.h"

class QComboBox;
class QDateEdit;
class QTimeEdit;

enum PlaybackSearchControl : int {
  IDC_PS_TYPE = 1511,
  IDC_PS_HDD = 1514,
  IDC_PS_CHANNEL = 1515,
  IDC_PS_EVENT = 1519,
  IDC_PS_DATE = 1521,
  IDC_PS_TIME = 1525,
  IDC_PS_OK = 1,
  IDC_PS_CANCEL = 2,
};

class CPlaybackSearchDlg : public ui::Window {
  Q_OBJECT

 public:
  explicit CPlaybackSearchDlg(QWidget* parent = nullptr);

  bool OnInitDialog() override;
  bool LoadHddList();
  int LoadChannelList();
  void OnSelchangeSearchType();
  void OnOK() override;

  nb::DiskMask m_byHddMask{};
  QComboBox* m_pSearchTypeCombo = nullptr;
  QComboBox* m_pHddCombo = nullptr;
  QComboBox* m_pChannelCombo = nullptr;
  QComboBox* m_pEventTypeCombo = nullptr;
  QDateEdit* m_pDateCtrl = nullptr;
  QTimeEdit* m_pTimeCtrl = nullptr;
  // The dialog closed before it opened and has told the operator why (message 4065).
  bool m_bFailureShown = false;
};

// The implementation the program registers for the main window's modal tools.
class ModalToolDialogs : public IModalToolDialogs {
 public:
  // The dialog's end code; a dialog that told the operator why it could not open ends as
  // cancelled, so the main window adds no box of its own.
  int RunPlaybackSearch(QWidget* mainWindow) override;
};
