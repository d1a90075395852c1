// A property sheet: pages shown one at a time in the sheet's page area.
//
// - A page's window (its controls) is made on its first activation only; HasWindow() tells
//   whether that happened, so an apply step can skip a page the operator never opened.
// - Activation: the current page's OnKillActive may refuse (the page stays), then the new
//   page's OnSetActive.
// - Data exchange: a page's DoDataExchange moves its members into the controls
//   (UpdateData(false)) or back with checks of lengths and ranges (UpdateData(true)).
// - Change handlers (OnChange) run for the operator's edits only, never while a page fills
//   its controls.
#pragma once
#include <QIcon>
#include <QRect>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/Window.h"

namespace ui {

class PropertyPage;

// One pass of data exchange over the controls of a page or a dialog.
class DataExchange {
 public:
  DataExchange(Window& page, bool saveAndValidate) : page_(page), save_(saveAndValidate) {}
  bool Saving() const { return save_; }
  bool Failed() const { return failed_; }
  int FailedControl() const { return failedId_; }

  // Text of an edit; at most `maxChars` characters (0: no limit). Filling sets the edit's
  // limit; reading a longer text fails the exchange.
  void Text(int id, std::string& value, int maxChars = 0);
  // A number in an edit within [min, max]. Reading something else fails the exchange: a text
  // that is no whole number brings message 61712, a number outside the range 61714.
  void Number(int id, int& value, int min, int max);
  // A whole number in an edit without a range of its own (message 61712 for anything else).
  void Integer(int id, int& value);
  // A check box: 0 or 1.
  void Check(int id, int& value);
  // Radio buttons `firstId`.. in order: the index of the checked one, -1 when none.
  void Radio(int firstId, int count, int& value);
  // A drop-down list's selection, -1 for none.
  void ListIndex(int id, int& value);
  // An IPv4 address control (first octet in the high byte); a blank or partial address
  // fails the exchange.
  void Address(int id, std::uint32_t& value);
  // Fails the exchange with a message for control `id` (a page's own checks); only the first
  // failure of a pass is shown.
  void Fail(int id, const std::string& message);

 private:
  Window& page_;
  bool save_;
  bool failed_ = false;
  int failedId_ = 0;
};

class PropertyPage : public Window {
  Q_OBJECT

 public:
  explicit PropertyPage(QString caption, QWidget* parent = nullptr);
  ~PropertyPage() override;

  const QString& Caption() const { return caption_; }
  // The page's window (its controls) exists: the page has been active at least once.
  bool HasWindow() const { return created_; }
  // Makes the page's window inside `host` (once); answers HasWindow().
  bool CreatePage(QWidget* host);

  // Activation: OnSetActive when the page becomes the current one; OnKillActive when it is
  // to be left (false keeps it; the default reads the controls back and refuses when a check
  // fails).
  virtual bool OnSetActive() { return true; }
  virtual bool OnKillActive() { return UpdateData(true); }

  // Data exchange. Filling (false) runs no change handler.
  virtual void DoDataExchange(DataExchange&) {}
  bool UpdateData(bool saveAndValidate);
  // True while the page fills its controls (change handlers are held back).
  bool IsFilling() const { return filling_ > 0; }
  // Holds change handlers back for its lifetime.
  class FillScope {
   public:
    explicit FillScope(PropertyPage& page) : page_(page) { ++page_.filling_; }
    ~FillScope() { --page_.filling_; }
    FillScope(const FillScope&) = delete;
    FillScope& operator=(const FillScope&) = delete;

   private:
    PropertyPage& page_;
  };

  // A handler for the operator's edits of control `id` (an edit's text, a check box or radio
  // click, a list choice, an address edit).
  void OnChange(int id, std::function<void()> handler);

  // A further initialisation step, run right after OnInitDialog when the page's window is
  // made (a part of a page that lives in a file of its own adds its controls this way).
  void AddInitStep(std::function<void()> step) { initSteps_.push_back(std::move(step)); }

  // The sheet the page sits in (null before it is added).
  class PropertySheet* Sheet() const { return sheet_; }

  // The page's own icon (its tab picture); none until one is attached.
  void SetPageIcon(const QIcon& icon) { icon_ = icon; }
  const QIcon& PageIcon() const { return icon_; }
  bool HasPageIcon() const { return !icon_.isNull(); }

  // Enter and Esc close nothing inside a page.
  void OnOK() override {}
  void OnCancel() override {}

 protected:
  // Builds the controls (called once, from CreatePage) and fills them.
  bool OnInitDialog() override { return UpdateData(false); }

 private:
  friend class PropertySheet;
  void RunChange(int id);
  QString caption_;
  QIcon icon_;
  bool created_ = false;
  int filling_ = 0;
  class PropertySheet* sheet_ = nullptr;
  void Connect(int id);
  std::vector<std::pair<int, std::function<void()>>> changes_;
  std::vector<std::function<void()>> initSteps_;
  std::vector<int> connected_;
};

class PropertySheet : public Window {
  Q_OBJECT

 public:
  explicit PropertySheet(QString caption, QWidget* parent = nullptr);
  ~PropertySheet() override;

  // Pages belong to their owner (the sheet's subclass keeps them as members); they must
  // outlive the sheet's use of them.
  void AddPage(PropertyPage* page);
  void RemovePage(int index);
  int GetPageCount() const { return static_cast<int>(pages_.size()); }
  PropertyPage* GetPage(int index) const;
  int GetPageIndex(const PropertyPage* page) const;
  int GetActiveIndex() const { return active_; }
  PropertyPage* GetActivePage() const { return GetPage(active_); }

  // Leaves the current page (it may refuse: false) and activates `index`, making its window
  // on first activation.
  bool SetActivePage(int index);
  bool SetActivePage(PropertyPage* page) { return SetActivePage(GetPageIndex(page)); }
  // Asks the current page to let go, then hides it; false when it refuses. No page is shown
  // afterwards.
  bool LeaveActivePage();
  // The page is showing (made and visible).
  bool IsPageVisible() const;

  // The area pages are shown in, in sheet client coordinates.
  void SetPageArea(const QRect& rect);
  QRect PageArea() const { return pageArea_; }

  // Makes the window: OnInitDialog, then shows the sheet without a modal loop.
  bool Create();

 protected:
  // The page list changed (a page added or removed).
  virtual void OnPagesChanged() {}
  // The active page changed through SetActivePage.
  virtual void OnActivePageChanged() {}
  bool OnInitDialog() override;
  // Takes every page out of the sheet without notifications (a subclass whose members are
  // the pages calls it from its destructor).
  void ForgetPages();

 private:
  std::vector<PropertyPage*> pages_;
  int active_ = -1;
  QRect pageArea_{0, 0, 400, 300};
  QWidget* host_ = nullptr;
};

}  // namespace ui
