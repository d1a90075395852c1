// The recorder's network, DDNS, mail, FTP and account settings as the configuration sheet
// found them when it opened: the apply steps of those pages compare with it and send only
// what changed.
#pragma once
#include <cstdint>
#include <string>

struct NetworkSnapshot {
  std::uint32_t dwIpAddress = 0, dwGateway = 0, dwNetMask = 0;  // first octet in the high byte
  std::uint16_t wWebPort = 0;
  std::uint8_t byIpType = 0;
  int nBitRate = 0;
  std::string strPppoeUser, strPppoePassword;
  std::uint32_t dwDnsServer = 0;
  int nDdnsEnable = 0, nDnsAuto = 0;
  std::string strDdnsUser, strDdnsPassword, strDdnsDomain;
  int nDdnsProvider = -1;  // -1: a stored name the provider list does not hold
  std::string strMailFrom;
  std::string strSmtpServer, strSmtpPassword, strSmtpUser;
  std::uint8_t bySmtpVerify = 0;
  std::uint8_t byMaxUsers = 0;
  std::string strFtpServer, strFtpPassword, strFtpUser, strFtpDirectory;
  std::uint16_t wFtpPort = 0;
};
