#include "ui/PropertySheet.h"

#include <QAbstractButton>
#include <algorithm>
#include <QComboBox>
#include <QLineEdit>

#include <limits>

#include "core/Strings.h"
#include "platform/messages.h"
#include "ui/Controls.h"
#include "ui/Lifetime.h"

namespace ui {

// ---- data exchange ------------------------------------------------------------------------------

void DataExchange::Fail(int id, const std::string& message) {
  if (failed_) return;  // one message per pass
  failed_ = true;
  failedId_ = id;
  plat::MessageBox(page_.Hwnd(), message, "", plat::MB_OK | plat::MB_ICONWARNING);
  if (QWidget* w = page_.GetDlgItem(id)) {
    w->setFocus();
    if (auto* edit = qobject_cast<QLineEdit*>(w)) edit->selectAll();
  }
}

void DataExchange::Text(int id, std::string& value, int maxChars) {
  auto* edit = page_.Item<QLineEdit>(id);
  if (!edit || failed_) return;
  if (!save_) {
    if (maxChars > 0) edit->setMaxLength(maxChars);
    edit->setText(QString::fromStdString(value));
    return;
  }
  const QString text = edit->text();
  if (maxChars > 0 && text.size() > maxChars) {
    Fail(id, "Enter no more than " + std::to_string(maxChars) + " characters.");
    return;
  }
  value = text.toStdString();
}

void DataExchange::Number(int id, int& value, int min, int max) {
  auto* edit = page_.Item<QLineEdit>(id);
  if (!edit || failed_) return;
  if (!save_) {
    edit->setText(QString::number(value));
    return;
  }
  bool ok = false;
  const long long n = edit->text().trimmed().toLongLong(&ok);
  if (!ok) {
    Fail(id, LoadStr(IDS_ENTER_INTEGER));
    return;
  }
  if (n < min || n > max) {
    // "Please enter an integer between %1 and %2."
    QString text = QString::fromLatin1(LoadStr(IDS_ENTER_INTEGER_BETWEEN));
    text = text.arg(min).arg(max);
    Fail(id, text.toStdString());
    return;
  }
  value = static_cast<int>(n);
}

void DataExchange::Integer(int id, int& value) {
  Number(id, value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
}

void DataExchange::Check(int id, int& value) {
  auto* box = page_.Item<QAbstractButton>(id);
  if (!box || failed_) return;
  if (!save_) {
    box->setChecked(value != 0);
  } else {
    value = box->isChecked() ? 1 : 0;
  }
}

void DataExchange::Radio(int firstId, int count, int& value) {
  if (failed_) return;
  if (!save_) {
    for (int i = 0; i < count; ++i) {
      if (auto* b = page_.Item<QAbstractButton>(firstId + i)) {
        const bool autoExclusive = b->autoExclusive();
        b->setAutoExclusive(false);  // lets "none checked" be shown
        b->setChecked(i == value);
        b->setAutoExclusive(autoExclusive);
      }
    }
    return;
  }
  value = -1;
  for (int i = 0; i < count; ++i) {
    auto* b = page_.Item<QAbstractButton>(firstId + i);
    if (b && b->isChecked()) {
      value = i;
      return;
    }
  }
}

void DataExchange::ListIndex(int id, int& value) {
  auto* list = page_.Item<QComboBox>(id);
  if (!list || failed_) return;
  if (!save_) {
    list->setCurrentIndex(value >= 0 && value < list->count() ? value : -1);
  } else {
    value = list->currentIndex();
  }
}

void DataExchange::Address(int id, std::uint32_t& value) {
  auto* edit = page_.Item<IpAddressEdit>(id);
  if (!edit || failed_) return;
  if (!save_) {
    edit->SetAddress(value);
    return;
  }
  std::uint32_t address = 0;
  if (edit->GetAddress(address) != 4 || !ParseIpv4(edit->text(), address)) {
    Fail(id, "Enter an address of four numbers from 0 to 255.");
    return;
  }
  value = address;
}

// ---- page -----------------------------------------------------------------------------------------

PropertyPage::PropertyPage(QString caption, QWidget* parent) : Window(parent), caption_(std::move(caption)) {
  setWindowFlags(Qt::Widget);
  hide();
}

PropertyPage::~PropertyPage() = default;

bool PropertyPage::CreatePage(QWidget* host) {
  if (created_) return true;
  setParent(host, Qt::Widget);
  created_ = true;
  {
    FillScope fill(*this);
    OnInitDialog();
    for (const auto& step : initSteps_) step();
  }
  // Change handlers registered before the controls existed.
  for (const auto& entry : changes_) Connect(entry.first);
  return true;
}

bool PropertyPage::UpdateData(bool saveAndValidate) {
  DataExchange dx(*this, saveAndValidate);
  if (!saveAndValidate) {
    FillScope fill(*this);
    DoDataExchange(dx);
  } else {
    DoDataExchange(dx);
  }
  return !dx.Failed();
}

void PropertyPage::RunChange(int id) {
  if (IsFilling()) return;
  for (auto& [cid, handler] : changes_) {
    if (cid == id && handler) {
      // What the handler writes back into its control is no edit: the controls report the
      // operator's edits only.
      HandlerScope scope(this);
      handler();
      return;
    }
  }
}

void PropertyPage::OnChange(int id, std::function<void()> handler) {
  auto it = std::find_if(changes_.begin(), changes_.end(), [id](const auto& p) { return p.first == id; });
  if (it != changes_.end()) {
    it->second = std::move(handler);
  } else {
    changes_.emplace_back(id, std::move(handler));
  }
  Connect(id);
}

void PropertyPage::Connect(int id) {
  QWidget* w = GetDlgItem(id);
  if (!w || std::find(connected_.begin(), connected_.end(), id) != connected_.end()) return;
  connected_.push_back(id);
  if (auto* ip = qobject_cast<IpAddressEdit*>(w)) {
    ip->onChanged = [this, id] { RunChange(id); };
  } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    connect(edit, &QLineEdit::textEdited, this, [this, id] { RunChange(id); });
  } else if (auto* list = qobject_cast<DropList*>(w)) {
    list->onSelChange = [this, id](int) { RunChange(id); };
  } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
    connect(combo, &QComboBox::activated, this, [this, id] { RunChange(id); });
  } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
    connect(button, &QAbstractButton::clicked, this, [this, id] { RunChange(id); });
  }
}

