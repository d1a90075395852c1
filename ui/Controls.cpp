#include "ui/Controls.h"

#include <QEvent>
#include <QSignalBlocker>

#include <QHeaderView>
#include <QStyle>
#include <algorithm>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QStringList>

namespace ui {

bool ParseIpv4(const QString& text, std::uint32_t& address) {
  const QStringList parts = text.trimmed().split('.');
  if (parts.size() != 4) return false;
  std::uint32_t value = 0;
  for (const QString& part : parts) {
    if (part.isEmpty() || part.size() > 3) return false;
    for (QChar c : part) {
      if (c < '0' || c > '9') return false;
    }
    const int octet = part.toInt();
    if (octet > 255) return false;
    value = (value << 8) | static_cast<std::uint32_t>(octet);
  }
  address = value;
  return true;
}

QString FormatIpv4(std::uint32_t a) {
  return QStringLiteral("%1.%2.%3.%4").arg(a >> 24).arg((a >> 16) & 0xFF).arg((a >> 8) & 0xFF).arg(a & 0xFF);
}

IpAddressEdit::IpAddressEdit(QWidget* parent) : QLineEdit(parent) {
  static const QRegularExpression kDotted(
      QStringLiteral("^(?:(?:25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])?\\.){0,3}"
                     "(?:25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])?$"));
  setValidator(new QRegularExpressionValidator(kDotted, this));
  setMaxLength(15);
  connect(this, &QLineEdit::textEdited, this, [this] {
    if (onChanged) onChanged();
  });
}

int IpAddressEdit::GetAddress(std::uint32_t& address) const {
  address = 0;
  const QStringList parts = text().split('.');
  int fields = 0;
  for (const QString& p : parts) {
    if (!p.trimmed().isEmpty()) ++fields;
  }
  if (fields > 4) fields = 4;
  std::uint32_t value = 0;
  if (ParseIpv4(text(), value)) address = value;
  return fields;
}

void IpAddressEdit::SetAddress(std::uint32_t address) { setText(FormatIpv4(address)); }

void IpAddressEdit::SetAddress(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
  SetAddress((std::uint32_t(a) << 24) | (std::uint32_t(b) << 16) | (std::uint32_t(c) << 8) | d);
}

DropList::DropList(QWidget* parent) : QComboBox(parent) {
  setEditable(false);
  // `activated` comes from the operator only; filling and SetCurSel stay silent.
  connect(this, &QComboBox::activated, this, [this](int index) {
    if (onSelChange) onSelChange(index);
  });
}

int DropList::AddString(const QString& text) {
  const int keep = currentIndex();
  addItem(text);
  // A list keeps "no selection" when items are added to it.
  if (keep < 0) setCurrentIndex(-1);
  return count() - 1;
}

int DropList::SetCurSel(int index) {
  setCurrentIndex(index >= 0 && index < count() ? index : -1);
  return currentIndex();
}

DigitsEdit::DigitsEdit(QWidget* parent) : QLineEdit(parent) {
  // Connected before any handler of the page, so the page sees the reduced text.
  connect(this, &QLineEdit::textEdited, this, [this](const QString& text) {
    QString digits;
    int caret = cursorPosition();
    for (int i = 0; i < text.size(); ++i) {
      if (text[i].isDigit() && text[i].unicode() < 128) {
        digits += text[i];
      } else if (i < cursorPosition()) {
        --caret;
      }
    }
    if (digits != text) {
      const QSignalBlocker block(this);
      setText(digits);
      setCursorPosition(caret < 0 ? 0 : caret);
    }
  });
}

ReportList::ReportList(QWidget* parent) : QTreeWidget(parent) {
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setAllColumnsShowFocus(true);
  setColumnCount(0);
  header()->setStretchLastSection(false);
  connect(this, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item, int) {
    if (onDoubleClick) onDoubleClick(indexOfTopLevelItem(item));
  });
}

int ReportList::InsertColumn(int column, const QString& heading, int width) {
  QTreeWidgetItem* head = headerItem();
  const int n = columnCount();
  if (column < 0 || column > n) column = n;
  setColumnCount(n + 1);
  for (int c = n; c > column; --c) head->setText(c, head->text(c - 1));
  head->setText(column, heading);
  // The given width is a minimum: the column is at least as wide as its heading.
  setColumnWidth(column, std::max(width, header()->sectionSizeHint(column)));
  return column;
}

void ReportList::FitColumn(int column, const QString& text) {
  if (text.isEmpty()) return;
  const int margin = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1);
  const int need = fontMetrics().horizontalAdvance(text) + margin;
  if (columnWidth(column) < need) setColumnWidth(column, need);
}

int ReportList::InsertItem(int row, const QString& text) {
  auto* item = new QTreeWidgetItem;
  item->setText(0, text);
  if (columnCount() > 0) FitColumn(0, text);
  const int n = topLevelItemCount();
  if (row < 0 || row > n) row = n;
  insertTopLevelItem(row, item);
  return row;
}

bool ReportList::SetItemText(int row, int column, const QString& text) {
  QTreeWidgetItem* item = topLevelItem(row);
  if (!item || column < 0 || column >= columnCount()) return false;
  item->setText(column, text);
  FitColumn(column, text);
  return true;
}

QString ReportList::GetItemText(int row, int column) const {
  QTreeWidgetItem* item = topLevelItem(row);
  return item ? item->text(column) : QString();
}

