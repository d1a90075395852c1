// The alarm list file: layout, additions, rotation, a foreign file, a lying header, deletion.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/SystemConfig.h"
#include "platform/files.h"
#include "sound_fixture.h"

namespace {

AlarmDBItem Item(const std::string& path, plat::DWORD frames, const std::string& ip, plat::WORD index = 0) {
  AlarmDBItem it;
  it.wIndex = index;
  CopyAlarmDBText(it.szFileName, kAlarmDBFileNameSize, path);
  CopyAlarmDBText(it.szServerIP, kAlarmDBServerIPSize, ip);
  it.dwFrames = frames;
  return it;
}

Bytes ListOf(std::size_t n, const char* prefix = "/rec/f") {
  std::vector<AlarmDBItem> items;
  for (std::size_t i = 0; i < n; ++i) items.push_back(Item(prefix + std::to_string(i), static_cast<plat::DWORD>(i), "10.0.0.1", static_cast<plat::WORD>(i)));
  return BuildAlarmDB(items);
}

std::vector<AlarmDBItem> Parse(const Bytes& b) {
  AlarmDBHeader h;
  std::vector<AlarmDBItem> items;
  EXPECT_EQ(ParseAlarmDB(b.data(), b.size(), h, items), AlarmDBParse::Ok);
  EXPECT_EQ(h.wCount, items.size());
  return items;
}

class AlarmDBTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::SetProgramFolder(dir_.path() + "/");
    file_ = dir_ / "AlarmData.dat";
  }
  void TearDown() override { cfg_.AlarmDB_FreeBuffer(); }

  void Add(const std::string& path, plat::DWORD frames, const std::string& ip = "192.168.1.10",
           plat::BOOL expect = 1) {
    cfg_.AlarmDB_SetFileName(path);
    const plat::WORD t[8] = {2026, 12, 4, 10, 13, 45, 30, 999};
    cfg_.AlarmDB_SetStartTime(t);
    EXPECT_EQ(cfg_.AlarmDB_AddItem(frames, ip), expect) << path;
  }

  TempDir dir_;
  std::string file_;
  SystemConfig cfg_;
};

TEST(AlarmDBLayout, RecordBytesAtTheirOffsets) {
  AlarmDBItem it = Item("C:/rec/ALARM_MJPEG_261210T134530_ab12.ovr", 0x01020304, "10.1.2.3", 0x0A0B);
  it.byFlags = 0x01;
  const plat::WORD t[8] = {2026, 12, 0, 10, 13, 45, 30, 0};
  std::memcpy(it.stStartTime, t, sizeof t);
  Bytes b(kAlarmDBItemSize, 0xEE);
  WriteAlarmDBItem(it, b.data());
  EXPECT_EQ(b.size(), 316u);
  EXPECT_EQ(b[0], 0x0B);
  EXPECT_EQ(b[1], 0x0A);
  EXPECT_EQ(b[2], 0);
  EXPECT_EQ(b[3], 0x01);
  EXPECT_EQ(b[4], 2026 & 0xFF);
  EXPECT_EQ(b[5], 2026 >> 8);
  EXPECT_EQ(b[6], 12);
  EXPECT_EQ(b[10], 10);  // day
  EXPECT_EQ(b[16], 30);  // second
  EXPECT_EQ(std::string(reinterpret_cast<char*>(&b[20])), it.szFileName);
  EXPECT_EQ(b[279], 0);
  EXPECT_EQ(b[280], 0x04);
  EXPECT_EQ(b[283], 0x01);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(&b[284])), "10.1.2.3");
  EXPECT_EQ(b[315], 0);
  const AlarmDBItem back = ReadAlarmDBItem(b.data());
  EXPECT_EQ(back.wIndex, 0x0A0B);
  EXPECT_EQ(back.dwFrames, 0x01020304u);
  EXPECT_STREQ(back.szFileName, it.szFileName);

  Bytes h(4);
  WriteAlarmDBHeader({kAlarmDBMagic, 3}, h.data());
  EXPECT_EQ(h, (Bytes{0x87, 0x99, 3, 0}));
}

TEST(AlarmDBLayout, OverlongTextsAreCutWithATerminator) {
  const std::string longPath(400, 'p');
  const std::string longIp(50, '9');
  const AlarmDBItem it = Item(longPath, 1, longIp);
  EXPECT_EQ(std::strlen(it.szFileName), 259u);
  EXPECT_EQ(std::strlen(it.szServerIP), 31u);
  // A record read from a file without terminators still yields bounded texts.
  Bytes raw(kAlarmDBItemSize, 'x');
  const AlarmDBItem r = ReadAlarmDBItem(raw.data());
  EXPECT_EQ(std::strlen(r.szFileName), 259u);
  EXPECT_EQ(std::strlen(r.szServerIP), 31u);
}

