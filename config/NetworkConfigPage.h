// The "Network" page of the configuration sheet: the recorder's address, ports, address type
// and PPPoE account. On the K44R family the page shows nothing and its values are never sent.
#pragma once
#include <cstdint>
#include <string>

#include "ui/PropertySheet.h"

// The address type the network page shows: 0 static, 1 PPPoE, 2 DHCP (the DDNS page reads it).
extern std::uint8_t g_byNetworkIpType;

enum NetworkPageControl : int {
  IDC_NET_WEBPORT = 1040,
  IDC_NET_PPPOE_USER = 1043,
  IDC_NET_PPPOE_PASSWORD = 1044,
  IDC_NET_IP = 1248,
  IDC_NET_GATEWAY = 1249,
  IDC_NET_MASK = 1250,
  IDC_NET_STATIC = 1252,
  IDC_NET_PPPOE = 1253,
  IDC_NET_DHCP = 1254,
  IDC_NET_PPPOE_GROUP = 1394,
  IDC_NET_PPPOE_USER_LABEL = 1395,
  IDC_NET_PPPOE_PASSWORD_LABEL = 1396,
  IDC_NET_IP_LABEL = 1397,
  IDC_NET_GATEWAY_LABEL = 1398,
  IDC_NET_MASK_LABEL = 1399,
  IDC_NET_TYPE_GROUP = 1462,
  IDC_NET_WEBPORT_LABEL = 1463,
  IDC_NET_BITRATE_LABEL = 1464,
  IDC_NET_BITRATE = 1526,
};

class NetworkConfigPage : public ui::PropertyPage {
  Q_OBJECT

 public:
  explicit NetworkConfigPage(QWidget* parent = nullptr) : ui::PropertyPage(QStringLiteral("Network"), parent) {}

  // The longest PPPoE user name and password the connected firmware keeps: 15 or 31.
  static int PppoeLimit();
  // The PPPoE layout in use (31-character fields) for the connected model and firmware.
  static bool NewPppoeLayout();

  void OnClickStaticIp();
  void OnClickPppoe();
  void OnClickDhcp();
  void OnChangeWebPort();
  void OnChangePppoeUser() { CutPppoeEdit(IDC_NET_PPPOE_USER); }
  void OnChangePppoePassword() { CutPppoeEdit(IDC_NET_PPPOE_PASSWORD); }
  bool OnKillActive() override;
  void DoDataExchange(ui::DataExchange& dx) override;

  int m_nWebPort = 0;
  std::string m_strPppoePassword;
  std::string m_strPppoeUser;
  int m_nBitRate = -1;
  std::uint8_t m_byIpType = 0;
  // The address controls' values after the last exchange (first octet in the high byte).
  std::uint32_t m_dwIpAddress = 0, m_dwGateway = 0, m_dwNetMask = 0;

 protected:
  bool OnInitDialog() override;

 private:
  void BuildControls();
  void ShowAddressType(std::uint8_t type);
  void CutPppoeEdit(int id);
  // The values the page was filled with: the checks apply to what the operator changed.
  std::uint32_t m_dwShownIp = 0, m_dwShownMask = 0;
  int m_nShownWebPort = 0;
};
