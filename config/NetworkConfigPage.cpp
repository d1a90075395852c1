#include "config/NetworkConfigPage.h"
#include "config/PageModel.h"

#include <QLineEdit>

#include "config/DigitEdit.h"
#include "config/NetPageControls.h"
#include "core/Model.h"
#include "core/Strings.h"
#include "platform/messages.h"
#include "session/Sections.h"
#include "session/SysCfg.h"

std::uint8_t g_byNetworkIpType = 0;

namespace {

// A net mask is ones followed by zeros.
bool ContiguousMask(std::uint32_t mask) {
  const std::uint32_t inverted = ~mask;
  return (inverted & (inverted + 1)) == 0;
}

// A host address a recorder can take: not 0.0.0.0 and below the multicast range.
bool UsableHostAddress(std::uint32_t address) { return address != 0 && address < 0xE0000000u; }

const int kAddressControls[] = {IDC_NET_IP_LABEL, IDC_NET_GATEWAY_LABEL, IDC_NET_MASK_LABEL,
                                IDC_NET_IP,       IDC_NET_GATEWAY,       IDC_NET_MASK};
const int kPppoeControls[] = {IDC_NET_PPPOE_GROUP, IDC_NET_PPPOE_USER_LABEL, IDC_NET_PPPOE_PASSWORD_LABEL,
                              IDC_NET_PPPOE_USER, IDC_NET_PPPOE_PASSWORD};

}  // namespace

bool NetworkConfigPage::NewPppoeLayout() { return pagemodel::ConnectedDevice().NewPppoeLayout(); }

int NetworkConfigPage::PppoeLimit() { return NewPppoeLayout() ? 31 : 15; }

void NetworkConfigPage::BuildControls() {
  using namespace netpage;
  Label(*this, IDC_NET_IP_LABEL, "Server IP :", 20, 20, 90);
  Address(*this, IDC_NET_IP, 120, 18);
  Label(*this, IDC_NET_GATEWAY_LABEL, "Gateway :", 20, 50, 90);
  Address(*this, IDC_NET_GATEWAY, 120, 48);
  Label(*this, IDC_NET_MASK_LABEL, "Net Mask :", 20, 80, 90);
  Address(*this, IDC_NET_MASK, 120, 78);
  Label(*this, IDC_NET_WEBPORT_LABEL, "Web Port :", 20, 110, 90);
  DigitEdit(*this, IDC_NET_WEBPORT, 120, 108, 80);
  Group(*this, IDC_NET_TYPE_GROUP, "IP TYPE", 290, 10, 140, 110);
  Radio(*this, IDC_NET_STATIC, "    Static IP", 300, 35, 120);
  Radio(*this, IDC_NET_PPPOE, "    PPPOE", 300, 60, 120);
  Radio(*this, IDC_NET_DHCP, "    DHCP", 300, 85, 120);
  Group(*this, IDC_NET_PPPOE_GROUP, "PPPOE", 10, 145, 420, 90);
  Label(*this, IDC_NET_PPPOE_USER_LABEL, "User Name :", 20, 170, 90);
  Edit(*this, IDC_NET_PPPOE_USER, 120, 168, 260);
  Label(*this, IDC_NET_PPPOE_PASSWORD_LABEL, "Password :", 20, 200, 90);
  Edit(*this, IDC_NET_PPPOE_PASSWORD, 120, 198, 260, true);
  Label(*this, IDC_NET_BITRATE_LABEL, "Bit Rate :", 20, 250, 90);
  List(*this, IDC_NET_BITRATE, {"256 Kbits", "512 Kbits", "640 Kbits", " 1   Mbits", "   MAX"}, 120, 248, 120);

  OnCommand(IDC_NET_STATIC, [this] { OnClickStaticIp(); });
  OnCommand(IDC_NET_PPPOE, [this] { OnClickPppoe(); });
  OnCommand(IDC_NET_DHCP, [this] { OnClickDhcp(); });
  OnChange(IDC_NET_WEBPORT, [this] { OnChangeWebPort(); });
  OnChange(IDC_NET_PPPOE_USER, [this] { OnChangePppoeUser(); });
  OnChange(IDC_NET_PPPOE_PASSWORD, [this] { OnChangePppoePassword(); });
}

