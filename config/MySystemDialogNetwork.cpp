#include <cstring>
#include "config/PageModel.h"
#include <mutex>

#include "config/MySystemDialog.h"
#include "core/Model.h"
#include "core/Strings.h"
#include "engine/AppRecord.h"
#include "platform/messages.h"
#include "session/Command.h"
#include "session/SectionWriters.h"
#include "session/SysCfg.h"

// The snapshot rows and apply steps of the network, DDNS, mail, FTP and account pages. A page
// the operator never opened contributes nothing. Each step changes the record's copies of the
// sections under the section lock and sends copies of them, so no lock is held on the wire.

namespace {

std::uint8_t* PppoeBlock(AppRecord& app, const sect::Device& d) {
  return UsesNewPppoeBlock(d.productId, d.firmware) ? app.SysCfg_PPPOE_New : app.SysCfg_PPPOE;
}

// Sends a copy of a section; 4012 on failure.
template <std::size_t N>
bool SendSection(plat::HWND owner, std::uint8_t option, const std::uint8_t (&copy)[N], const char* failure = nullptr) {
  if (SetSysCfgSection(option, copy, static_cast<std::uint32_t>(N), 0)) return true;
  plat::MessageBox(owner, failure ? std::string(failure) : LoadStr(4012));
  return false;
}

}  // namespace

void MySystemDialog::SaveOriginalNetworkSettings() {
  AppRecord* app = g_lpApp;
  if (!app) return;
  const sect::Device d = pagemodel::ConnectedDevice();
  NetworkSnapshot& o = m_origNetwork;
  std::lock_guard<std::mutex> lock(app->mtx_SysCfg);
  // The server, sender, user and password texts always end inside their fields.
  sect::SmtpSection::TerminateTexts(app->SysCfg_SMTP);
  sect::IpSection ip;
  sect::IpSection::Decode(app->SysCfg_IP, sizeof app->SysCfg_IP, ip);
  o.dwIpAddress = pagemodel::PackedIp4(ip.ipAddress);
  o.dwGateway = pagemodel::PackedIp4(ip.gateway);
  o.dwNetMask = pagemodel::PackedIp4(ip.netMask);
  o.wWebPort = ip.webPort;
  o.byIpType = ip.ipType;
  o.nBitRate = ip.bitRate;
  sect::PppoeSection pppoe;
  sect::PppoeSection::Decode(PppoeBlock(*app, d), kSysCfgSizePPPOE, d.NewPppoeLayout(), pppoe);
  o.strPppoeUser = pppoe.user;
  o.strPppoePassword = pppoe.password;
  sect::DnsSection dns;
  sect::DnsSection::Decode(app->SysCfg_DNS, sizeof app->SysCfg_DNS, dns);
  o.dwDnsServer = pagemodel::PackedIp4(dns.dnsServer);
  o.nDnsAuto = dns.dnsAuto != 0 ? 1 : 0;
  sect::SmtpSection smtp;
  sect::SmtpSection::Decode(app->SysCfg_SMTP, sizeof app->SysCfg_SMTP, smtp);
  o.nDdnsEnable = smtp.ddnsEnable != 0 ? 1 : 0;
  o.strDdnsUser = smtp.ddnsUser;
  o.strDdnsPassword = smtp.ddnsPassword;
  o.strDdnsDomain = smtp.ddnsDomain;
  o.nDdnsProvider = CDNSPage::ProviderIndex(smtp.ddnsProvider);
  o.strMailFrom = sect::ReadMailFrom(d, app->SysCfg_SMTP, app->SysCfg_SYSTEM, app->SysCfg_SNTP);
  o.strSmtpServer = smtp.smtpServer;
  o.strSmtpPassword = smtp.smtpPassword;
  o.strSmtpUser = smtp.smtpUser;
  o.bySmtpVerify = smtp.smtpVerify;
  o.byMaxUsers = app->SysCfg_SECURE[sect::SecureSection::kOffMaxUsers];
  sect::FtpSection ftp;
  sect::FtpSection::Decode(app->SysCfg_FTP, sizeof app->SysCfg_FTP, ftp);
  o.strFtpServer = ftp.server.size() > 31 ? std::string() : ftp.server;
  o.strFtpPassword = ftp.password.size() > 15 ? std::string() : ftp.password;
  o.strFtpUser = ftp.user.size() > 15 ? std::string() : ftp.user;
  o.strFtpDirectory = ftp.directory.size() > 31 ? std::string() : ftp.directory;
  o.wFtpPort = ftp.port;
}

