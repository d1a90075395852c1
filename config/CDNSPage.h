// The "DDNS" page of the configuration sheet: the DNS server and the dynamic DNS account.
// The recorder keeps the dynamic DNS fields in its SMTP section.
#pragma once
#include <cstdint>
#include <string>

#include "ui/PropertySheet.h"

enum DnsPageControl : int {
  IDC_DNS_USER = 1040,
  IDC_DNS_PASSWORD = 1041,
  IDC_DNS_DOMAIN = 1042,
  IDC_DNS_PROVIDER = 1195,
  IDC_DNS_SERVER = 1251,
  IDC_DNS_ENABLE = 1380,
  IDC_DNS_DISABLE = 1381,
  IDC_DNS_AUTO = 1469,
  IDC_DNS_PROVIDER_LABEL = 1527,
};

class CDNSPage : public ui::PropertyPage {
  Q_OBJECT

 public:
  explicit CDNSPage(QWidget* parent = nullptr) : ui::PropertyPage(QStringLiteral("DDNS"), parent) {}

  // The provider index of a stored provider name: 0, 1, 2; -1 for a name the list does not
  // hold (0 on the customer variants, whose provider is fixed).
  static int ProviderIndex(const std::string& name);

  bool OnSetActive() override;
  void OnEnableDdns();
  void OnDisableDdns();
  void OnAutoDns();
  void DoDataExchange(ui::DataExchange& dx) override;

  int m_nProvider = 0;
  // The operator picked a provider (an unknown stored one counts as unchanged until then).
  bool m_bProviderPicked = false;
  std::string m_strDdnsUser;
  std::string m_strDdnsPassword;
  std::string m_strDdnsDomain;
  std::uint32_t m_dwDnsServer = 0;  // first octet in the high byte
  int m_bAutoDns = 0;
  int m_bDdnsEnable = 0;  // the dynamic-DNS switch

 protected:
  bool OnInitDialog() override;

 private:
  void ApplyAutoRule();
  void EnableDdnsControls(bool enable);
};
