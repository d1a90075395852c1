#include "config/CDNSPage.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>

#include "config/NetPageControls.h"
#include "config/NetworkConfigPage.h"
#include "config/PageModel.h"
#include "core/Model.h"
#include "session/Sections.h"

int CDNSPage::ProviderIndex(const std::string& name) {
  if (name == "custom") return 0;
  if (name == "dyndns") return 1;
  if (name == "statdns") return 2;
  return HasCapability(CAP_OEM_VARIANT_2) || HasCapability(CAP_OEM_VARIANT_1) ? 0 : -1;
}

bool CDNSPage::OnInitDialog() {
  using namespace netpage;
  Label(*this, -1, "DNS:", 20, 20, 90);
  Address(*this, IDC_DNS_SERVER, 120, 18);
  auto* autoBox = new QCheckBox(QStringLiteral("AUTO"), this);
  Place(*this, IDC_DNS_AUTO, autoBox, 290, 18, 80, 22);
  autoBox->hide();
  Group(*this, -1, "", 10, 55, 420, 200);
  Label(*this, -1, "DDNS:", 20, 75, 90);
  Radio(*this, IDC_DNS_ENABLE, "Enable", 120, 75, 90);
  Radio(*this, IDC_DNS_DISABLE, "Disable", 220, 75, 90);
  Label(*this, -1, "User Name:", 20, 110, 90);
  Edit(*this, IDC_DNS_USER, 120, 108, 200);
  Label(*this, -1, "Password:", 20, 140, 90);
  Edit(*this, IDC_DNS_PASSWORD, 120, 138, 200, true);
  Label(*this, -1, "Domain:", 20, 170, 90);
  Edit(*this, IDC_DNS_DOMAIN, 120, 168, 300);
  Label(*this, -1, "System Name:", 20, 200, 100);
  List(*this, IDC_DNS_PROVIDER, {"custom", "dyndns", "statdns"}, 120, 198, 150);
  Label(*this, IDC_DNS_PROVIDER_LABEL, "TAVRO", 120, 198, 150);

  OnCommand(IDC_DNS_ENABLE, [this] { OnEnableDdns(); });
  OnCommand(IDC_DNS_DISABLE, [this] { OnDisableDdns(); });
  OnCommand(IDC_DNS_AUTO, [this] { OnAutoDns(); });
  OnChange(IDC_DNS_PROVIDER, [this] { m_bProviderPicked = true; });

  sect::DnsSection dns;
  sect::SmtpSection smtp;
  if (pagemodel::IModel* model = pagemodel::Current()) {
    model->WithSections([&](const pagemodel::Sections& s) {
      sect::DnsSection::Decode(s.Data(SYSCFG_DNS), s[SYSCFG_DNS].size(), dns);
      sect::SmtpSection::Decode(s.Data(SYSCFG_SMTP), s[SYSCFG_SMTP].size(), smtp);
    });
  }
  m_dwDnsServer = sect::PackIp4(dns.dnsServer);
  m_bDdnsEnable = smtp.ddnsEnable != 0 ? 1 : 0;
  SetCheck(*this, IDC_DNS_ENABLE, m_bDdnsEnable);
  SetCheck(*this, IDC_DNS_DISABLE, !m_bDdnsEnable);
  EnableDdnsControls(m_bDdnsEnable != 0);
  m_strDdnsUser = smtp.ddnsUser;
  m_strDdnsPassword = smtp.ddnsPassword;
  m_strDdnsDomain = smtp.ddnsDomain;
  const int provider = ProviderIndex(smtp.ddnsProvider);
  if (provider >= 0) m_nProvider = provider;
  if (HasCapability(CAP_OEM_VARIANT_2)) {
    ShowDlgItem(IDC_DNS_PROVIDER, false);
  } else if (HasCapability(CAP_OEM_VARIANT_1)) {
    ShowDlgItem(IDC_DNS_PROVIDER, false);
    SetDlgItemText(IDC_DNS_PROVIDER_LABEL, QStringLiteral("QUEMBRITE"));
  } else {
    ShowDlgItem(IDC_DNS_PROVIDER_LABEL, false);
  }
  m_bAutoDns = dns.dnsAuto != 0 ? 1 : 0;
  ApplyAutoRule();
  return UpdateData(false);
}

bool CDNSPage::OnSetActive() {
  ApplyAutoRule();
  return ui::PropertyPage::OnSetActive();
}

// "AUTO" is offered on the DVR family with DHCP only; while it is on, the DNS address is
// the recorder's to choose.
void CDNSPage::ApplyAutoRule() {
  if (!HasWindow() || !IsModelFamilyK41()) {
    ShowDlgItem(IDC_DNS_AUTO, false);
    return;
  }
  if (g_byNetworkIpType == 2) {
    ShowDlgItem(IDC_DNS_AUTO, true);
    EnableDlgItem(IDC_DNS_SERVER, !m_bAutoDns);
  } else {
    ShowDlgItem(IDC_DNS_AUTO, false);
    EnableDlgItem(IDC_DNS_SERVER, true);
  }
}

void CDNSPage::EnableDdnsControls(bool enable) {
  for (int id : {IDC_DNS_USER, IDC_DNS_PASSWORD, IDC_DNS_DOMAIN, IDC_DNS_PROVIDER}) EnableDlgItem(id, enable);
}

void CDNSPage::OnEnableDdns() {
  netpage::SetCheck(*this, IDC_DNS_ENABLE, true);
  netpage::SetCheck(*this, IDC_DNS_DISABLE, false);
  EnableDdnsControls(true);
  m_bDdnsEnable = 1;
}

void CDNSPage::OnDisableDdns() {
  netpage::SetCheck(*this, IDC_DNS_ENABLE, false);
  netpage::SetCheck(*this, IDC_DNS_DISABLE, true);
  EnableDdnsControls(false);
  m_bDdnsEnable = 0;
}

void CDNSPage::OnAutoDns() {
  m_bAutoDns = m_bAutoDns ? 0 : 1;
  if (IsModelFamilyK41()) EnableDlgItem(IDC_DNS_SERVER, !m_bAutoDns);
}

void CDNSPage::DoDataExchange(ui::DataExchange& dx) {
  dx.ListIndex(IDC_DNS_PROVIDER, m_nProvider);
  dx.Text(IDC_DNS_USER, m_strDdnsUser, 15);
  dx.Text(IDC_DNS_PASSWORD, m_strDdnsPassword, 15);
  dx.Text(IDC_DNS_DOMAIN, m_strDdnsDomain, 47);
  dx.Address(IDC_DNS_SERVER, m_dwDnsServer);
  dx.Check(IDC_DNS_AUTO, m_bAutoDns);
}
