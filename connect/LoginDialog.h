// The login window: a borderless skinned window in which the operator types or picks the
// recorder's address, web port, user name and password and connects. The login runs on a
// thread of its own while a progress bar moves; a failure is painted into the window; a
// good login ends the window with IDOK. Its tool buttons open the address book, the LAN
// search, the player, the program copier and the firmware upgrade.
#pragma once
#include <QString>
#include <array>
#include <atomic>
#include <memory>
#include <string>

#include "platform/types.h"
#include "ui/Surface.h"
#include "ui/Window.h"

class CVtxButton;
class QLineEdit;

// Control ids of the login window.
namespace login_id {
constexpr int kUser = 1040;
constexpr int kPassword = 1043;
constexpr int kHost = 1042;
constexpr int kPort = 1044;
constexpr int kBitRate = 1376;
constexpr int kAddress = 8440;
constexpr int kSearch = 8441;
constexpr int kPlayer = 8442;
constexpr int kCopy = 8443;
constexpr int kConnect = 8444;
constexpr int kCancel = 8445;
constexpr int kUpgrade = 8527;
constexpr int kIconName = 8528;
constexpr int kIconPassword = 8529;
constexpr int kIconIP = 8530;
constexpr int kIconPort = 8531;
}  // namespace login_id

// Failure codes of WM_LOGINFAILED (wParam).
constexpr plat::WPARAM kLoginFailed = 1;
constexpr plat::WPARAM kLoginTooManyUsers = 2;
constexpr plat::WPARAM kLoginNotSupported = 3;

class LoginDialog : public ui::Window {
  Q_OBJECT

 public:
  LoginDialog();
  ~LoginDialog() override;

  bool OnInitDialog() override;

  // The field texts (shown by the initialisation, read back before every use).
  QString m_strHostText;
  QString m_strUserText;
  QString m_strPasswordText;
  QString m_strPortText;
  QString m_strBitRateText;

  // State the painting shows (tests read it).
  int m_nPort = 0;
  int m_bShowFailure = 0;
  QString m_strFailureText;
  std::atomic<int> m_bAnimating{0};
  std::uint8_t m_byAnimateStep = 0;

  // Reads the edits into the field texts (true) or shows the field texts (false).
  void UpdateData(bool readBack);

  // The actions (also reached by their buttons and messages).
  void OnConnectButton();
  void OnAddressButton();
  void OnSearchButton();
  void OnPlayerButton();
  void OnCopyProgramButton();
  void OnUpgradeFirmwareButton();

  // The picture the window shows now (painted off-screen, as a test or a person sees it).
  QImage Render() const;

  // The newest recording (*.ovr) in the folder, with its folder; "" when there is none.
  static std::string FindNewestRecording(const std::string& folder);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 public:
  // One login attempt, shared with its thread.
  struct Attempt;

 private:
  void OnPortChanged();
  void StopThreads();
  void Paint(ui::Surface& surface) const;
  QRect BarRect() const;
  void OnLoginFailed(plat::WPARAM code, plat::LPARAM attempt);
  void OnAnimateTick(plat::LPARAM attempt);

  std::array<ui::Bitmap, 11> m_skin;
  std::array<ui::Bitmap, 11> m_glyphs;
  QRegion m_rgnWindow;
  bool m_skinLoaded = false;

  plat::HANDLE m_hLoginThread = 0;
  plat::DWORD m_dwLoginThreadId = 0;
  plat::HANDLE m_hAnimateThread = 0;
  plat::DWORD m_dwAnimateThreadId = 0;
  plat::HANDLE m_hStopEvent = 0;
  std::shared_ptr<Attempt> m_attempt;  // the login attempt now running
  plat::LPARAM m_nAttemptNumber = 0;
  bool m_bAttemptEnded = false;  // the running attempt has reported; late ticks are dropped

  std::array<CVtxButton*, 7> m_Buttons{};
  std::array<CVtxButton*, 4> m_FieldIcons{};
  QLineEdit* m_edits[5] = {};
  bool m_inPortClamp = false;
};
