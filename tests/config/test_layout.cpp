// The layout of every page the sheet shows and every dialog it opens, for each model family at
// each firmware threshold the pages test: no two visible controls overlap, every control lies
// inside its window, and no text is wider than the control that shows it.
#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTreeView>
#include <QTreeWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include <gtest/gtest.h>

#include "config/CDetectionEditDlg.h"
#include "config/CDeviceEditDlg.h"
#include "config/CEventPage.h"
#include "config/CScheduleRecordPage.h"
#include "config/CameraPage.h"
#include "config/CopyProgramDlg.h"
#include "config/DlgGetPath.h"
#include "config/DownloadFilePage.h"
#include "config/EventLogViewers.h"
#include "config/MailPropertyPage.h"
#include "config/PlaybackSearchDlg.h"
#include "config/UpgradeFWDlg.h"
#include "config/WriteCDSettingDlg.h"
#include "core/Model.h"
#include "session/ControlDeviceTable.h"
#include "tests/config/pages_fixture.h"
#include "tests/support/QtWait.h"
#include "ui/Controls.h"

namespace {

// Widgets a window shows as controls: its children, and the children of plain containers
// (group boxes, frames) below them; the inner parts of composite controls are not controls.
void CollectControls(QWidget* window, QWidget* parent, std::vector<QWidget*>& out) {
  for (QObject* o : parent->children()) {
    auto* w = qobject_cast<QWidget*>(o);
    if (!w || w->isWindow() || !w->isVisibleTo(window)) continue;
    out.push_back(w);
    const char* cls = w->metaObject()->className();
    if (qobject_cast<QGroupBox*>(w) || !std::strcmp(cls, "QWidget") || !std::strcmp(cls, "QFrame")) {
      CollectControls(window, w, out);
    }
  }
}

bool IsContainer(const QWidget* w) {
  const char* cls = w->metaObject()->className();
  return qobject_cast<const QGroupBox*>(w) || !std::strcmp(cls, "QWidget") || !std::strcmp(cls, "QFrame");
}

std::string Name(const QWidget* w) {
  std::string name = w->metaObject()->className();
  QString text;
  if (auto* l = qobject_cast<const QLabel*>(w)) text = l->text();
  if (auto* b = qobject_cast<const QAbstractButton*>(w)) text = b->text();
  if (auto* g = qobject_cast<const QGroupBox*>(w)) text = g->title();
  if (!text.isEmpty()) name += " \"" + text.simplified().toStdString() + "\"";
  const QRect r = w->geometry();
  name += " (" + std::to_string(r.x()) + "," + std::to_string(r.y()) + " " + std::to_string(r.width()) + "x" +
          std::to_string(r.height()) + ")";
  return name;
}

// The width a control needs to show its whole text on one line per line break.
int TextWidthNeeded(const QWidget* w) {
  QString text;
  int extra = 0;
  if (auto* l = qobject_cast<const QLabel*>(w)) {
    if (l->wordWrap() || l->textFormat() == Qt::RichText) return 0;
    text = l->text();
    extra = 2 * l->frameWidth() + 2 * l->margin() + (l->indent() > 0 ? l->indent() : 0);
  } else if (auto* b = qobject_cast<const QAbstractButton*>(w)) {
    if (!qobject_cast<const QCheckBox*>(w) && !qobject_cast<const QRadioButton*>(w) &&
        !qobject_cast<const QPushButton*>(w)) {
      return 0;
    }
    if (std::strcmp(w->metaObject()->className(), "QPushButton") && std::strcmp(w->metaObject()->className(), "QCheckBox") &&
        std::strcmp(w->metaObject()->className(), "QRadioButton")) {
      return 0;  // skinned buttons draw pictures
    }
    text = b->text();
    QStyleOptionButton opt;
    opt.initFrom(b);
    if (qobject_cast<const QCheckBox*>(w)) {
      extra = w->style()->pixelMetric(QStyle::PM_IndicatorWidth, &opt, w) +
              w->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, &opt, w);
    } else if (qobject_cast<const QRadioButton*>(w)) {
      extra = w->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, &opt, w) +
              w->style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, &opt, w);
    } else {
      extra = 2 * w->style()->pixelMetric(QStyle::PM_ButtonMargin, &opt, w) / 2;
    }
  } else {
    return 0;
  }
  text.remove(QLatin1Char('&'));
  if (text.isEmpty()) return 0;
  const QFontMetrics fm(w->font());
  int widest = 0;
  for (const QString& line : text.split(QLatin1Char('\n'))) widest = std::max(widest, fm.horizontalAdvance(line));
  return widest + extra;
}