// ---- sheet ----------------------------------------------------------------------------------------

PropertySheet::PropertySheet(QString caption, QWidget* parent) : Window(parent) {
  setWindowTitle(caption);
  host_ = new QWidget(this);
  host_->setObjectName(QStringLiteral("PageArea"));
  host_->setGeometry(pageArea_);
}

PropertySheet::~PropertySheet() { ForgetPages(); }

void PropertySheet::ForgetPages() {
  // The pages belong to their owner: out of our widget tree, so Qt does not delete them.
  for (PropertyPage* page : pages_) {
    if (page->parentWidget() == host_) page->setParent(nullptr);
    page->sheet_ = nullptr;
  }
  pages_.clear();
  active_ = -1;
}

void PropertySheet::AddPage(PropertyPage* page) {
  if (!page) return;
  page->sheet_ = this;
  pages_.push_back(page);
  OnPagesChanged();
}

void PropertySheet::RemovePage(int index) {
  if (index < 0 || index >= GetPageCount()) return;
  PropertyPage* page = pages_[static_cast<size_t>(index)];
  if (index == active_) {
    page->hide();
    active_ = -1;
  } else if (index < active_) {
    --active_;
  }
  if (page->parentWidget() == host_) page->setParent(nullptr);
  page->sheet_ = nullptr;
  pages_.erase(pages_.begin() + index);
  OnPagesChanged();
}

PropertyPage* PropertySheet::GetPage(int index) const {
  return index >= 0 && index < GetPageCount() ? pages_[static_cast<size_t>(index)] : nullptr;
}

int PropertySheet::GetPageIndex(const PropertyPage* page) const {
  for (int i = 0; i < GetPageCount(); ++i) {
    if (pages_[static_cast<size_t>(i)] == page) return i;
  }
  return -1;
}

bool PropertySheet::IsPageVisible() const {
  PropertyPage* page = GetActivePage();
  return page && page->HasWindow() && !page->isHidden();
}

bool PropertySheet::LeaveActivePage() {
  PropertyPage* page = GetActivePage();
  if (!page || !page->HasWindow() || page->isHidden()) return true;
  if (!page->OnKillActive()) return false;
  page->hide();
  return true;
}

bool PropertySheet::SetActivePage(int index) {
  PropertyPage* next = GetPage(index);
  if (!next) return false;
  PropertyPage* current = GetActivePage();
  if (current == next && IsPageVisible()) return true;
  if (current && current != next && current->HasWindow() && !current->isHidden()) {
    if (!current->OnKillActive()) return false;
    current->hide();
  }
  if (!next->HasWindow()) {
    next->CreatePage(host_);
    next->setGeometry(QRect(QPoint(0, 0), pageArea_.size()));
  }
  active_ = index;
  next->OnSetActive();
  next->show();
  OnActivePageChanged();
  return true;
}

void PropertySheet::SetPageArea(const QRect& rect) {
  pageArea_ = rect;
  host_->setGeometry(rect);
  for (PropertyPage* page : pages_) {
    if (page->HasWindow()) page->setGeometry(QRect(QPoint(0, 0), rect.size()));
  }
}

bool PropertySheet::OnInitDialog() {
  if (GetPageCount() > 0 && active_ < 0) SetActivePage(0);
  return true;
}

bool PropertySheet::Create() {
  const bool ok = OnInitDialog();
  show();
  return ok;
}

}  // namespace ui
