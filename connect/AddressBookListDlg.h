// A second address book window.
#pragma once
#include "ui/Window.h"

// A second address book window: a title and an empty list view.
class CAddressBookListDlg : public ui::Window {
  Q_OBJECT

 public:
  static constexpr int kListId = 1470;
  explicit CAddressBookListDlg(QWidget* parent = nullptr);
};
