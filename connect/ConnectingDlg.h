// The connecting wait dialog.
#pragma once
#include <functional>

#include "platform/types.h"
#include "ui/Window.h"

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
