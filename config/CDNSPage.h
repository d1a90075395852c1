// The "DDNS" page of the configuration sheet: the DNS server and the dynamic DNS account.
#pragma once
#include <cstdint>
#include <string>

#include "ui/PropertySheet.h"

class CDNSPage : public ui::PropertyPage {
  Q_OBJECT

 public:
  explicit CDNSPage(QWidget* parent = nullptr) : ui::PropertyPage(QStringLiteral("DDNS"), parent) {}

  int m_bDdnsEnable = 0;  // the dynamic-DNS switch

 protected:
  bool OnInitDialog() override;
};
