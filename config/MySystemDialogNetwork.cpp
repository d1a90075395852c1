#include <cstring>

#include "config/MySystemDialog.h"
#include "config/PageModel.h"
#include "core/Model.h"
#include "core/Strings.h"
#include "platform/messages.h"
#include "session/Command.h"
#include "session/SectionWriters.h"
#include "session/SysCfg.h"

// The snapshot rows and apply steps of the network, DDNS, mail, FTP and account pages. A page
// the operator never opened contributes nothing. Each step changes the record's copies of the
// sections under the section lock and sends copies of them, so no lock is held on the wire.

namespace {

std::uint8_t* PppoeBlock(const pagemodel::Sections& sections, const sect::Device& d) {
  return UsesNewPppoeBlock(d.productId, d.firmware) ? sections.pppoeNew.data() : sections.Data(SYSCFG_PPPOE);
}

// Sends a copy of a section; 4012 on failure.
template <std::size_t N>
bool SendSection(plat::HWND owner, std::uint8_t option, const std::uint8_t (&copy)[N], const char* failure = nullptr) {
  if (SetSysCfgSection(option, copy, static_cast<std::uint32_t>(N), 0)) return true;
  plat::MessageBox(owner, failure ? std::string(failure) : LoadStr(IDS_CHANGE_SYSTEM_CONFIG_FAILED));
  return false;
}

}  // namespace

void MySystemDialog::SaveOriginalNetworkSettings() {
  pagemodel::IModel* model = pagemodel::Current();
  if (!model) return;
  const sect::Device d = pagemodel::ConnectedDevice();
  NetworkSnapshot& o = m_origNetwork;
  model->WithSections([&](const pagemodel::Sections& sections) {
    // The server, sender, user and password texts always end inside their fields.
    sect::SmtpSection::TerminateTexts(sections.Data(SYSCFG_SMTP));
    sect::IpSection ip;
    sect::IpSection::Decode(sections.Data(SYSCFG_IP), sections[SYSCFG_IP].size(), ip);
    o.dwIpAddress = sect::PackIp4(ip.ipAddress);
    o.dwGateway = sect::PackIp4(ip.gateway);
    o.dwNetMask = sect::PackIp4(ip.netMask);
    o.wWebPort = ip.webPort;
    o.byIpType = ip.ipType;
    o.nBitRate = ip.bitRate;
    sect::PppoeSection pppoe;
    sect::PppoeSection::Decode(PppoeBlock(sections, d), kSysCfgSizePPPOE, d.NewPppoeLayout(), pppoe);
    o.strPppoeUser = pppoe.user;
    o.strPppoePassword = pppoe.password;
    sect::DnsSection dns;
    sect::DnsSection::Decode(sections.Data(SYSCFG_DNS), sections[SYSCFG_DNS].size(), dns);
    o.dwDnsServer = sect::PackIp4(dns.dnsServer);
    o.nDnsAuto = dns.dnsAuto != 0 ? 1 : 0;
    sect::SmtpSection smtp;
    sect::SmtpSection::Decode(sections.Data(SYSCFG_SMTP), sections[SYSCFG_SMTP].size(), smtp);
    o.nDdnsEnable = smtp.ddnsEnable != 0 ? 1 : 0;
    o.strDdnsUser = smtp.ddnsUser;
    o.strDdnsPassword = smtp.ddnsPassword;
    o.strDdnsDomain = smtp.ddnsDomain;
    o.nDdnsProvider = CDNSPage::ProviderIndex(smtp.ddnsProvider);
    o.strMailFrom =
        sect::ReadMailFrom(d, sections.Data(SYSCFG_SMTP), sections.Data(SYSCFG_SYSTEM), sections.Data(SYSCFG_SNTP));
    o.strSmtpServer = smtp.smtpServer;
    o.strSmtpPassword = smtp.smtpPassword;
    o.strSmtpUser = smtp.smtpUser;
    o.bySmtpVerify = smtp.smtpVerify;
    o.byMaxUsers = sections.Data(SYSCFG_SECURE)[sect::SecureSection::kOffMaxUsers];
    sect::FtpSection ftp;
    sect::FtpSection::Decode(sections.Data(SYSCFG_FTP), sections[SYSCFG_FTP].size(), ftp);
    o.strFtpServer = ftp.server.size() > 31 ? std::string() : ftp.server;
    o.strFtpPassword = ftp.password.size() > 15 ? std::string() : ftp.password;
    o.strFtpUser = ftp.user.size() > 15 ? std::string() : ftp.user;
    o.strFtpDirectory = ftp.directory.size() > 31 ? std::string() : ftp.directory;
    o.wFtpPort = ftp.port;
  });
}