int MySystemDialog::ApplyAccountPage(AccountPropertyPage& page) {
  AppRecord* app = g_lpApp;
  if (!page.HasWindow() || !app) return 1;
  page.UpdateData(true);
  std::uint8_t copy[kSysCfgSizeSECURE];
  {
    std::lock_guard<std::mutex> lock(app->mtx_SysCfg);
    sect::AccountValues values;
    values.slotsModified = page.m_bModified;
    for (std::size_t n = 0; n < sect::SecureSection::kSlots; ++n) {
      const AccountSlot& slot = app->AccountSlots[n];
      sect::AccountSlotValues& v = values.accounts[n];
      v.inUse = slot.f_InUse != 0;
      v.level = static_cast<std::uint8_t>(slot.w_Level);
      v.lifeTime = slot.dw_LifeTime;
      v.user = slot.strUser;
      v.password = slot.strPassword;
    }
    values.maxUsers = page.m_nMaxUsers;
    if (!sect::WriteAccountPage(app->SysCfg_SECURE, values)) return 1;
    std::memcpy(copy, app->SysCfg_SECURE, sizeof copy);
  }
  return SendSection(Hwnd(), SYSCFG_SECURE, copy, "Set the system config is failed\n") ? 1 : 0;
}

int MySystemDialog::ApplyMailPage(MailPropertyPage& page) {
  AppRecord* app = g_lpApp;
  if (!page.HasWindow() || !app) return 1;
  page.UpdateData(true);
  const sect::Device d = pagemodel::ConnectedDevice();
  const NetworkSnapshot& o = m_origNetwork;
  sect::MailFromChanged marked;
  std::uint8_t smtp[kSysCfgSizeSMTP], sntp[kSysCfgSizeSNTP], system[kSysCfgSizeSYSTEM];
  {
    std::lock_guard<std::mutex> lock(app->mtx_SysCfg);
    sect::MailValues now, opened;
    now.mailFrom = page.m_strMailFrom;
    now.smtpServer = page.m_strSmtpServer;
    now.smtpPassword = page.m_strSmtpPassword;
    now.smtpUser = page.m_strSmtpUser;
    now.smtpVerify = page.m_bySmtpVerify;
    now.recipientsChanged = page.m_bRecipientsChanged;
    if (page.m_bRecipientsChanged) {
      for (std::string stored : page.Recipients()) {
        MailPropertyPage::ConvertMailAddress(stored, 0);
        now.recipients.push_back(std::move(stored));
      }
    }
    opened.mailFrom = o.strMailFrom;
    opened.smtpServer = o.strSmtpServer;
    opened.smtpPassword = o.strSmtpPassword;
    opened.smtpUser = o.strSmtpUser;
    opened.smtpVerify = o.bySmtpVerify;
    marked = sect::WriteMailPage(d, now, opened, app->SysCfg_SMTP, app->SysCfg_SYSTEM, app->SysCfg_SNTP);
    std::memcpy(smtp, app->SysCfg_SMTP, sizeof smtp);
    std::memcpy(sntp, app->SysCfg_SNTP, sizeof sntp);
    std::memcpy(system, app->SysCfg_SYSTEM, sizeof system);
  }
  if (marked.smtp && !SendSection(Hwnd(), SYSCFG_SMTP, smtp)) return 0;
  if (marked.sntp && !SendSection(Hwnd(), SYSCFG_SNTP, sntp)) return 0;
  if (marked.system && !SendSection(Hwnd(), SYSCFG_SYSTEM, system)) return 0;
  return 1;
}

int MySystemDialog::ApplyFtpPage(FTPPropertyPage& page) {
  AppRecord* app = g_lpApp;
  if (!page.HasWindow() || !app) return 1;
  page.UpdateData(true);
  const NetworkSnapshot& o = m_origNetwork;
  const sect::FtpValues now{page.m_strServer, page.m_strUser, page.m_strPassword, page.m_strDirectory, page.m_nPort};
  const sect::FtpValues opened{o.strFtpServer, o.strFtpUser, o.strFtpPassword, o.strFtpDirectory, o.wFtpPort};
  std::uint8_t copy[kSysCfgSizeFTP];
  {
    std::lock_guard<std::mutex> lock(app->mtx_SysCfg);
    if (!sect::WriteFtpPage(app->SysCfg_FTP, now, opened)) return 1;
    std::memcpy(copy, app->SysCfg_FTP, sizeof copy);
  }
  return SendSection(Hwnd(), SYSCFG_FTP, copy) ? 1 : 0;
}

