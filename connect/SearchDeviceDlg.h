// LAN discovery: the search window lists every recorder that answers one broadcast search,
// lets the operator pick one for the login window, or (after the "Confirm Authority" prompt)
// send it new network settings or order it back to its factory settings.
#pragma once
#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "session/DiscoveryPacket.h"
#include "platform/types.h"
#include "ui/Window.h"

class QTreeWidget;
class QLineEdit;

namespace search_id {
constexpr int kOK = 1;
constexpr int kList = 1093;
constexpr int kSearchAgain = 1094;
constexpr int kApply = 1095;
constexpr int kReset = 1101;
constexpr int kMacAddress = 1041;
constexpr int kServerIP = 1096;
constexpr int kWebPort = 1097;
constexpr int kNetMask = 1098;
constexpr int kGateway = 1099;
constexpr int kDNSServer = 1100;
}  // namespace search_id

// Messages from the receive thread to its window.
constexpr unsigned WM_SEARCHREPLY = plat::WM_USER + 0x140;  // replies are waiting in the queue
constexpr unsigned WM_SEARCHDONE = plat::WM_USER + 0x141;   // wParam 0 done, 1 the reply port could not be bound

// One recorder that answered, in the order of arrival.
struct DiscoveredDevice {
  std::string strMac;
  std::string strIP;
  std::uint32_t dwPort = 0;
  std::string strGateway;
  std::string strDNS;
  std::string strNetMask;
  std::uint8_t byType = 0;
  int nIndex = 0;
};

// The prompt for the recorder's user name and password.
class CConfirmAuthorityDlg : public ui::Window {
  Q_OBJECT

 public:
  explicit CConfirmAuthorityDlg(QWidget* parent = nullptr);
  void OnOK() override;
  std::string m_strUser;
  std::string m_strPassword;
};

class CSearchDeviceDlg : public ui::Window {
  Q_OBJECT

 public:
  explicit CSearchDeviceDlg(QWidget* parent = nullptr);
  ~CSearchDeviceDlg() override;

  bool OnInitDialog() override;
  void OnTimer(int id) override;
  void OnOK() override;

  void OnSearchAgain();
  void OnApply();
  void OnResetDefault();
  void OnItemChanged();

  bool IsSearching() const { return m_hReceiveThread != 0 && m_searching; }

  std::vector<DiscoveredDevice> m_devices;
  int m_nDeviceCount = 0;
  int m_nSelectedDevice = -1;
  std::string m_strConfirmUser, m_strConfirmPassword;
  QString m_strMacAddress, m_strServerIP, m_strNetMask, m_strGateway, m_strDNSServer;
  int m_nWebPort = 0;
  DiscoveredDevice m_selected;
  int m_fChosen = 0;
  QString m_strChosenIP;
  int m_nTimerTicks = 0;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 public:
  // What the window shares with its receive thread.
  struct Shared;

 private:
  void StartSearch();
  void StopSearch();
  void SetSearchingState();
  void OnReplies();
  void OnSearchDone(bool bindFailed);
  void AddReply(const DiscoveryReply& reply);
  bool ReadBack();  // edits into values; false after the range message of the web port
  const DiscoveredDevice* FindDevice(int index) const;
  void SendSettings(bool reset);

  plat::HANDLE m_hReceiveThread = 0;
  std::shared_ptr<Shared> m_shared;
  bool m_searching = false;
  QTreeWidget* m_list = nullptr;
};