// Faults of one window's layout, each as a line naming the controls.
std::vector<std::string> LayoutFaults(QWidget* window) {
  std::vector<QWidget*> controls;
  CollectControls(window, window, controls);
  std::vector<std::string> faults;
  const QRect area = window->rect();
  auto rectOf = [window](QWidget* w) { return QRect(w->mapTo(window, QPoint(0, 0)), w->size()); };
  for (std::size_t i = 0; i < controls.size(); ++i) {
    QWidget* a = controls[i];
    const QRect ra = rectOf(a);
    if (auto* tree = qobject_cast<QTreeView*>(a); tree && !tree->isHeaderHidden()) {
      // A list's columns are as wide as their headings and cells.
      for (int c = 0; c < tree->header()->count(); ++c) {
        int need = tree->header()->sectionSizeHint(c);
        if (auto* items = qobject_cast<QTreeWidget*>(tree)) {
          const int margin = 2 * (tree->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, tree) + 1);
          const QFontMetrics fm(tree->font());
          for (int r = 0; r < items->topLevelItemCount(); ++r) {
            need = std::max(need, fm.horizontalAdvance(items->topLevelItem(r)->text(c)) + margin);
          }
        }
        if (tree->header()->sectionSize(c) < need) {
          faults.push_back("column " + std::to_string(c) + " narrower than its text (" + std::to_string(need) +
                           " > " + std::to_string(tree->header()->sectionSize(c)) + "): " + Name(a));
        }
      }
    }
    if (!area.contains(ra)) faults.push_back("outside the window: " + Name(a));
    const int need = TextWidthNeeded(a);
    if (need > a->width()) {
      faults.push_back("text wider than the control (" + std::to_string(need) + "): " + Name(a));
    }
    for (std::size_t j = i + 1; j < controls.size(); ++j) {
      QWidget* b = controls[j];
      const QRect rb = rectOf(b);
      if (!ra.intersects(rb)) continue;
      // A container holds what lies wholly inside it; a child always lies over its parent.
      if (a->isAncestorOf(b) || b->isAncestorOf(a)) continue;
      if ((IsContainer(a) && ra.contains(rb)) || (IsContainer(b) && rb.contains(ra))) continue;
      faults.push_back("overlap: " + Name(a) + " and " + Name(b));
    }
  }
  return faults;
}

struct Family {
  const char* model;
  std::vector<const char*> firmwares;  // the thresholds the pages and dialogs test, and one below all
};

const std::vector<Family>& Families() {
  using namespace fwgate;
  static const std::vector<const char*> kServer = {"1000", kMailTextVS, kNewHeaderK40, kNewPppoeVS, kChannelNamesK40,
                                                   kUpgradeFW2K40};
  static const std::vector<const char*> kDvr = {"1000",         kAllRequestDVR,   kMailTextDVR, kNetworkUpgradeDVR,
                                                kCapabilityDVR, kCancelBackupDVR, kNewHeaderDVR, kNewPppoeDVR,
                                                kNewPagesDVR,   kUpgradeFW2DVR,   kSkinButtonsDVR};
  static const std::vector<Family> families = {
      {"K40R", kServer}, {"K41R", kDvr},    {"K42R", kDvr},    {"K43R", kDvr},
      {"K44R", kServer}, {"K45R", kServer}, {"K46R", kServer}, {"K47R", kServer},
  };
  return families;
}