int MySystemDialog::ApplyDnsPage(CDNSPage& page) {
  AppRecord* app = g_lpApp;
  if (!page.HasWindow() || !app) return 1;
  page.UpdateData(true);
  const NetworkSnapshot& o = m_origNetwork;
  sect::DnsPageValues now, opened;
  now.dnsServer = page.m_dwDnsServer;
  now.autoDns = page.m_bAutoDns != 0;
  now.ddnsEnable = page.m_bDdnsEnable != 0;
  now.ddnsUser = page.m_strDdnsUser;
  now.ddnsPassword = page.m_strDdnsPassword;
  now.ddnsDomain = page.m_strDdnsDomain;
  now.provider = page.m_nProvider;
  now.providerPicked = page.m_bProviderPicked;
  opened.dnsServer = o.dwDnsServer;
  opened.autoDns = o.nDnsAuto != 0;
  opened.ddnsEnable = o.nDdnsEnable != 0;
  opened.ddnsUser = o.strDdnsUser;
  opened.ddnsPassword = o.strDdnsPassword;
  opened.ddnsDomain = o.strDdnsDomain;
  opened.provider = o.nDdnsProvider;
  const sect::DdnsProviderRule rule = HasCapability(CAP_OEM_VARIANT_2)   ? sect::DdnsProviderRule::Variant2
                                      : HasCapability(CAP_OEM_VARIANT_1) ? sect::DdnsProviderRule::Variant1
                                                                         : sect::DdnsProviderRule::Chosen;
  sect::DnsPageWrite written;
  std::uint8_t dns[kSysCfgSizeDNS], smtp[kSysCfgSizeSMTP];
  {
    std::lock_guard<std::mutex> lock(app->mtx_SysCfg);
    written = sect::WriteDnsPage(app->SysCfg_DNS, app->SysCfg_SMTP, now, opened, rule);
    std::memcpy(dns, app->SysCfg_DNS, sizeof dns);
    std::memcpy(smtp, app->SysCfg_SMTP, sizeof smtp);
  }
  if (written.dns && !SendSection(Hwnd(), SYSCFG_DNS, dns)) return 0;
  if (written.smtp && !SendSection(Hwnd(), SYSCFG_SMTP, smtp)) return 0;
  return 1;
}

// 1 when the recorder's address, gateway, mask, web port or address type was sent.
int MySystemDialog::ApplyNetworkPage(NetworkConfigPage& page) {
  AppRecord* app = g_lpApp;
  if (!page.HasWindow() || !app) return 0;
  page.UpdateData(true);
  const sect::Device d = pagemodel::ConnectedDevice();
  const NetworkSnapshot& o = m_origNetwork;
  ClearPendingNetworkChange();

  // PPPoE account, in the layout the firmware uses.
  bool pppoeChanged = false;
  std::uint8_t pppoe[kSysCfgSizePPPOE];
  {
    std::lock_guard<std::mutex> lock(app->mtx_SysCfg);
    std::uint8_t* block = PppoeBlock(*app, d);
    pppoeChanged = sect::WritePppoeAccount(block, d.NewPppoeLayout(), {page.m_strPppoeUser, page.m_strPppoePassword},
                                           {o.strPppoeUser, o.strPppoePassword});
    std::memcpy(pppoe, block, sizeof pppoe);
  }
  if (pppoeChanged && !SendSection(Hwnd(), SYSCFG_PPPOE, pppoe)) return 0;

  sect::IpPageValues now, opened;
  now.ipAddress = page.m_dwIpAddress;
  now.gateway = page.m_dwGateway;
  now.netMask = page.m_dwNetMask;
  now.webPort = page.m_nWebPort;
  now.ipType = page.m_byIpType;
  now.bitRate = page.m_nBitRate;
  opened.ipAddress = o.dwIpAddress;
  opened.gateway = o.dwGateway;
  opened.netMask = o.dwNetMask;
  opened.webPort = o.wWebPort;
  opened.ipType = o.byIpType;
  opened.bitRate = o.nBitRate;
  sect::IpPageWrite written;
  std::uint8_t ip[kSysCfgSizeIP];
  {
    std::lock_guard<std::mutex> lock(app->mtx_SysCfg);
    const std::string domain = sect::ReadText(app->SysCfg_SMTP + sect::SmtpSection::kOffDomain, 48);
    written = sect::WriteIpPage(app->SysCfg_IP, d, now, opened, domain);
    if (written.refused) return 0;
    std::memcpy(ip, app->SysCfg_IP, sizeof ip);
  }
  if (!written.ipChanged) return 0;
  // The client follows the recorder only when this very request is answered with 200.
  if (written.serverChanged) SetPendingServer(written.newServer);
  if (written.portChanged) SetPendingWebPort(written.newPort);
  const int sent = SetSysCfgSection(SYSCFG_IP, ip, sizeof ip, 0);
  ClearPendingNetworkChange();
  if (!sent) {
    plat::MessageBox(Hwnd(), LoadStr(4012));
    return 0;
  }
  return written.networkChanged ? 1 : 0;
}