int MySystemDialog::ApplyAccountPage(AccountPropertyPage& page) {
  pagemodel::IModel* model = pagemodel::Current();
  if (!page.HasWindow() || !model) return 1;
  page.UpdateData(true);
  std::uint8_t copy[kSysCfgSizeSECURE];
  bool changed = false;
  model->WithSections([&](const pagemodel::Sections& sections) {
    sect::AccountValues values;
    values.slotsModified = page.m_bModified;
    for (std::size_t n = 0; n < sect::SecureSection::kSlots; ++n) {
      const AccountSlot& slot = model->Accounts()[n];
      sect::AccountSlotValues& v = values.accounts[n];
      v.inUse = slot.f_InUse != 0;
      v.level = static_cast<std::uint8_t>(slot.w_Level);
      v.lifeTime = slot.dw_LifeTime;
      v.user = slot.strUser;
      v.password = slot.strPassword;
    }
    values.maxUsers = page.m_nMaxUsers;
    changed = sect::WriteAccountPage(sections.Data(SYSCFG_SECURE), values);
    if (changed) std::memcpy(copy, sections.Data(SYSCFG_SECURE), sizeof copy);
  });
  if (!changed) return 1;
  return SendSection(Hwnd(), SYSCFG_SECURE, copy, "Set the system config is failed\n") ? 1 : 0;
}

int MySystemDialog::ApplyMailPage(MailPropertyPage& page) {
  pagemodel::IModel* model = pagemodel::Current();
  if (!page.HasWindow() || !model) return 1;
  page.UpdateData(true);
  const sect::Device d = pagemodel::ConnectedDevice();
  const NetworkSnapshot& o = m_origNetwork;
  sect::MailFromChanged marked;
  std::uint8_t smtp[kSysCfgSizeSMTP], sntp[kSysCfgSizeSNTP], system[kSysCfgSizeSYSTEM];
  // The page's values (its recipient list read from the list control) before the lock.
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
  model->WithSections([&](const pagemodel::Sections& sections) {
    marked = sect::WriteMailPage(d, now, opened, sections.Data(SYSCFG_SMTP), sections.Data(SYSCFG_SYSTEM),
                                 sections.Data(SYSCFG_SNTP));
    std::memcpy(smtp, sections.Data(SYSCFG_SMTP), sizeof smtp);
    std::memcpy(sntp, sections.Data(SYSCFG_SNTP), sizeof sntp);
    std::memcpy(system, sections.Data(SYSCFG_SYSTEM), sizeof system);
  });
  if (marked.smtp && !SendSection(Hwnd(), SYSCFG_SMTP, smtp)) return 0;
  if (marked.sntp && !SendSection(Hwnd(), SYSCFG_SNTP, sntp)) return 0;
  if (marked.system && !SendSection(Hwnd(), SYSCFG_SYSTEM, system)) return 0;
  return 1;
}

int MySystemDialog::ApplyFtpPage(FTPPropertyPage& page) {
  pagemodel::IModel* model = pagemodel::Current();
  if (!page.HasWindow() || !model) return 1;
  page.UpdateData(true);
  const NetworkSnapshot& o = m_origNetwork;
  const sect::FtpValues now{page.m_strServer, page.m_strUser, page.m_strPassword, page.m_strDirectory, page.m_nPort};
  const sect::FtpValues opened{o.strFtpServer, o.strFtpUser, o.strFtpPassword, o.strFtpDirectory, o.wFtpPort};
  std::uint8_t copy[kSysCfgSizeFTP];
  bool changed = false;
  model->WithSections([&](const pagemodel::Sections& sections) {
    changed = sect::WriteFtpPage(sections.Data(SYSCFG_FTP), now, opened);
    if (changed) std::memcpy(copy, sections.Data(SYSCFG_FTP), sizeof copy);
  });
  if (!changed) return 1;
  return SendSection(Hwnd(), SYSCFG_FTP, copy) ? 1 : 0;
}

