// The connecting, buzzer, stream-setting, about and address-list dialogs driven by control id.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QTimer>
#include <QTreeWidget>
#include <string>
#include <vector>

#include "connect/AddressBookListDlg.h"
#include "connect/ApplicationInfoDialog.h"
#include "connect/BuzzerTestDlg.h"
#include "connect/ConnectProgressDlg.h"
#include "connect/ConnectingDlg.h"
#include "connect/Mpeg4StreamSettingDlg.h"
#include "data/skin/Skin.h"
#include "engine/AppRecord.h"
#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/messages.h"
#include "session/CgiRequest.h"

namespace {

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = plat::SetMessageBoxHandler([this](plat::HWND, const std::string& text, const std::string&, unsigned) {
      boxes_.push_back(text);
      return plat::IDOK;
    });
    SetProgramExit([this](int code) { exits_.push_back(code); });
  }
  void TearDown() override {
    plat::SetMessageBoxHandler(saved_);
    SetProgramExit(nullptr);
    SetSessionId("");
  }
  plat::MessageBoxHandler saved_;
  std::vector<std::string> boxes_;
  std::vector<int> exits_;
};

}  // namespace

TEST_F(DialogTest, ConnectingDotsCycleAndTheEventEndsTheWait) {
  CConnectingDlg dlg(nullptr, 0);
  std::vector<std::string> texts;
  for (int i = 0; i < 12; ++i) {
    dlg.OnTimer(CConnectingDlg::kDotTimer);
    texts.push_back(dlg.GetDlgItemText(CConnectingDlg::kStatusId).toStdString());
  }
  EXPECT_EQ(texts[0], "Connecting.");
  EXPECT_EQ(texts[10], "Connecting...........");
  EXPECT_EQ(texts[11], "Connecting.");

  const plat::HANDLE ev = plat::CreateEvent(false, true);
  CConnectingDlg seen(nullptr, ev);
  EXPECT_EQ(seen.DoModal(), 0);
  plat::CloseHandle(ev);
  EXPECT_TRUE(exits_.empty());
}

TEST_F(DialogTest, ConnectingGivesUpOrIsCancelledByEndingTheProgram) {
  CConnectingDlg dlg(nullptr, 0);
  dlg.OnTimer(CConnectingDlg::kGiveUpTimer);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0], "Cann't detect server!!");
  EXPECT_EQ(exits_, std::vector<int>{0});
  dlg.Command(CConnectingDlg::kCancelId);
  EXPECT_EQ(exits_, (std::vector<int>{0, 0}));
}

TEST_F(DialogTest, BuzzerRequestsAndTheStopBeforeEachFurtherOne) {
  std::vector<std::string> sent;
  CBuzzerTestDlg dlg(nullptr, [&](const CCgiRequest& r) {
    sent.emplace_back(r.GetUrl());
    return 1;
  });
  SetSessionId("abc");
  dlg.Command(CBuzzerTestDlg::kLongId);
  dlg.Command(CBuzzerTestDlg::kLongId);
  dlg.Command(CBuzzerTestDlg::kShortId);
  SetSessionId("");
  dlg.Command(CBuzzerTestDlg::kShortId);
  const std::vector<std::string> expect = {
      "/SetBuzzer.cgi?time=long&Cookie=abc",
      "/SetBuzzer.cgi?time=stop&Cookie=abc", "/SetBuzzer.cgi?time=long&Cookie=abc",
      "/SetBuzzer.cgi?Cookie=abc&time=stop", "/SetBuzzer.cgi?time=short&Cookie=abc",
      "/SetBuzzer.cgi?time=stop",            "/SetBuzzer.cgi?time=short",
  };
  EXPECT_EQ(sent, expect);
  EXPECT_EQ(dlg.m_nLastBuzzer, 2);

  auto* check = dlg.Item<QCheckBox>(CBuzzerTestDlg::kMultiChId);
  ASSERT_NE(check, nullptr);
  EXPECT_TRUE(check->isHidden());
  dlg.SendMessage(0x1103);
  EXPECT_FALSE(check->isHidden());
  dlg.SendMessage(0x1104);
  EXPECT_TRUE(check->isHidden());
  dlg.Command(CBuzzerTestDlg::kMultiChId);
  EXPECT_TRUE(dlg.m_bMultiCh);
}

