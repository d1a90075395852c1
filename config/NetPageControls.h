// Small builders for the controls of the network-group pages (network, DDNS, mail, FTP,
// account): each makes a child of the page at a fixed position and registers it under its id
// (id -1: a plain label or frame that nothing looks up).
#pragma once
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <string>

#include "ui/Controls.h"
#include "ui/PropertySheet.h"

namespace netpage {

inline void Place(ui::PropertyPage& page, int id, QWidget* w, int x, int y, int width, int height) {
  w->setGeometry(x, y, width, height);
  if (id >= 0) page.AddControl(id, w);
  w->show();
}

inline QLabel* Label(ui::PropertyPage& page, int id, const char* text, int x, int y, int width, int height = 20) {
  auto* w = new QLabel(QString::fromLatin1(text), &page);
  Place(page, id, w, x, y, width, height);
  return w;
}

inline QGroupBox* Group(ui::PropertyPage& page, int id, const char* text, int x, int y, int width, int height) {
  auto* w = new QGroupBox(QString::fromLatin1(text), &page);
  Place(page, id, w, x, y, width, height);
  w->lower();
  return w;
}

inline QLineEdit* Edit(ui::PropertyPage& page, int id, int x, int y, int width, bool password = false) {
  auto* w = new QLineEdit(&page);
  if (password) w->setEchoMode(QLineEdit::Password);
  Place(page, id, w, x, y, width, 22);
  return w;
}

// An edit that takes digits only (typing and pasting).
inline QLineEdit* DigitEdit(ui::PropertyPage& page, int id, int x, int y, int width) {
  QLineEdit* w = Edit(page, id, x, y, width);
  static const QRegularExpression kDigits(QStringLiteral("[0-9]*"));
  w->setValidator(new QRegularExpressionValidator(kDigits, w));
  return w;
}

inline ui::IpAddressEdit* Address(ui::PropertyPage& page, int id, int x, int y, int width = 150) {
  auto* w = new ui::IpAddressEdit(&page);
  Place(page, id, w, x, y, width, 22);
  return w;
}

inline QRadioButton* Radio(ui::PropertyPage& page, int id, const char* text, int x, int y, int width) {
  auto* w = new QRadioButton(QString::fromLatin1(text), &page);
  Place(page, id, w, x, y, width, 20);
  return w;
}

inline QPushButton* Button(ui::PropertyPage& page, int id, const char* text, int x, int y, int width = 80) {
  auto* w = new QPushButton(QString::fromLatin1(text), &page);
  w->setAutoDefault(false);
  Place(page, id, w, x, y, width, 24);
  return w;
}

inline ui::DropList* List(ui::PropertyPage& page, int id, std::initializer_list<const char*> items, int x, int y,
                          int width) {
  auto* w = new ui::DropList(&page);
  w->SetCurSel(-1);
  for (const char* item : items) w->AddString(QString::fromLatin1(item));
  Place(page, id, w, x, y, width, 22);
  return w;
}

// Replaces an edit's text (no change notification) and puts the caret after its end.
inline void RewriteEdit(QLineEdit* edit, const std::string& text) {
  if (!edit) return;
  edit->setText(QString::fromStdString(text));
  edit->setCursorPosition(static_cast<int>(edit->text().size()));
}

inline std::string EditText(const ui::PropertyPage& page, int id) {
  auto* e = page.Item<QLineEdit>(id);
  return e ? e->text().toStdString() : std::string();
}

// Radio checks without the buttons' automatic exclusivity getting in the way ("none checked"
// is a state the pages show).
inline void SetCheck(ui::PropertyPage& page, int id, bool on) {
  if (auto* b = page.Item<QAbstractButton>(id)) {
    const bool exclusive = b->autoExclusive();
    b->setAutoExclusive(false);
    b->setChecked(on);
    b->setAutoExclusive(exclusive);
  }
}

}  // namespace netpage
