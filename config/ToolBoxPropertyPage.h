// The "General" page of the configuration sheet: the device title, the turbo repeat step and the event log.
#pragma once
#include <cstdint>
#include <string>

#include "config/ToolBoxPropertyPageLog.h"
#include "ui/PropertySheet.h"

class ToolBoxPropertyPage : public ui::PropertyPage {
  Q_OBJECT

 public:
  explicit ToolBoxPropertyPage(QWidget* parent = nullptr) : ui::PropertyPage(QStringLiteral("General"), parent) {}

  int m_nTurboRepeat = 0;  // the turbo-repeat choice (the step minus 1)

  // ---- the event log: Server Log button, MAX LOG LIST, download and viewers ----
  CServerLog m_ServerLog{*this};

  // ---- general settings ----
  enum : int {
    IDC_FIRMWARE = 1305,
    IDC_TURBO = 1195,
    IDC_MAC = 1316,
    IDC_TITLE_LABEL = 1473,
    IDC_TITLE = 1474,
    IDC_CH1_NAME = 1475,
    IDC_CH2_NAME = 1476,
    IDC_CH1_LABEL = 1504,
    IDC_CH2_LABEL = 1505,
  };
  std::string m_strFirmware = "0.8.0.0";
  std::string m_strMac;
  std::string m_strTitle;         // at most 8 characters
  std::string m_strChannelName1;  // K40R from "1010": at most 3 characters each
  std::string m_strChannelName2;
  void DoDataExchange(ui::DataExchange& dx) override;
  // The firmware text "1043" as "1.0.4.3" (a shorter text: its characters joined by ".").
  static std::string FirmwareText(const std::string& version);
  // Twelve characters as "00:11:22:AA:BB:CC".
  static std::string MacText(const std::string& mac);

 protected:
  bool OnInitDialog() override;
  // ---- end of general settings ----
};
