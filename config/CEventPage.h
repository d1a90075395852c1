// The "Search List" page of the configuration sheet: the recorder's event list.
#pragma once
#include "ui/PropertySheet.h"

class CEventPage : public ui::PropertyPage {
  Q_OBJECT

 public:
  explicit CEventPage(QWidget* parent = nullptr) : ui::PropertyPage(QStringLiteral("Search List"), parent) {}
};