TEST_F(AlarmDBTest, FirstAdditionCreatesA320ByteFile) {
  Add("/rec/a.ovr", 120);
  const Bytes b = ReadBytes(file_);
  ASSERT_EQ(b.size(), 320u);
  EXPECT_EQ(b[0], 0x87);
  EXPECT_EQ(b[1], 0x99);
  EXPECT_EQ(b[2], 1);
  EXPECT_EQ(b[3], 0);
  const std::vector<AlarmDBItem> items = Parse(b);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].wIndex, 0);
  EXPECT_STREQ(items[0].szFileName, "/rec/a.ovr");
  EXPECT_STREQ(items[0].szServerIP, "192.168.1.10");
  EXPECT_EQ(items[0].dwFrames, 120u);
  EXPECT_EQ(items[0].byFlags, 0);
  EXPECT_EQ(items[0].stStartTime[0], 2026);
  EXPECT_EQ(items[0].stStartTime[2], 0);  // day of week
  EXPECT_EQ(items[0].stStartTime[7], 0);  // milliseconds
  EXPECT_EQ(cfg_.GetFileName(), file_);
}

TEST_F(AlarmDBTest, AdditionsAppendWithRunningIndex) {
  Add("/rec/a.ovr", 1);
  Add("/rec/b.ovr", 2);
  Add("/rec/c.ovr", 3);
  const std::vector<AlarmDBItem> items = Parse(ReadBytes(file_));
  ASSERT_EQ(items.size(), 3u);
  EXPECT_STREQ(items[2].szFileName, "/rec/c.ovr");
  EXPECT_EQ(items[1].wIndex, 1);
  EXPECT_EQ(items[2].wIndex, 2);
}

TEST_F(AlarmDBTest, RotationAt1024) {
  struct Case {
    std::size_t before, after;
  } cases[] = {{1023, 1024}, {1024, 1024}, {1100, 1100}};
  for (const Case& c : cases) {
    WriteBytes(file_, ListOf(c.before));
    Add("/rec/new.ovr", 7);
    const std::vector<AlarmDBItem> items = Parse(ReadBytes(file_));
    ASSERT_EQ(items.size(), c.after) << c.before;
    EXPECT_STREQ(items.back().szFileName, "/rec/new.ovr");
    // Below the limit nothing is dropped; at it the oldest goes and the former second leads.
    EXPECT_STREQ(items.front().szFileName, c.before < 1024 ? "/rec/f0" : "/rec/f1") << c.before;
  }
}

TEST_F(AlarmDBTest, ForeignFileIsLeftByteForByte) {
  const Bytes foreign[] = {
      Bytes{0x99, 0x87, 1, 0, 'a', 'b', 'c'},  // magic in the wrong order
      Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0},
      Bytes{0x87},                            // too short to hold a header
  };
  for (const Bytes& f : foreign) {
    WriteBytes(file_, f);
    Add("/rec/a.ovr", 1, "1.2.3.4", 0);
    EXPECT_EQ(ReadBytes(file_), f);
  }
}

TEST_F(AlarmDBTest, HeaderClaimingMoreRecordsThanTheFileHolds) {
  Bytes b = ListOf(3);
  b[2] = 200;                   // claims 200 records
  b.resize(b.size() + 100, 0);  // and a torn partial record
  WriteBytes(file_, b);
  AlarmDBHeader h;
  std::vector<AlarmDBItem> items;
  ASSERT_EQ(ParseAlarmDB(b.data(), b.size(), h, items), AlarmDBParse::Ok);
  EXPECT_EQ(h.wCount, 200);
  EXPECT_EQ(items.size(), 3u);

  ASSERT_EQ(cfg_.AlarmDB_LoadFile(), AlarmDBLoad::Loaded);
  EXPECT_EQ(cfg_.AlarmDB_LoadedCount(), 3u);
  EXPECT_EQ(cfg_.GetHeader().wCount, 3);  // the claim is not believed

  Add("/rec/x.ovr", 9);
  const std::vector<AlarmDBItem> after = Parse(ReadBytes(file_));
  ASSERT_EQ(after.size(), 4u);
  EXPECT_STREQ(after[3].szFileName, "/rec/x.ovr");
  EXPECT_EQ(after[3].wIndex, 3);
  EXPECT_EQ(ReadBytes(file_).size(), 4u + 4 * 316);
}