bool ReportList::DeleteItem(int row) {
  if (row < 0 || row >= topLevelItemCount()) return false;
  delete takeTopLevelItem(row);
  return true;
}

int ReportList::GetSelectedRow() const {
  const QList<QTreeWidgetItem*> items = selectedItems();
  return items.isEmpty() ? -1 : indexOfTopLevelItem(items.first());
}

void ReportList::SelectRow(int row) {
  QTreeWidgetItem* item = topLevelItem(row);
  if (!item) {
    clearSelection();
    return;
  }
  setCurrentItem(item);
  item->setSelected(true);
}

// The selection model asks the tree before the current item moves; a refused move leaves
// current item and selection as they were (the view's follow-up select of the clicked item
// is dropped, since only the current item may be selected).
class SelectTree::VetoModel : public QItemSelectionModel {
 public:
  VetoModel(QAbstractItemModel* model, SelectTree* tree) : QItemSelectionModel(model, tree), tree_(tree) {}

  void setCurrentIndex(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) override {
    const QModelIndex from = currentIndex();
    const QModelIndex to = index.sibling(index.row(), 0);
    if (to != from.sibling(from.row(), 0) && !tree_->Allow(from, to)) return;
    inMove_ = true;
    QItemSelectionModel::setCurrentIndex(index, command);
    inMove_ = false;
  }
  void select(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) override {
    select(QItemSelection(index, index), command);
  }
  void select(const QItemSelection& selection, QItemSelectionModel::SelectionFlags command) override {
    if (inMove_) {
      QItemSelectionModel::select(selection, command);
      return;
    }
    const QModelIndex current = currentIndex();
    for (const QModelIndex& i : selection.indexes()) {
      if (i.row() != current.row() || i.parent() != current.parent()) return;
    }
    QItemSelectionModel::select(selection, command);
  }

 private:
  SelectTree* tree_;
  bool inMove_ = false;
};

SelectTree::SelectTree(QWidget* parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setColumnCount(1);
  setSelectionMode(QAbstractItemView::SingleSelection);
  QItemSelectionModel* old = selectionModel();
  auto* veto = new VetoModel(model(), this);
  setSelectionModel(veto);
  delete old;
  // The tree widget tied its item signals to the model it made itself; tie them to ours.
  connect(veto, SIGNAL(currentChanged(QModelIndex, QModelIndex)), this,
          SLOT(_q_emitCurrentItemChanged(QModelIndex, QModelIndex)));
  connect(veto, SIGNAL(selectionChanged(QItemSelection, QItemSelection)), this,
          SLOT(_q_selectionChanged(QItemSelection, QItemSelection)));
  connect(veto, &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& now, const QModelIndex&) {
    if (onSelChanged) onSelChanged(itemFromIndex(now));
  });
}

bool SelectTree::Allow(const QModelIndex& from, const QModelIndex& to) {
  if (!onSelChanging) return true;
  return onSelChanging(itemFromIndex(from), itemFromIndex(to));
}

bool SelectTree::SelectItem(QTreeWidgetItem* item) {
  if (!item) return false;
  if (currentItem() == item) return true;
  setCurrentItem(item);
  return currentItem() == item;
}

}  // namespace ui

namespace ui {

namespace {

class FieldOnClick : public QObject {
 public:
  explicit FieldOnClick(QDateTimeEdit* edit) : QObject(edit), edit_(edit) {}
  bool eventFilter(QObject*, QEvent* event) override {
    // After the click has placed the caret; a drag that selected text keeps its selection.
    if (event->type() == QEvent::MouseButtonRelease) {
      QLineEdit* line = edit_->findChild<QLineEdit*>();
      if (line && !line->hasSelectedText() && edit_->currentSection() != QDateTimeEdit::NoSection) {
        edit_->setSelectedSection(edit_->currentSection());
      }
    }
    return false;
  }

 private:
  QDateTimeEdit* edit_;
};

}  // namespace

void SelectFieldOnClick(QDateTimeEdit* edit) {
  if (QLineEdit* line = edit ? edit->findChild<QLineEdit*>() : nullptr) line->installEventFilter(new FieldOnClick(edit));
}

DateTimePicker::DateTimePicker(QWidget* parent) : QDateTimeEdit(parent) {
  SelectFieldOnClick(this);
  setLocale(QLocale::c());
  setMinimumDateTime(QDateTime(QDate(1970, 1, 1), QTime(0, 0)));
  ++setting_;
  setDateTime(QDateTime::currentDateTime());
  --setting_;
  connect(this, &QDateTimeEdit::dateTimeChanged, this, [this] {
    if (setting_ == 0 && onChanged) onChanged();
  });
}

void DateTimePicker::SetFormat(const QString& format) {
  const QDateTime keep = dateTime();
  ++setting_;
  setDisplayFormat(format);
  setDateTime(keep);
  --setting_;
}

void DateTimePicker::SetTime(const QDateTime& moment) {
  ++setting_;
  setDateTime(moment.isValid() ? moment : QDateTime::currentDateTime());
  --setting_;
}

DigitEdit::DigitEdit(QWidget* parent) : QLineEdit(parent) {
  static const QRegularExpression kDigits(QStringLiteral("^[0-9]*$"));
  setValidator(new QRegularExpressionValidator(kDigits, this));
}

}  // namespace ui
