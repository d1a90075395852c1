// The address book window and its file.
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <fstream>

#include "connect/AddressBookDialog.h"
#include "session/IPRecordFile.h"
#include "tests/connect/connect_fixture.h"

namespace {

class AddressBookTest : public ConnectFixture {
 protected:
  std::string File() const { return folder_.string() + "/IPRecord.dat"; }
  std::vector<std::uint8_t> Bytes() const {
    std::ifstream in(File(), std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  std::vector<IPRecordEntry> Entries() const {
    const auto bytes = Bytes();
    std::vector<IPRecordEntry> out;
    EXPECT_TRUE(ParseIPRecords(bytes.data(), bytes.size(), out));
    return out;
  }
  static void Type(CAddressBookDialog& d, const QString& user, const QString& ip, const QString& comment,
                   const QString& port) {
    d.Item<QLineEdit>(book_id::kUserEdit)->setText(user);
    d.Item<QLineEdit>(book_id::kIpAddressEdit)->setText(ip);
    d.Item<QLineEdit>(book_id::kCommentEdit)->setText(comment);
    d.Item<QLineEdit>(book_id::kMajorPortEdit)->setText(port);
  }
  static void Add(CAddressBookDialog& d, const QString& user, const QString& ip, const QString& comment,
                  const QString& port) {
    d.Command(book_id::kAdd);
    Type(d, user, ip, comment, port);
    d.Command(book_id::kEntryOK);
  }
  static int Row(CAddressBookDialog& d, int list) { return d.Item<QListWidget>(list)->currentRow(); }
};

TEST_F(AddressBookTest, AMissingFileIsCreatedAndOneAddedEntryWritesOneRecord) {
  {
    CAddressBookDialog book;
    ASSERT_TRUE(book.OnInitDialog());
    EXPECT_TRUE(std::filesystem::exists(File()));
    EXPECT_EQ(std::filesystem::file_size(File()), 0u);
    EXPECT_FALSE(book.GetDlgItem(book_id::kEntryOK)->isVisibleTo(&book));
    Add(book, "admin", "192.168.0.5", std::string(200, 'c').c_str(), "80");
    EXPECT_EQ(book.m_iUserNumber, 1);
    EXPECT_TRUE(book.GetDlgItem(book_id::kAdd)->isVisibleTo(&book));
    EXPECT_EQ(Row(book, book_id::kMajorPortList), 0);
  }
  EXPECT_EQ(std::filesystem::file_size(File()), 400u);
  const auto entries = Entries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0], (IPRecordEntry{"admin", "192.168.0.5", std::string(127, 'c'), 80}));
}

TEST_F(AddressBookTest, AddRefusesEmptyFieldsAndPortsOutOfRange) {
  CAddressBookDialog book;
  ASSERT_TRUE(book.OnInitDialog());
  struct Case {
    const char *user, *ip, *port;
    const char* box;  // nullptr: added
  } cases[] = {
      {"", "1.2.3.4", "80", "User name & ip address cant be empty,try again"},
      {"u", "", "80", "User name & ip address cant be empty,try again"},
      {"u", "1.2.3.4", "0", "Port number can't be out of range 1 ~ 9999,try again"},
      {"u", "1.2.3.4", "10000", "Port number can't be out of range 1 ~ 9999,try again"},
      {"u", "1.2.3.4", "9999", nullptr},
      {"u", "1.2.3.4", "1", nullptr},
  };
  int added = 0;
  for (const Case& c : cases) {
    ClearBoxes();
    Add(book, c.user, c.ip, "", c.port);
    if (c.box) {
      EXPECT_EQ(Boxes(), std::vector<std::string>{c.box}) << c.port;
    } else {
      EXPECT_TRUE(Boxes().empty()) << c.port;
      ++added;
    }
    EXPECT_EQ(book.m_iUserNumber, added);
    EXPECT_EQ(book.m_fEntryMode, 0);
    EXPECT_TRUE(book.GetDlgItem(book_id::kSelect)->isVisibleTo(&book));
  }
  EXPECT_EQ(book.m_arrMajorPort, (QStringList{"9999", "1"}));
}

TEST_F(AddressBookTest, EditDeleteAndSelectWorkOnTheSelectedRowInAllFourLists) {
  ASSERT_TRUE(SaveIPRecordFile(File(), {{"a", "10.0.0.1", "one", 81}, {"b", "10.0.0.2", "two", 82},
                                        {"c", "10.0.0.3", "three", 83}}));
  {
    CAddressBookDialog book;
    ASSERT_TRUE(book.OnInitDialog());
    EXPECT_EQ(Row(book, book_id::kUserList), 2);  // the last row is selected at opening

    // A selection in one list selects the same row in the other three.
    book.Item<QListWidget>(book_id::kCommentList)->setCurrentRow(0);
    for (int id : {book_id::kUserList, book_id::kIpAddressList, book_id::kCommentList, book_id::kMajorPortList}) {
      EXPECT_EQ(Row(book, id), 0) << id;
    }
    book.Command(book_id::kEdit);
    EXPECT_EQ(book.GetDlgItemText(book_id::kIpAddressEdit), "10.0.0.1");
    EXPECT_FALSE(book.GetDlgItem(book_id::kUserList)->isEnabled());
    Type(book, "", "10.9.9.9", "edited", "8000");  // an empty user name is accepted when editing
    book.Command(book_id::kEntryOK);
    EXPECT_TRUE(book.GetDlgItem(book_id::kUserList)->isEnabled());
    EXPECT_EQ(book.Item<QListWidget>(book_id::kIpAddressList)->item(0)->text(), "10.9.9.9");
    EXPECT_EQ(Row(book, book_id::kMajorPortList), 0);

    book.Item<QListWidget>(book_id::kUserList)->setCurrentRow(1);
    book.Command(book_id::kDelete);
    EXPECT_EQ(book.m_iUserNumber, 2);
    EXPECT_EQ(book.m_arrUser, (QStringList{"", "c"}));
    EXPECT_EQ(Row(book, book_id::kCommentList), 1);

    book.Item<QListWidget>(book_id::kUserList)->setCurrentRow(1);
    book.Command(book_id::kSelect);
    EXPECT_EQ(book.result(), kAddressBookSelected);
    EXPECT_EQ(book.m_strUser, "c");
    EXPECT_EQ(book.m_strIPAddress, "10.0.0.3");
    EXPECT_EQ(book.m_iMajorPort, 83);
  }
  // The changes reach the file whatever ended the window.
  EXPECT_EQ(Entries(), (std::vector<IPRecordEntry>{{"", "10.9.9.9", "edited", 8000}, {"c", "10.0.0.3", "three", 83}}));
  {
    CAddressBookDialog book;
    ASSERT_TRUE(book.OnInitDialog());
    book.Command(book_id::kDelete);
    book.Command(book_id::kCancel);
    EXPECT_EQ(book.result(), 1);
  }
  EXPECT_EQ(std::filesystem::file_size(File()), 400u);
}

TEST_F(AddressBookTest, ActionsWithoutASelectedRowAreRefused) {
  CAddressBookDialog book;
  ASSERT_TRUE(book.OnInitDialog());
  book.Command(book_id::kEdit);
  book.Command(book_id::kDelete);
  book.Command(book_id::kSelect);
  EXPECT_EQ(Boxes(), (std::vector<std::string>{"Please select a setting", "Please select a setting",
                                               "Please select an item"}));
  EXPECT_EQ(book.result(), 0);
}

TEST_F(AddressBookTest, ACorruptFileClosesTheWindowAndIsLeftByteForByte) {
  std::vector<std::uint8_t> bytes = SerializeIPRecords({{"a", "1.1.1.1", "", 80}, {"b", "2.2.2.2", "", 81}});
  bytes[400 + 132] = 0x4D;  // the second record's address check code
  {
    std::ofstream out(File(), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  {
    CAddressBookDialog book;
    EXPECT_EQ(book.DoModal(), -1);
  }
  EXPECT_EQ(Bytes(), bytes);
}

TEST_F(AddressBookTest, AFailedRewriteKeepsTheOldFileWhole) {
  ASSERT_TRUE(SaveIPRecordFile(File(), {{"a", "10.0.0.1", "", 81}}));
  const auto before = Bytes();
  {
    CAddressBookDialog book;
    ASSERT_TRUE(book.OnInitDialog());
    Add(book, "b", "10.0.0.2", "", "82");
    // The temporary file cannot be made: a folder stands in its place.
    std::filesystem::create_directory(File() + ".tmp");
  }
  EXPECT_EQ(Bytes(), before);
}

TEST_F(AddressBookTest, ARemainderIsDroppedWhenTheFileIsRewritten) {
  std::vector<std::uint8_t> bytes = SerializeIPRecords({{"a", "1.1.1.1", "", 80}, {"b", "2.2.2.2", "", 81}});
  bytes.resize(1000, 0);
  {
    std::ofstream out(File(), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  {
    CAddressBookDialog book;
    ASSERT_TRUE(book.OnInitDialog());
    EXPECT_EQ(book.m_iUserNumber, 2);
  }
  EXPECT_EQ(std::filesystem::file_size(File()), 800u);
}

TEST_F(AddressBookTest, TheScrollBarWorksOnlyWithMoreThanTenEntriesAndMovesAllLists) {
  std::vector<IPRecordEntry> entries;
  for (int i = 0; i < 10; ++i) entries.push_back({"u" + std::to_string(i), "10.0.0." + std::to_string(i), "", 80});
  ASSERT_TRUE(SaveIPRecordFile(File(), entries));
  {
    CAddressBookDialog book;
    ASSERT_TRUE(book.OnInitDialog());
    EXPECT_FALSE(book.GetDlgItem(book_id::kScrollBar)->isEnabled());
    Add(book, "u10", "10.0.0.10", "", "80");
    auto* bar = book.Item<QScrollBar>(book_id::kScrollBar);
    EXPECT_TRUE(bar->isEnabled());
    EXPECT_EQ(bar->maximum(), 10);
    struct Step {
      QAbstractSlider::SliderAction action;
      int row;
    } steps[] = {{QAbstractSlider::SliderPageStepSub, 5}, {QAbstractSlider::SliderSingleStepSub, 4},
                 {QAbstractSlider::SliderPageStepSub, 0}, {QAbstractSlider::SliderPageStepSub, 0},
                 {QAbstractSlider::SliderSingleStepAdd, 1}, {QAbstractSlider::SliderPageStepAdd, 6},
                 {QAbstractSlider::SliderPageStepAdd, 10}};
    for (const Step& s : steps) {
      book.OnVScroll(s.action);
      EXPECT_EQ(Row(book, book_id::kIpAddressList), s.row);
      EXPECT_EQ(Row(book, book_id::kUserList), s.row);
    }
  }
}

}  // namespace