bool NetworkConfigPage::OnInitDialog() {
  BuildControls();
  const sect::Device d = pagemodel::ConnectedDevice();
  sect::IpSection ip;
  sect::PppoeSection pppoe;
  if (pagemodel::IModel* model = pagemodel::Current()) {
    model->WithSections([&](const pagemodel::Sections& sections) {
      sect::IpSection::Decode(sections.Data(SYSCFG_IP), sections[SYSCFG_IP].size(), ip);
      const std::uint8_t* block = UsesNewPppoeBlock(d.productId, d.firmware) ? sections.pppoeNew.data() : sections.Data(SYSCFG_PPPOE);
      sect::PppoeSection::Decode(block, kSysCfgSizePPPOE, d.NewPppoeLayout(), pppoe);
    });
  }
  m_byIpType = ip.ipType;
  m_nWebPort = ip.webPort;
  m_strPppoeUser = pppoe.user;
  m_strPppoePassword = pppoe.password;
  m_dwIpAddress = m_dwShownIp = sect::PackIp4(ip.ipAddress);
  m_dwGateway = sect::PackIp4(ip.gateway);
  m_dwNetMask = m_dwShownMask = sect::PackIp4(ip.netMask);
  m_nShownWebPort = m_nWebPort;

  if (IsModelFamilyK44(d.productId)) {
    for (int id : {IDC_NET_TYPE_GROUP, IDC_NET_STATIC, IDC_NET_PPPOE, IDC_NET_DHCP, IDC_NET_IP_LABEL,
                   IDC_NET_GATEWAY_LABEL, IDC_NET_MASK_LABEL, IDC_NET_WEBPORT_LABEL, IDC_NET_IP, IDC_NET_GATEWAY,
                   IDC_NET_MASK, IDC_NET_WEBPORT, IDC_NET_PPPOE_GROUP, IDC_NET_PPPOE_USER_LABEL,
                   IDC_NET_PPPOE_PASSWORD_LABEL, IDC_NET_PPPOE_USER, IDC_NET_PPPOE_PASSWORD, IDC_NET_BITRATE_LABEL,
                   IDC_NET_BITRATE}) {
      ShowDlgItem(id, false);
    }
    return UpdateData(false);
  }
  g_byNetworkIpType = m_byIpType;
  ShowAddressType(m_byIpType);
  if (IsModelK40R(d.productId) ||
      (IsModelFamilyK41(d.productId) && IsFirmwareBelow(fwgate::kIpByte23DVR, d.firmware))) {
    ShowDlgItem(IDC_NET_BITRATE_LABEL, false);
    ShowDlgItem(IDC_NET_BITRATE, false);
  } else if (IsModelK47R(d.productId) || IsModelFamilyK41(d.productId)) {
    m_nBitRate = ip.BitRateChoice();
  }
  return UpdateData(false);
}

// Checks, enables and shows the controls for an address type (1 and anything above 2: PPPoE).
void NetworkConfigPage::ShowAddressType(std::uint8_t type) {
  const int checked = type == 0 ? IDC_NET_STATIC : type == 2 ? IDC_NET_DHCP : IDC_NET_PPPOE;
  for (int id : {IDC_NET_STATIC, IDC_NET_PPPOE, IDC_NET_DHCP}) netpage::SetCheck(*this, id, id == checked);
  for (int id : kAddressControls) EnableDlgItem(id, type == 0);
  const bool pppoe = checked == IDC_NET_PPPOE;
  for (int id : kPppoeControls) ShowDlgItem(id, pppoe);
}

void NetworkConfigPage::OnClickStaticIp() {
  m_byIpType = 0;
  g_byNetworkIpType = 0;
  ShowAddressType(0);
}