class LayoutTest : public PagesTest {
 protected:
  void Check(QWidget* window, const std::string& where) {
    window->show();
    ProcessEvents();
    for (const std::string& fault : LayoutFaults(window)) ADD_FAILURE() << where << ": " << fault;
    window->hide();
  }
  MessageBoxRecorder boxes_;
};

}  // namespace

TEST_F(LayoutTest, EveryPageAndDialogOfEveryModelIsLaidOutWithoutOverlapsOrCutText) {
  // Logged-in users with long names and addresses, at every access level and quality.
  std::string online(240, '\0');
  for (int k = 0; k < 5; ++k) {
    const std::string name = "administrator" + std::to_string(k);
    online.replace(24 * k, name.size(), name);
    const char record[8] = {char(192), char(168), char(100), char(200 + k), char(30 - 10 * (k % 4)), char(10 + k),
                            char(k % 3), char(k % 3)};
    online.replace(24 * k + 16, 8, record, 8);
  }
  fake_.SetSection("ONLINE", online);
  struct Setup {
    const char* model;
    const char* firmware;
    bool multi;
  };
  std::vector<Setup> setups;
  for (const Family& family : Families()) {
    for (const char* firmware : family.firmwares) {
      setups.push_back({family.model, firmware, false});
      if (IsModelFamilyK41(family.model)) setups.push_back({family.model, firmware, true});
    }
  }
  for (const Setup& setup : setups) {
    const bool dvr = IsModelFamilyK41(setup.model);
    const int multi = setup.multi ? 1 : 0;
    const char* firmware = setup.firmware;
    Connect(setup.model, firmware);
    if (HasFatalFailure()) return;
    // A multi-channel recorder has a channel column and the alarm switch; a DVR with an RVX
    // in its device table has the alarm list.
    app_->by_MultiChannel = static_cast<std::uint8_t>(multi);
    app_->C_ControlD.Reset();
    if (dvr) app_->C_ControlD.Add(0, 0, 19, CDF_VIDEO);
    const std::string at = std::string(setup.model) + " " + firmware + (multi ? " multi-channel" : "");
    auto sheet = OpenSheet();
    for (int i = 0; i < sheet->GetPageCount(); ++i) {
      ui::PropertyPage* page = sheet->GetPage(i);
      ASSERT_TRUE(sheet->SetActivePage(i)) << at << " " << page->Caption().toStdString();
      ProcessEvents();
      for (const std::string& fault : LayoutFaults(page)) {
        ADD_FAILURE() << at << " page " << page->Caption().toStdString() << ": " << fault;
      }
    }
    // The dialogs the pages open.
    std::vector<std::pair<const char*, std::function<std::unique_ptr<ui::Window>()>>> dialogs = {
        {"camera editor", [] { return std::make_unique<CCameraEditDlg>(); }},
        {"device editor", [] { return std::make_unique<CDeviceEditDlg>(); }},
        {"detection editor", [] { return std::make_unique<CDetectionEditDlg>(); }},
        {"full list", [] { return std::make_unique<CFullListDlg>(nullptr); }},
        {"time setting", [] { return std::make_unique<CTimeSettingDlg>(); }},
        {"mail account", [] { return std::make_unique<CMailAccountEditDlg>(); }},
        {"folder", [] { return std::make_unique<CDlgGetPath>(); }},
        {"server log", [] { return std::make_unique<CServerLogDlg>(); }},
        {"DVR log", [] { return std::make_unique<CDvrLogDlg>(); }},
        {"firmware", [] { return std::make_unique<CUpgradeFWDlg>(); }},
        {"disc writing", [] { return std::make_unique<CWriteCDSettingDlg>(); }},
        {"playback search", [] { return std::make_unique<CPlaybackSearchDlg>(); }},
        {"program copy", [] { return std::make_unique<CCopyProgramDlg>(); }},
    };
    for (auto& [name, make] : dialogs) {
      std::unique_ptr<ui::Window> dialog = make();
      static_cast<ui::Window&>(*dialog).OnInitDialog();
      Check(dialog.get(), at + " " + name);
    }
    {
      CDownloadProgressDlg progress(nullptr, sheet->m_NetworkBackupPage);
      Check(&progress, at + " backup progress");
    }
  }
}