TEST_F(DialogTest, Mpeg4SettingsCheckEveryRange) {
  CMpeg4StreamSettingDlg dlg;
  dlg.OnInitDialog();
  EXPECT_EQ(dlg.GetDlgItemText(CMpeg4StreamSettingDlg::kBitRateId), "0");
  struct Case {
    const char *rate, *gop, *width, *height;
    bool ok;
  } cases[] = {
      {"0", "0", "0", "0", false},          {"50", "1", "1", "1", true},
      {"2000", "65535", "720", "576", true}, {"2001", "1", "1", "1", false},
      {"100", "65536", "1", "1", false},    {"100", "1", "721", "1", false},
      {"100", "1", "1", "577", false},      {"abc", "1", "1", "1", false},
  };
  for (const Case& c : cases) {
    CMpeg4StreamSettingDlg d;
    d.SetDlgItemText(CMpeg4StreamSettingDlg::kBitRateId, c.rate);
    d.SetDlgItemText(CMpeg4StreamSettingDlg::kGopId, c.gop);
    d.SetDlgItemText(CMpeg4StreamSettingDlg::kWidthId, c.width);
    d.SetDlgItemText(CMpeg4StreamSettingDlg::kHeightId, c.height);
    boxes_.clear();
    d.OnOK();
    EXPECT_EQ(boxes_.empty(), c.ok) << c.rate << " " << c.gop << " " << c.width << " " << c.height;
    if (c.ok) {
      EXPECT_EQ(d.m_nTargetBitRate, std::stoi(c.rate));
    } else {
      EXPECT_EQ(d.m_nTargetBitRate, 0);
    }
  }
}

TEST_F(DialogTest, AboutBoxShapeAndMissingPictures) {
  plat::SetProgramFolder("/nonexistent-folder/");
  CApplicationInfoDialog dlg;
  dlg.OnInitDialog();
  plat::SetProgramFolder(TRELVIX_TEST_BIN_DIR);
  EXPECT_FALSE(dlg.m_bInitialised);  // no skin pictures: initialisation ends early
  EXPECT_EQ(dlg.size(), QSize(304, 238));
  const QRegion r = dlg.WindowRegion();
  EXPECT_TRUE(r.contains(QPoint(152, 119)));
  EXPECT_FALSE(r.contains(QPoint(0, 0)));  // a rounded corner
}

TEST_F(DialogTest, AboutBoxDrawsTheGeneratedSkinPictures) {
  plat::SetProgramFolder(TRELVIX_TEST_BIN_DIR);
  CApplicationInfoDialog dlg;
  dlg.OnInitDialog();
  ASSERT_TRUE(dlg.m_bInitialised);  // background, logo and both OK faces exist
  dlg.show();
  const QImage shot = dlg.grab().toImage();
  auto filePixel = [](skin::Id id, int x, int y) {
    return QColor(QImage(QString::fromStdString(plat::MapPath(skin::Path(id)))).pixel(x, y));
  };
  const struct {
    skin::Id id;
    QPoint at, probe;
  } spots[] = {{skin::ABOUT_BACKGROUND, {0, 0}, {150, 150}},
               {skin::ABOUT_LOGO, {12, 38}, {3, 3}},
               {skin::ABOUT_OK, {250, 200}, {3, 3}}};
  for (const auto& s : spots) {
    EXPECT_EQ(QColor(shot.pixel(s.at + s.probe)), filePixel(s.id, s.probe.x(), s.probe.y())) << skin::Get(s.id).name;
  }
}

TEST_F(DialogTest, SecondAddressBookIsAnEmptyList) {
  CAddressBookListDlg dlg;
  EXPECT_EQ(dlg.windowTitle(), "Address Book");
  auto* list = dlg.Item<QTreeWidget>(CAddressBookListDlg::kListId);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->topLevelItemCount(), 0);
}

TEST(ConnectProgressWithoutLogin, SecondConstructorLeavesTheLoginWindowUnset) {
  CConnectProgressDlg dlg(nullptr);
  EXPECT_EQ(dlg.m_pLoginWindow, nullptr);
}
