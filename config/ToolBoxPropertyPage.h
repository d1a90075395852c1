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
};
