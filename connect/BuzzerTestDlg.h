// A test window for the recorder's buzzer.
#pragma once
#include <functional>

#include "platform/types.h"
#include "ui/Window.h"

class CCgiRequest;
class QCheckBox;

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