void NetworkConfigPage::OnClickPppoe() {
  m_byIpType = 1;
  g_byNetworkIpType = 1;
  ShowAddressType(1);
}

void NetworkConfigPage::OnClickDhcp() {
  m_byIpType = 2;
  g_byNetworkIpType = 2;
  ShowAddressType(2);
}

// The typed port is kept to its digits and brought into 1..9999. Only the port edit is
// rewritten: what the operator typed into the other edits stays.
void NetworkConfigPage::OnChangeWebPort() {
  auto* edit = Item<QLineEdit>(IDC_NET_WEBPORT);
  std::string text;
  if (!digitedit::Typed(edit, text)) return;
  if (text.empty()) {
    netpage::RewriteEdit(edit, text);
    return;
  }
  // More than four digits (leading zeros aside) is above 9999 anyway.
  int port = static_cast<int>(digitedit::Value(digitedit::WithoutLeadingZeros(text), 4, 10000));
  if (port > 9999) port = 9999;
  if (port < 1) port = 1;
  m_nWebPort = port;
  netpage::RewriteEdit(edit, std::to_string(port));
}

void NetworkConfigPage::CutPppoeEdit(int id) {
  auto* edit = Item<QLineEdit>(id);
  if (!edit) return;
  const int limit = PppoeLimit();
  if (edit->text().size() > limit) netpage::RewriteEdit(edit, edit->text().left(limit).toStdString());
}

bool NetworkConfigPage::OnKillActive() {
  if (!IsModelFamilyK44() && netpage::EditText(*this, IDC_NET_WEBPORT).empty()) {
    plat::MessageBox(Hwnd(), LoadStr(IDS_TYPE_PORT_NUMBER));
    return false;
  }
  return UpdateData(true);
}

void NetworkConfigPage::DoDataExchange(ui::DataExchange& dx) {
  // The K44R family's page shows nothing and hands nothing on: its fields keep what was read.
  if (dx.Saving() && IsModelFamilyK44()) return;
  std::uint32_t ipAddress = m_dwIpAddress, gateway = m_dwGateway, mask = m_dwNetMask;
  dx.Address(IDC_NET_IP, ipAddress);
  dx.Address(IDC_NET_GATEWAY, gateway);
  dx.Address(IDC_NET_MASK, mask);
  if (dx.Saving()) {
    // Values as the recorder reported them stay acceptable; a changed one must make sense.
    if (ipAddress != m_dwShownIp && !UsableHostAddress(ipAddress)) {
      dx.Fail(IDC_NET_IP, "The server address must lie between 1.0.0.0 and 223.255.255.255.");
    }
    if (mask != m_dwShownMask && !ContiguousMask(mask)) {
      dx.Fail(IDC_NET_MASK, "The net mask must be a run of ones followed by zeros, such as 255.255.255.0.");
    }
    const std::string port = netpage::EditText(*this, IDC_NET_WEBPORT);
    int value = m_nWebPort;
    if (port.empty()) {
      dx.Fail(IDC_NET_WEBPORT, LoadStr(IDS_TYPE_PORT_NUMBER));
    } else if (port.size() > 5 || (value = std::stoi(port)) != m_nShownWebPort) {
      if (port.size() > 5 || value < 1 || value > 65535) {
        dx.Fail(IDC_NET_WEBPORT, "Enter a whole number from 1 to 65535.");
      }
    }
    if (!dx.Failed()) {
      m_nWebPort = value;
      m_dwIpAddress = ipAddress;
      m_dwGateway = gateway;
      m_dwNetMask = mask;
    }
  } else {
    dx.Number(IDC_NET_WEBPORT, m_nWebPort, 0, 65535);
  }
  const int limit = PppoeLimit();
  dx.Text(IDC_NET_PPPOE_PASSWORD, m_strPppoePassword, limit);
  dx.Text(IDC_NET_PPPOE_USER, m_strPppoeUser, limit);
  dx.ListIndex(IDC_NET_BITRATE, m_nBitRate);
}
