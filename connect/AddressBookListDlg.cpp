#include "connect/AddressBookListDlg.h"

#include <QTreeWidget>
#include <QVBoxLayout>

CAddressBookListDlg::CAddressBookListDlg(QWidget* parent) : ui::Window(parent) {
  setWindowTitle("Address Book");
  auto* layout = new QVBoxLayout(this);
  auto* list = new QTreeWidget(this);
  list->setRootIsDecorated(false);
  layout->addWidget(list);
  AddControl(kListId, list);
}