int MySystemDialog::ApplyDnsPage(CDNSPage& page) {
  pagemodel::IModel* model = pagemodel::Current();
  if (!page.HasWindow() || !model) return 1;
  page.UpdateData(true);
  const NetworkSnapshot& o = m_origNetwork;
  const sect::DnsPageValues now{page.m_dwDnsServer,    page.m_bAutoDns != 0,    page.m_bDdnsEnable != 0,
                                page.m_strDdnsUser,     page.m_strDdnsPassword,  page.m_strDdnsDomain,
                                page.m_nProvider,       page.m_bProviderPicked != 0};
  const sect::DnsPageValues opened{o.dwDnsServer,     o.nDnsAuto != 0,        o.nDdnsEnable != 0, o.strDdnsUser,
                                   o.strDdnsPassword, o.strDdnsDomain,        o.nDdnsProvider,    false};
  const sect::DdnsProviderRule rule = HasCapability(CAP_OEM_VARIANT_2)   ? sect::DdnsProviderRule::Variant2
                                      : HasCapability(CAP_OEM_VARIANT_1) ? sect::DdnsProviderRule::Variant1
                                                                         : sect::DdnsProviderRule::Chosen;
  sect::DnsPageWrite written;
  std::uint8_t dns[kSysCfgSizeDNS], smtp[kSysCfgSizeSMTP];
  model->WithSections([&](const pagemodel::Sections& sections) {
    written = sect::WriteDnsPage(sections.Data(SYSCFG_DNS), sections.Data(SYSCFG_SMTP), now, opened, rule);
    std::memcpy(dns, sections.Data(SYSCFG_DNS), sizeof dns);
    std::memcpy(smtp, sections.Data(SYSCFG_SMTP), sizeof smtp);
  });
  if (written.dns && !SendSection(Hwnd(), SYSCFG_DNS, dns)) return 0;
  if (written.smtp && !SendSection(Hwnd(), SYSCFG_SMTP, smtp)) return 0;
  return 1;
}

// 1 when the recorder's address, gateway, mask, web port or address type was sent.
int MySystemDialog::ApplyNetworkPage(NetworkConfigPage& page) {
  pagemodel::IModel* model = pagemodel::Current();
  if (!page.HasWindow() || !model) return 0;
  page.UpdateData(true);
  const sect::Device d = pagemodel::ConnectedDevice();
  const NetworkSnapshot& o = m_origNetwork;
  ClearPendingNetworkChange();

  // PPPoE account, in the layout the firmware uses.
  bool pppoeChanged = false;
  std::uint8_t pppoe[kSysCfgSizePPPOE];
  model->WithSections([&](const pagemodel::Sections& sections) {
    std::uint8_t* block = PppoeBlock(sections, d);
    pppoeChanged = sect::WritePppoeAccount(block, d.NewPppoeLayout(), {page.m_strPppoeUser, page.m_strPppoePassword},
                                           {o.strPppoeUser, o.strPppoePassword});
    std::memcpy(pppoe, block, sizeof pppoe);
  });
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
  model->WithSections([&](const pagemodel::Sections& sections) {
    const std::string domain = sect::ReadText(sections.Data(SYSCFG_SMTP) + sect::SmtpSection::kOffDomain, 48);
    written = sect::WriteIpPage(sections.Data(SYSCFG_IP), d, now, opened, domain);
    if (!written.refused) std::memcpy(ip, sections.Data(SYSCFG_IP), sizeof ip);
  });
  if (written.refused) return 0;
  if (!written.ipChanged) return 0;
  // The client follows the recorder only when this very request is answered with 200.
  if (written.serverChanged) SetPendingServer(written.newServer);
  if (written.portChanged) SetPendingWebPort(written.newPort);
  const int sent = SetSysCfgSection(SYSCFG_IP, ip, sizeof ip, 0);
  ClearPendingNetworkChange();
  if (!sent) {
    plat::MessageBox(Hwnd(), LoadStr(IDS_CHANGE_SYSTEM_CONFIG_FAILED));
    return 0;
  }
  return written.networkChanged ? 1 : 0;
}
