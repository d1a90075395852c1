// The property sheet layer: pages made on first activation, refusing pages, data exchange,
// change handlers for the operator's edits only, and the page controls.
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

#include "tests/support/MessageBoxRecorder.h"
#include "ui/Controls.h"
#include "ui/PropertySheet.h"

namespace {

class CountingPage : public ui::PropertyPage {
 public:
  explicit CountingPage(const char* caption) : ui::PropertyPage(QString::fromLatin1(caption)) {}
  int inits = 0, setActive = 0, changes = 0;
  bool refuse = false;
  int port = 80;
  std::string name = "admin";
  bool OnInitDialog() override {
    ++inits;
    auto* edit = new QLineEdit(this);
    AddControl(1001, edit);
    AddControl(1002, new QLineEdit(this));
    OnChange(1001, [this] { ++changes; });
    return ui::PropertyPage::OnInitDialog();
  }
  void DoDataExchange(ui::DataExchange& dx) override {
    dx.Number(1001, port, 1, 9999);
    dx.Text(1002, name, 16);
  }
  bool OnSetActive() override {
    ++setActive;
    return true;
  }
  bool OnKillActive() override { return !refuse && ui::PropertyPage::OnKillActive(); }
};

TEST(PropertySheet, PageWindowsAreMadeOnFirstActivationOnly) {
  CountingPage a("A"), b("B"), c("C");
  {
    ui::PropertySheet sheet(QStringLiteral("S"));
    sheet.AddPage(&a);
    sheet.AddPage(&b);
    sheet.AddPage(&c);
    EXPECT_FALSE(a.HasWindow());
    sheet.Create();
    // Activation order -> how often each page was initialised and activated.
    struct Step {
      int page;
      int initsA, initsB, initsC;
    } steps[] = {{1, 1, 1, 0}, {0, 1, 1, 0}, {1, 1, 1, 0}, {0, 1, 1, 0}};
    for (const Step& s : steps) {
      ASSERT_TRUE(sheet.SetActivePage(s.page));
      EXPECT_EQ(a.inits, s.initsA);
      EXPECT_EQ(b.inits, s.initsB);
      EXPECT_EQ(c.inits, s.initsC);
    }
    EXPECT_TRUE(a.HasWindow());
    EXPECT_TRUE(b.HasWindow());
    EXPECT_FALSE(c.HasWindow());
    EXPECT_EQ(b.setActive, 2);
  }
  // The pages outlive the sheet that showed them.
  EXPECT_TRUE(a.HasWindow());
}

TEST(PropertySheet, ARefusingPageStaysActive) {
  MessageBoxRecorder boxes;
  CountingPage a("A"), b("B");
  ui::PropertySheet sheet(QStringLiteral("S"));
  sheet.AddPage(&a);
  sheet.AddPage(&b);
  sheet.Create();
  a.refuse = true;
  EXPECT_FALSE(sheet.SetActivePage(1));
  EXPECT_EQ(sheet.GetActiveIndex(), 0);
  EXPECT_FALSE(b.HasWindow());
  a.refuse = false;
  // A value outside its range refuses too, with a message, and keeps the page.
  a.Item<QLineEdit>(1001)->setText(QStringLiteral("10000"));
  EXPECT_FALSE(sheet.SetActivePage(1));
  EXPECT_EQ(sheet.GetActiveIndex(), 0);
  EXPECT_EQ(boxes.Texts().size(), 1u);
  a.Item<QLineEdit>(1001)->setText(QStringLiteral("8080"));
  EXPECT_TRUE(sheet.SetActivePage(1));
  EXPECT_EQ(a.port, 8080);
}

TEST(PropertySheet, FillingRunsNoChangeHandlerButAnEditDoes) {
  CountingPage a("A");
  ui::PropertySheet sheet(QStringLiteral("S"));
  sheet.AddPage(&a);
  sheet.Create();
  EXPECT_EQ(a.Item<QLineEdit>(1001)->text(), QStringLiteral("80"));
  EXPECT_EQ(a.changes, 0);
  a.port = 81;
  a.UpdateData(false);
  a.Item<QLineEdit>(1001)->setText(QStringLiteral("82"));
  EXPECT_EQ(a.changes, 0);
  QTest::keyClicks(a.Item<QLineEdit>(1001), QStringLiteral("3"));
  EXPECT_EQ(a.changes, 1);
}

TEST(PropertySheet, DataExchangeChecksLengthsAndRanges) {
  MessageBoxRecorder boxes;
  CountingPage a("A");
  ui::PropertySheet sheet(QStringLiteral("S"));
  sheet.AddPage(&a);
  sheet.Create();
  struct Case {
    const char* port;
    const char* name;
    bool ok;
  } cases[] = {
      {"1", "", true},           {"9999", "abcdefghijklmnop", true}, {"0", "x", false},
      {"10000", "x", false},     {"-5", "x", false},                 {"12a", "x", false},
      {"", "x", false},
  };
  for (const Case& c : cases) {
    a.Item<QLineEdit>(1001)->setText(QString::fromLatin1(c.port));
    a.Item<QLineEdit>(1002)->setText(QString::fromLatin1(c.name));
    EXPECT_EQ(a.UpdateData(true), c.ok) << c.port << " " << c.name;
  }
  // Filling set the edit's limit; a longer text from code still fails the check.
  EXPECT_EQ(a.Item<QLineEdit>(1002)->maxLength(), 16);
}

TEST(PageControls, Ipv4AddressesParseStrictly) {
  struct Case {
    const char* text;
    bool ok;
    std::uint32_t value;
  } cases[] = {
      {"127.0.0.1", true, 0x7F000001u}, {"255.255.255.255", true, 0xFFFFFFFFu}, {"0.0.0.0", true, 0},
      {"256.1.1.1", false, 0},          {"1.2.3", false, 0},                   {"1.2.3.4.5", false, 0},
      {"1..3.4", false, 0},             {"a.b.c.d", false, 0},                 {"1.2.3.1000", false, 0},
  };
  for (const Case& c : cases) {
    std::uint32_t v = 0;
    EXPECT_EQ(ui::ParseIpv4(QString::fromLatin1(c.text), v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
  ui::IpAddressEdit edit;
  int edits = 0;
  edit.onChanged = [&] { ++edits; };
  edit.SetAddress(10, 0, 0, 1);
  std::uint32_t v = 0;
  EXPECT_EQ(edit.GetAddress(v), 4);
  EXPECT_EQ(v, 0x0A000001u);
  EXPECT_EQ(edits, 0);
  edit.setText(QStringLiteral("10.0."));
  EXPECT_EQ(edit.GetAddress(v), 2);
  EXPECT_EQ(v, 0u);
}

TEST(PageControls, DropListKeepsNoSelectionAndReportsPicksOnly) {
  ui::DropList list;
  int picks = 0;
  list.onSelChange = [&](int) { ++picks; };
  list.AddString(QStringLiteral("custom"));
  list.SetCurSel(-1);
  list.AddString(QStringLiteral("dyndns"));
  EXPECT_EQ(list.GetCurSel(), -1);
  EXPECT_EQ(list.SetCurSel(1), 1);
  EXPECT_EQ(list.SetCurSel(7), -1);
  EXPECT_EQ(picks, 0);
}

TEST(PageControls, ReportListRows) {
  ui::ReportList list;
  list.InsertColumn(0, QStringLiteral("No"), 40);
  list.InsertColumn(1, QStringLiteral("Mail"), 200);
  EXPECT_EQ(list.InsertItem(5, QStringLiteral("1")), 0);
  EXPECT_EQ(list.InsertItem(0, QStringLiteral("0")), 0);
  EXPECT_TRUE(list.SetItemText(1, 1, QStringLiteral("a@b")));
  EXPECT_FALSE(list.SetItemText(2, 1, QStringLiteral("x")));
  EXPECT_EQ(list.GetItemText(1, 1), QStringLiteral("a@b"));
  EXPECT_EQ(list.GetSelectedRow(), -1);
  list.SelectRow(1);
  EXPECT_EQ(list.GetSelectedRow(), 1);
  EXPECT_TRUE(list.DeleteItem(0));
  EXPECT_EQ(list.GetItemCount(), 1);
  EXPECT_FALSE(list.DeleteItem(3));
}

TEST(PageControls, TreeSelectionCanBeRefusedAndCodeSelectsLikeAClick) {
  ui::SelectTree tree;
  auto* a = new QTreeWidgetItem(QStringList(QStringLiteral("a")));
  auto* b = new QTreeWidgetItem(QStringList(QStringLiteral("b")));
  tree.addTopLevelItem(a);
  tree.addTopLevelItem(b);
  bool allow = true;
  int asked = 0, changed = 0;
  tree.onSelChanging = [&](QTreeWidgetItem*, QTreeWidgetItem*) {
    ++asked;
    return allow;
  };
  tree.onSelChanged = [&](QTreeWidgetItem*) { ++changed; };
  EXPECT_TRUE(tree.SelectItem(a));
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(changed, 1);
  allow = false;
  EXPECT_FALSE(tree.SelectItem(b));
  EXPECT_EQ(tree.SelectedItem(), a);
  EXPECT_TRUE(a->isSelected());
  EXPECT_FALSE(b->isSelected());
  EXPECT_EQ(changed, 1);
  // A click is refused the same way.
  tree.resize(200, 200);
  tree.show();
  QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, tree.visualItemRect(b).center());
  EXPECT_EQ(tree.SelectedItem(), a);
  EXPECT_FALSE(b->isSelected());
  allow = true;
  QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, tree.visualItemRect(b).center());
  EXPECT_EQ(tree.SelectedItem(), b);
  EXPECT_TRUE(b->isSelected());
}

}  // namespace
