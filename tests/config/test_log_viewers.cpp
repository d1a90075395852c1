// The event-log viewers offscreen: cells of both families, filtering, clearing the log.
#include <QCheckBox>
#include <QTimer>
#include <cstring>
#include <string>

#include "config/EventLogViewers.h"
#include "tests/config/config_fixture.h"
#include "tests/support/MessageBoxRecorder.h"

namespace {

std::string Record(std::uint32_t id, std::uint8_t b10 = 0, const char* user = "", std::uint8_t ddns = 0) {
  std::string r(32, '\0');
  for (int b = 0; b < 4; ++b) r[b] = static_cast<char>(id >> (8 * b));
  const char when[6] = {26, 3, 9, 14, 5, 7};
  std::memcpy(&r[4], when, 6);
  r[10] = static_cast<char>(b10);
  std::memcpy(&r[11], user, std::min<std::size_t>(16, std::strlen(user)));
  r[27] = static_cast<char>(ddns);
  return r;
}

// "number|event|time|ch" per row.
std::vector<std::string> Rows(const CEventLogViewer& v) {
  std::vector<std::string> out;
  ui::ReportList* list = v.List();
  for (int r = 0; r < list->GetItemCount(); ++r) {
    std::string row;
    for (int c = 0; c < list->columnCount(); ++c) row += (c ? "|" : "") + list->GetItemText(r, c).toStdString();
    out.push_back(row);
  }
  return out;
}

template <class Viewer>
void Show(Viewer& v, const std::string& records) {
  v.m_pLogRecords = reinterpret_cast<const std::uint8_t*>(records.data());
  v.m_nRecordCount = static_cast<std::uint32_t>(records.size() / 32);
  QTimer::singleShot(0, &v, [&v] { v.EndDialog(0); });
  v.DoModal();  // runs OnInitDialog, which fills the list
}

TEST(LogViewers, DvrCells) {
  const std::string records = Record(0x1) + Record(0x100, 3, "viewer2") + Record(0x4000, 0, "", 1) +
                              Record(0x4000) + Record(0x800) + Record(0xFFFF) + Record(0) + Record(0x1000) +
                              Record(0x3) + Record(0x10000, 0) + Record(0x400, 12);
  CDvrLogDlg v;
  Show(v, records);
  const std::vector<std::string> expected = {
      " 1|POWER ON|26-03-09 14:05:07|NO",
      " 2|REMOTE LOGIN ( viewer2 )|26-03-09 14:05:07|3",
      " 3|DDNS UPDATE SUCCESS|26-03-09 14:05:07|NO",
      " 4|DDNS UPDATE FAIL|26-03-09 14:05:07|NO",
      " 5|USB_ERROR|26-03-09 14:05:07|NO",
      " 6|NO EVENT|26-03-09 14:05:07|NO",
      " 7|DHCP SUCCESS|26-03-09 14:05:07|NO",
      " 8|HDD DMA ERROR|26-03-09 14:05:07|12",
  };
  EXPECT_EQ(Rows(v), expected);
  EXPECT_EQ(v.List()->columnCount(), 4);
}

TEST(LogViewers, ServerCellsEveryEvent) {
  const struct {
    std::uint32_t id;
    std::uint8_t b10;
    const char* event;
  } cases[] = {{0x1, 0, "POWER ON"},          {0x2, 0, "RESET DEFAULT"},      {0x4, 0x06, "ALARM (2)"},
               {0x4, 0, "ALARM"},              {0x4, 0x80, "ALARM (8)"},       {0x10, 0, "REMOTE LOGIN ( guest )"},
               {0x20, 0, "REMOTE LOGOUT ( guest )"}, {0x100, 0, "EMAIL SUCCESS"}, {0x200, 0, "FTP SUCCESS"},
               {0x1000, 0, "PPPOE SUCCESS"},   {0x10000, 0, "EMAIL FAILED"},   {0x20000, 0, "FTP FAILED"},
               {0x40000, 0, "SNTP FAILED"},    {0x100000, 0, "PPPOE FAILED"},  {0x400, 0, "NO EVENT"}};
  std::string records;
  for (const auto& c : cases) records += Record(c.id, c.b10, "guest");
  CServerLogDlg v;
  Show(v, records);
  const auto rows = Rows(v);
  ASSERT_EQ(rows.size(), std::size(cases));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const std::string time = (cases[i].id & 1) ? "" : "26-03-09 14:05:07";
    char number[8];
    std::snprintf(number, sizeof number, "%2d", static_cast<int>(i + 1));
    EXPECT_EQ(rows[i], std::string(number) + "|" + cases[i].event + "|" + time);
  }
  EXPECT_EQ(v.List()->columnCount(), 3);
  EXPECT_TRUE(v.GetDlgItem(1446)->isHidden());
}

TEST(LogViewers, UntickingAndTickingRenumbers) {
  const std::string records = Record(0x1) + Record(0x2) + Record(0x1) + Record(0x800);
  CDvrLogDlg v;
  Show(v, records);
  ASSERT_EQ(Rows(v).size(), 4u);
  v.Item<QCheckBox>(1442)->click();  // POWER ON off
  EXPECT_FALSE(v.Item<QCheckBox>(1442)->isChecked());
  EXPECT_EQ(Rows(v), (std::vector<std::string>{" 1|VIDEO LOSS|26-03-09 14:05:07|NO", " 2|USB_ERROR|26-03-09 14:05:07|NO"}));
  v.Item<QCheckBox>(1442)->click();
  EXPECT_TRUE(v.Item<QCheckBox>(1442)->isChecked());
  const auto rows = Rows(v);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[2], " 3|POWER ON|26-03-09 14:05:07|NO");
}

class ClearLogTest : public RecorderPageTest {};

TEST_F(ClearLogTest, NoSendsNothingYesClosesOn200AndStaysOn500) {
  Model("K40R");
  const std::string records = Record(0x1);
  {
    MessageBoxRecorder no(plat::IDNO);
    CServerLogDlg v;
    Show(v, records);
    v.OnClearServerLog();
    EXPECT_EQ(no.Texts(), std::vector<std::string>{"Clear server log ?"});
    EXPECT_EQ(fake_.RequestCount(), 0u);
  }
  MessageBoxRecorder yes(plat::IDYES);
  {
    // On 200 the viewer closes (its modal loop ends).
    CServerLogDlg v;
    v.m_pLogRecords = reinterpret_cast<const std::uint8_t*>(records.data());
    v.m_nRecordCount = 1;
    QTimer::singleShot(0, &v, [&v] { v.Command(IDC_LOG_CLEAR); });
    EXPECT_EQ(v.DoModal(), 0);
    EXPECT_EQ(Targets(), std::vector<std::string>{"/ClearLog.cgi?Cookie=" + fake_.GetIdentity().sessionId});
    EXPECT_EQ(fake_.ClearLogCount(), 1);
  }
  fake::EventLogSettings failing;
  failing.failClear = true;
  fake_.SetEventLog(failing);
  CServerLogDlg v;
  Show(v, records);
  v.show();
  v.OnClearServerLog();
  EXPECT_TRUE(v.isVisible());
  EXPECT_EQ(yes.Texts().back(), "Clear server log is failed");
  EXPECT_EQ(Rows(v).size(), 1u);
}

}  // namespace
