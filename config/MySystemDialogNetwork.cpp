#include <cstring>
#include "config/PageModel.h"
#include <mutex>

#include "config/MySystemDialog.h"
#include "core/Model.h"
#include "core/Strings.h"
#include "engine/AppRecord.h"
#include "platform/messages.h"
#include "session/Command.h"
#include "session/Sections.h"
#include "session/SysCfg.h"

// The snapshot rows and apply steps of the network, DDNS, mail, FTP and account pages. A page
// the operator never opened contributes nothing. Each step changes the record's copies of the
// sections under the section lock and sends copies of them, so no lock is held on the wire.

namespace {

void PutPacked(std::uint8_t* field, std::uint32_t address) {
  field[0] = static_cast<std::uint8_t>(address >> 24);
  field[1] = static_cast<std::uint8_t>(address >> 16);
  field[2] = static_cast<std::uint8_t>(address >> 8);
  field[3] = static_cast<std::uint8_t>(address);
}

std::string Dotted(std::uint32_t a) {
  return std::to_string(a >> 24) + "." + std::to_string((a >> 16) & 0xFF) + "." + std::to_string((a >> 8) & 0xFF) +
         "." + std::to_string(a & 0xFF);
}

std::uint8_t* PppoeBlock(AppRecord& app, const sect::Device& d) {
  return UsesNewPppoeBlock(d.productId, d.firmware) ? app.SysCfg_PPPOE_New : app.SysCfg_PPPOE;
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
  bool changed = false;
  {
    std::lock_guard<std::mutex> lock(app->mtx_SysCfg);
    sect::SecureSection secure;
    sect::SecureSection::Decode(app->SysCfg_SECURE, sizeof app->SysCfg_SECURE, secure);
    if (page.m_bModified) {
      for (std::size_t n = 0; n < sect::SecureSection::kSlots; ++n) {
        const AccountSlot& slot = app->AccountSlots[n];
        if (slot.f_InUse) {
          secure.level[n] = static_cast<std::uint8_t>(slot.w_Level);
          secure.lifeTime[n] = slot.dw_LifeTime;
          secure.userName[n] = slot.strUser;
          secure.password[n] = slot.strPassword;
        } else {
          secure.userName[n].clear();
          secure.password[n].clear();
        }
      }
      changed = true;
    }
    if (page.m_nMaxUsers != secure.maxUsers) {
      secure.maxUsers = static_cast<std::uint8_t>(page.m_nMaxUsers);
      changed = true;
    }
    if (!changed) return 1;
    secure.Encode(app->SysCfg_SECURE);
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
    std::uint8_t* block = app->SysCfg_SMTP;
    using S = sect::SmtpSection;
    if (page.m_strMailFrom != o.strMailFrom) {
      marked = sect::WriteMailFrom(d, page.m_strMailFrom, block, app->SysCfg_SYSTEM, app->SysCfg_SNTP);
    }
    if (page.m_strSmtpServer != o.strSmtpServer) {
      sect::WriteText(block + S::kOffServer, 64, page.m_strSmtpServer, 63);
      marked.smtp = true;
    }
    if (page.m_strSmtpPassword != o.strSmtpPassword) {
      sect::WriteText(block + S::kOffSmtpPassword, 32, page.m_strSmtpPassword, 31);
      marked.smtp = true;
    }
    if (page.m_strSmtpUser != o.strSmtpUser) {
      sect::WriteText(block + S::kOffSmtpUser, 32, page.m_strSmtpUser, 31);
      marked.smtp = true;
    }
    if (page.m_bySmtpVerify != o.bySmtpVerify) {
      block[S::kOffVerify] = page.m_bySmtpVerify;
      marked.smtp = true;
    }
    if (page.m_bRecipientsChanged) {
      std::memset(block + S::kOffMailTo, 0, S::kRecipients * S::kMailToWidth);
      const std::vector<std::string> rows = page.Recipients();
      for (std::size_t i = 0; i < rows.size() && i < S::kRecipients; ++i) {
        std::string stored = rows[i];
        MailPropertyPage::ConvertMailAddress(stored, 0);
        // The editor refuses what does not fit; an entry never runs into the next one.
        sect::WriteText(block + S::kOffMailTo + i * S::kMailToWidth, S::kMailToWidth, stored, kMailToStoredLimit);
      }
      marked.smtp = true;
    }
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
  using F = sect::FtpSection;
  std::uint8_t copy[kSysCfgSizeFTP];
  {
    std::lock_guard<std::mutex> lock(app->mtx_SysCfg);
    std::uint8_t* block = app->SysCfg_FTP;
    bool changed = false;
    auto text = [&](const std::string& value, const std::string& orig, std::size_t offset, std::size_t width) {
      if (value != orig && value.size() < width) {
        sect::WriteText(block + offset, width, value, width - 1);
        changed = true;
      }
    };
    text(page.m_strServer, o.strFtpServer, F::kOffServer, 32);
    text(page.m_strUser, o.strFtpUser, F::kOffUser, 16);
    text(page.m_strPassword, o.strFtpPassword, F::kOffPassword, 16);
    text(page.m_strDirectory, o.strFtpDirectory, F::kOffDirectory, 32);
    if (page.m_nPort != o.wFtpPort) {
      block[F::kOffPort] = static_cast<std::uint8_t>(page.m_nPort);
      block[F::kOffPort + 1] = static_cast<std::uint8_t>(page.m_nPort >> 8);
      changed = true;
    }
    if (!changed) return 1;
    std::memcpy(copy, block, sizeof copy);
  }
  return SendSection(Hwnd(), SYSCFG_FTP, copy) ? 1 : 0;
}

int MySystemDialog::ApplyDnsPage(CDNSPage& page) {
  AppRecord* app = g_lpApp;
  if (!page.HasWindow() || !app) return 1;
  page.UpdateData(true);
  const NetworkSnapshot& o = m_origNetwork;
  using S = sect::SmtpSection;
  bool dnsChanged = false, smtpChanged = false;
  std::uint8_t dns[kSysCfgSizeDNS], smtp[kSysCfgSizeSMTP];
  {
    std::lock_guard<std::mutex> lock(app->mtx_SysCfg);
    if (page.m_dwDnsServer != o.dwDnsServer || (page.m_bAutoDns != 0) != (o.nDnsAuto != 0)) {
      PutPacked(app->SysCfg_DNS + sect::DnsSection::kOffServer, page.m_dwDnsServer);
      app->SysCfg_DNS[sect::DnsSection::kOffAuto] = page.m_bAutoDns ? 1 : 0;
      dnsChanged = true;
    }
    std::uint8_t* block = app->SysCfg_SMTP;
    // A stored provider the list does not hold counts as unchanged until the operator picks one.
    const bool providerKnown = o.nDdnsProvider >= 0 || page.m_bProviderPicked;
    const bool providerChanged = o.nDdnsProvider >= 0 ? page.m_nProvider != o.nDdnsProvider : page.m_bProviderPicked;
    if ((page.m_bDdnsEnable != 0) != (o.nDdnsEnable != 0) || page.m_strDdnsUser != o.strDdnsUser ||
        page.m_strDdnsPassword != o.strDdnsPassword || page.m_strDdnsDomain != o.strDdnsDomain || providerChanged) {
      block[S::kOffDdnsEnable] = page.m_bDdnsEnable ? 1 : 0;
      sect::WriteText(block + S::kOffDdnsUser, 16, page.m_strDdnsUser, 15);
      sect::WriteText(block + S::kOffDdnsPassword, 16, page.m_strDdnsPassword, 15);
      sect::WriteText(block + S::kOffDomain, 48, page.m_strDdnsDomain, 47);
      // The customer variants register with their own provider; the others with the chosen
      // one, and an unknown stored name the operator left alone stays as it is.
      static const char* const kNames[] = {"custom", "dyndns", "statdns", "quembrite"};
      if (HasCapability(CAP_OEM_VARIANT_2)) {
        sect::WriteText(block + S::kOffProvider, 16, "corbelmanifold", 15);
      } else if (HasCapability(CAP_OEM_VARIANT_1)) {
        sect::WriteText(block + S::kOffProvider, 16, "quembrite", 15);
      } else if (providerKnown) {
        const bool listed = page.m_nProvider >= 0 && page.m_nProvider < 4;
        sect::WriteText(block + S::kOffProvider, 16, listed ? kNames[page.m_nProvider] : "", 15);
      }
      smtpChanged = true;
    }
    std::memcpy(dns, app->SysCfg_DNS, sizeof dns);
    std::memcpy(smtp, app->SysCfg_SMTP, sizeof smtp);
  }
  if (dnsChanged && !SendSection(Hwnd(), SYSCFG_DNS, dns)) return 0;
  if (smtpChanged && !SendSection(Hwnd(), SYSCFG_SMTP, smtp)) return 0;
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
    const bool newLayout = d.NewPppoeLayout();
    using P = sect::PppoeSection;
    const std::size_t width = newLayout ? P::kNewWidth : P::kOldWidth;
    if (page.m_strPppoeUser != o.strPppoeUser) {
      sect::WriteText(block + (newLayout ? P::kNewOffUser : P::kOldOffUser), width, page.m_strPppoeUser, width - 1);
      pppoeChanged = true;
    }
    if (page.m_strPppoePassword != o.strPppoePassword) {
      sect::WriteText(block + (newLayout ? P::kNewOffPassword : P::kOldOffPassword), width, page.m_strPppoePassword,
                      width - 1);
      pppoeChanged = true;
    }
    std::memcpy(pppoe, block, sizeof pppoe);
  }
  if (pppoeChanged && !SendSection(Hwnd(), SYSCFG_PPPOE, pppoe)) return 0;

  bool ipChanged = false, networkChanged = false;
  bool serverChanged = false, portChanged = false;
  std::string newServer;
  std::uint16_t newPort = 0;
  std::uint8_t ip[kSysCfgSizeIP];
  {
    std::lock_guard<std::mutex> lock(app->mtx_SysCfg);
    std::uint8_t* block = app->SysCfg_IP;
    using I = sect::IpSection;
    if (page.m_dwIpAddress != o.dwIpAddress || page.m_dwGateway != o.dwGateway || page.m_dwNetMask != o.dwNetMask ||
        page.m_nWebPort != o.wWebPort) {
      if (page.m_dwIpAddress != o.dwIpAddress) {
        PutPacked(block + I::kOffIp, page.m_dwIpAddress);
        newServer = Dotted(page.m_dwIpAddress);
        serverChanged = true;
      }
      if (page.m_dwGateway != o.dwGateway) PutPacked(block + I::kOffGateway, page.m_dwGateway);
      if (page.m_dwNetMask != o.dwNetMask) PutPacked(block + I::kOffMask, page.m_dwNetMask);
      if (page.m_nWebPort != o.wWebPort) {
        if (page.m_nWebPort < 1 || page.m_nWebPort > 65535) return 0;
        block[I::kOffWebPort] = static_cast<std::uint8_t>(page.m_nWebPort);
        block[I::kOffWebPort + 1] = static_cast<std::uint8_t>(page.m_nWebPort >> 8);
        newPort = static_cast<std::uint16_t>(page.m_nWebPort);
        portChanged = true;
      }
      ipChanged = networkChanged = true;
    }
    if (page.m_byIpType != o.byIpType) {
      block[I::kOffIpType] = page.m_byIpType;
      ipChanged = networkChanged = true;
      const std::string domain = sect::ReadText(app->SysCfg_SMTP + sect::SmtpSection::kOffDomain, 48);
      if (page.m_byIpType == 0) {
        sect::Ip4 stored{block[I::kOffIp], block[I::kOffIp + 1], block[I::kOffIp + 2], block[I::kOffIp + 3]};
        newServer = Dotted(pagemodel::PackedIp4(stored));
        serverChanged = true;
      } else if (!domain.empty()) {
        newServer = domain;
        serverChanged = true;
      } else {
        // Without a domain the client cannot name the recorder: it stays where it is.
        serverChanged = false;
      }
    }
    if (IsModelFamilyK41(d.productId) && !IsFirmwareBelow(fwgate::kIpByte23DVR, d.firmware)) {
      if (page.m_nBitRate != o.nBitRate && page.m_nBitRate >= 0) block[I::kOffBitRate] = static_cast<std::uint8_t>(page.m_nBitRate);
      ipChanged = true;
    }
    std::memcpy(ip, block, sizeof ip);
  }
  if (!ipChanged) return 0;
  // The client follows the recorder only when this very request is answered with 200.
  if (serverChanged) SetPendingServer(newServer);
  if (portChanged) SetPendingWebPort(newPort);
  const int sent = SetSysCfgSection(SYSCFG_IP, ip, sizeof ip, 0);
  ClearPendingNetworkChange();
  if (!sent) {
    plat::MessageBox(Hwnd(), LoadStr(IDS_CHANGE_SYSTEM_CONFIG_FAILED));
    return 0;
  }
  return networkChanged ? 1 : 0;
}