TEST_F(AlarmDBTest, LoadMarksMissingRecordingsAndHandlesBadFiles) {
  WriteBytes(dir_ / "there.ovr", Bytes{1, 2, 3});
  WriteBytes(file_, BuildAlarmDB({Item(dir_ / "there.ovr", 5, "a"), Item(dir_ / "gone.ovr", 6, "b")}));
  ASSERT_EQ(cfg_.AlarmDB_LoadFile(), AlarmDBLoad::Loaded);
  const std::vector<AlarmDBItem> items = cfg_.AlarmDB_LoadedItems();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].byFlags, 0);
  EXPECT_EQ(items[1].byFlags, ALARMDB_FILE_MISSING);
  EXPECT_EQ(cfg_.GetHeader().wCount, 2);
  // The running index continues from the loaded count.
  Add("/rec/c.ovr", 1);
  EXPECT_EQ(Parse(ReadBytes(file_)).back().wIndex, 2);

  std::remove(file_.c_str());
  EXPECT_EQ(cfg_.AlarmDB_LoadFile(), AlarmDBLoad::Created);
  EXPECT_EQ(ReadBytes(file_), (Bytes{0x87, 0x99, 0, 0}));
  EXPECT_EQ(cfg_.GetHeader().wCount, 0);  // the running number starts again with the new list

  // Bad files are set aside whole (the newest one kept) and an empty list takes their place.
  WriteBytes(file_, Bytes{1, 2, 3, 4, 5});
  EXPECT_EQ(cfg_.AlarmDB_LoadFile(), AlarmDBLoad::BadMagic);
  EXPECT_EQ(ReadBytes(file_ + ".bad"), (Bytes{1, 2, 3, 4, 5}));
  EXPECT_EQ(ReadBytes(file_), (Bytes{0x87, 0x99, 0, 0}));
  WriteBytes(file_, Bytes{0x87, 0x99});
  EXPECT_EQ(cfg_.AlarmDB_LoadFile(), AlarmDBLoad::ReadFailed);
  EXPECT_EQ(ReadBytes(file_ + ".bad"), (Bytes{0x87, 0x99}));
  EXPECT_EQ(ReadBytes(file_), (Bytes{0x87, 0x99, 0, 0}));
}

TEST_F(AlarmDBTest, RemovalDropsEveryRecordNamingAMarkedFile) {
  WriteBytes(file_, BuildAlarmDB({Item("/r/a", 1, "x"), Item("/r/b", 2, "x"), Item("/r/a", 3, "x"),
                                  Item("/r/c", 4, "x"), Item("/r/a", 5, "x")}));
  ASSERT_EQ(cfg_.AlarmDB_LoadFile(), AlarmDBLoad::Loaded);
  // Added after the page loaded: kept unless its path is marked.
  Add("/r/d", 6);
  Add("/r/a", 7);

  // Without the pending flag nothing changes.
  const Bytes before = ReadBytes(file_);
  ASSERT_TRUE(cfg_.AlarmDB_SetItemFlags(0, ALARMDB_MARKED_DELETE));
  EXPECT_EQ(cfg_.AlarmDB_RemoveMarkedItems(), 1);
  EXPECT_EQ(ReadBytes(file_), before);

  cfg_.m_fDeletePending = 1;
  EXPECT_FALSE(cfg_.AlarmDB_SetItemFlags(99, ALARMDB_MARKED_DELETE));
  EXPECT_EQ(cfg_.AlarmDB_RemoveMarkedItems(), 1);
  const std::vector<AlarmDBItem> items = Parse(ReadBytes(file_));
  ASSERT_EQ(items.size(), 3u);
  EXPECT_STREQ(items[0].szFileName, "/r/b");
  EXPECT_STREQ(items[1].szFileName, "/r/c");
  EXPECT_STREQ(items[2].szFileName, "/r/d");
  EXPECT_EQ(cfg_.m_fDeletePending.load(), 0);
  EXPECT_EQ(cfg_.AlarmDB_LoadedCount(), 0u);
}

TEST_F(AlarmDBTest, ClearAllAndRemovalOfAMissingFile) {
  WriteBytes(file_, ListOf(4));
  ASSERT_EQ(cfg_.AlarmDB_LoadFile(), AlarmDBLoad::Loaded);
  EXPECT_TRUE(cfg_.AlarmDB_MarkAllForDeletion());
  cfg_.m_fDeletePending = 1;
  EXPECT_EQ(cfg_.AlarmDB_RemoveMarkedItems(), 1);
  EXPECT_EQ(ReadBytes(file_), (Bytes{0x87, 0x99, 0, 0}));

  // The file vanished after the load: it is written from the unmarked loaded entries.
  WriteBytes(file_, ListOf(3));
  ASSERT_EQ(cfg_.AlarmDB_LoadFile(), AlarmDBLoad::Loaded);
  std::remove(file_.c_str());
  cfg_.AlarmDB_SetItemFlags(1, ALARMDB_MARKED_DELETE | ALARMDB_FILE_MISSING);
  cfg_.AlarmDB_SetItemFlags(2, ALARMDB_FILE_MISSING);
  cfg_.m_fDeletePending = 1;
  EXPECT_EQ(cfg_.AlarmDB_RemoveMarkedItems(), 1);
  const std::vector<AlarmDBItem> items = Parse(ReadBytes(file_));
  ASSERT_EQ(items.size(), 2u);
  EXPECT_STREQ(items[0].szFileName, "/rec/f0");
  EXPECT_STREQ(items[1].szFileName, "/rec/f2");
  EXPECT_EQ(items[1].byFlags, ALARMDB_FILE_MISSING);  // written back with its bit
}

TEST_F(AlarmDBTest, FailedRewriteLeavesTheListWhole) {
  WriteBytes(file_, ListOf(2));
  const Bytes before = ReadBytes(file_);
  // A folder where the temporary file would go makes the rewrite fail.
  plat::CreateDirectories(file_ + ".tmp/x");
  Add("/rec/z.ovr", 1, "ip", 0);
  EXPECT_EQ(ReadBytes(file_), before);
}

}  // namespace
