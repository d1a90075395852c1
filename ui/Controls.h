// The controls the configuration pages use, in the shape the pages talk to them.
//
// Change notifications of every control here come from the operator only: filling a control
// from code (SetAddress, SetCurSel, SetItemText, setText) never runs a change handler. The one
// exception on purpose is SelectTree's programmatic selection, which notifies like a click.
#pragma once
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeEdit>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTreeWidget>
#include <cstdint>
#include <functional>

namespace ui {

// An IPv4 address edit: four dotted decimal fields of 0 to 255.
class IpAddressEdit : public QLineEdit {
  Q_OBJECT

 public:
  explicit IpAddressEdit(QWidget* parent = nullptr);
  // The address packed with the first octet in the high byte. Answers the number of
  // non-blank fields (4 for a whole address); `address` is 0 unless all four are there.
  int GetAddress(std::uint32_t& address) const;
  void SetAddress(std::uint32_t address);
  void SetAddress(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d);
  void ClearAddress() { setText(QString()); }
  bool IsBlank() const { return text().trimmed().isEmpty(); }
  // The operator edited the address.
  std::function<void()> onChanged;
};

// Parses "a.b.c.d" (each 0-255, decimal, no extra text) into a packed address.
bool ParseIpv4(const QString& text, std::uint32_t& address);
QString FormatIpv4(std::uint32_t address);

// A drop-down list of fixed items that may have no selection (index -1).
class DropList : public QComboBox {
  Q_OBJECT

 public:
  explicit DropList(QWidget* parent = nullptr);
  int AddString(const QString& text);
  int GetCurSel() const { return currentIndex(); }
  // -1 (or any index outside the list) leaves the list without selection. Answers the index
  // now selected, or -1.
  int SetCurSel(int index);
  int GetCount() const { return count(); }
  // The operator picked an item (also the one already shown).
  std::function<void(int)> onSelChange;
};

// An edit that takes digits only: what the operator types or pastes is reduced to its digits
// at once (the caret stays after the digits before it). Text set from code is left as it is.
class DigitsEdit : public QLineEdit {
  Q_OBJECT

 public:
  explicit DigitsEdit(QWidget* parent = nullptr);
};

// A list in report view: columns, whole-row single selection. Column widths are minimums: a
// column grows to its heading and to every text put into its cells.
class ReportList : public QTreeWidget {
  Q_OBJECT

 public:
  explicit ReportList(QWidget* parent = nullptr);
  int InsertColumn(int column, const QString& heading, int width);
  // Inserts a row (at the end when `row` is past it); answers its index.
  int InsertItem(int row, const QString& text);
  bool SetItemText(int row, int column, const QString& text);
  QString GetItemText(int row, int column) const;
  bool DeleteItem(int row);
  void DeleteAllItems() { clear(); }
  int GetItemCount() const { return topLevelItemCount(); }
  // The selected row, or -1.
  int GetSelectedRow() const;
  void SelectRow(int row);  // -1 clears the selection
  // The operator double-clicked a row.
  std::function<void(int)> onDoubleClick;

 private:
  void FitColumn(int column, const QString& text);
};

// A tree whose selection change can be refused, and whose programmatic selection goes through
// the same notifications as a click: first onSelChanging (false refuses; selection and
// current item stay), then onSelChanged.
class SelectTree : public QTreeWidget {
  Q_OBJECT

 public:
  explicit SelectTree(QWidget* parent = nullptr);
  std::function<bool(QTreeWidgetItem* from, QTreeWidgetItem* to)> onSelChanging;
  std::function<void(QTreeWidgetItem* item)> onSelChanged;
  // Selects the item as a click would; answers false when the change was refused.
  bool SelectItem(QTreeWidgetItem* item);
  QTreeWidgetItem* SelectedItem() const { return currentItem(); }

 private:
  class VetoModel;
  friend class VetoModel;
  bool Allow(const QModelIndex& from, const QModelIndex& to);
};

// A click into a date or time box selects the whole field under it, so that digits typed next
// replace the field, as after a double click or an arrow key.
void SelectFieldOnClick(QDateTimeEdit* edit);

// A date or time picker with a display format ("yyyy - MMM - dd", "HH : mm : ss"); month
// names are the English short names whatever the system's language.
class DateTimePicker : public QDateTimeEdit {
  Q_OBJECT

 public:
  explicit DateTimePicker(QWidget* parent = nullptr);
  void SetFormat(const QString& format);
  // An invalid moment shows the PC's current local time.
  void SetTime(const QDateTime& moment);
  QDateTime GetTime() const { return dateTime(); }
  // The operator changed the value.
  std::function<void()> onChanged;

 private:
  int setting_ = 0;
};

// An edit that takes digits only as typed input.
class DigitEdit : public QLineEdit {
  Q_OBJECT

 public:
  explicit DigitEdit(QWidget* parent = nullptr);
};

}  // namespace ui
