// Text searches, the device record, the language table, the address-book file, the tick
// timer and the debug trace.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/AddressBookFile.h"
#include "core/DeviceRecord.h"
#include "core/LanguageLibrary.h"
#include "core/StartupChecks.h"
#include "core/TextScan.h"
#include "core/TickTimer.h"
#include "core/TraceLog.h"
#include "platform/files.h"
#include "sound_fixture.h"

TEST(TextScan, TextAndBufferHelpers) {
  char out[8];
  const char* text = "a=1;Session-ID=abcdef;x=2;";
  EXPECT_EQ(ExtractKeyText(text, "Session-ID=", ';', out, sizeof out), 21);
  EXPECT_STREQ(out, "abcdef");
  EXPECT_EQ(ExtractKeyText(text, "x=", ';', out, 2), 25);  // cut to the buffer
  EXPECT_STREQ(out, "2");
  EXPECT_EQ(ExtractKeyText("k=;;", "k=", ';', out, sizeof out), 3);  // one character always copied
  EXPECT_STREQ(out, ";");
  EXPECT_EQ(ExtractKeyText(text, "none=", ';', out, sizeof out), -1);
  EXPECT_EQ(ExtractKeyText("k=abc", "k=", ';', out, sizeof out), -1);

  char reply[40] = {};
  std::memcpy(reply + 3, "online-user-num:2;", 18);
  reply[1] = 'o';
  EXPECT_TRUE(RepairOnlineUserKey(reply, sizeof reply));
  EXPECT_NE(std::strstr(reply, "online-user-num:2;"), nullptr);
  char full[] = "online-user-num:2;";
  EXPECT_FALSE(RepairOnlineUserKey(full, sizeof full));  // already findable

  const std::uint8_t buf[] = {1, 2, 0xFF, 3, 4, 5};
  EXPECT_EQ(FindFirstFF(buf, sizeof buf), 2u);
  EXPECT_EQ(FindFirstFF(buf, 2), 2u);
  const std::uint8_t pat[] = {3, 4};
  EXPECT_EQ(FindPattern(buf, sizeof buf, pat, 2), 3u);
  const std::uint8_t tail[] = {4, 5};
  EXPECT_EQ(FindPattern(buf, sizeof buf, tail, 2), 0u);  // only positions below size - length
  EXPECT_EQ(FindPattern(buf, 1, pat, 2), 0u);

  std::string folder;
  const struct {
    const char* path;
    const char* folder;
  } paths[] = {{"C:\\rec\\a.ovr", "C:\\rec"}, {"/home/op/rec/a.ovr", "/home/op/rec"},
               {"\\a", "\\a"}, {"name", "name"}};
  for (const auto& p : paths) {
    EXPECT_EQ(GetParentFolder(p.path, folder), 1);
    EXPECT_EQ(folder, p.folder) << p.path;
  }
  EXPECT_EQ(GetParentFolder(std::string(300, 'x') + "/y", folder), 1);
  EXPECT_EQ(folder.size(), 255u);
}

TEST(DeviceRecord, UnpacksEachFieldAndTheLanguageTable) {
  Bytes rec(kPackedDeviceRecordSize);
  for (std::size_t i = 0; i < rec.size(); ++i) rec[i] = static_cast<std::uint8_t>(i);
  DeviceRecordBlock b;
  ASSERT_TRUE(UnpackDeviceRecord(rec.data(), rec.size(), b));
  EXPECT_EQ(b.words[0], 0x03020100u);
  EXPECT_EQ(b.words[4], 0x13121110u);
  EXPECT_EQ(b.bytes6[5], 25);
  EXPECT_EQ(b.firstByte, 26);
  EXPECT_EQ(b.firstLong, 0x1E1D1C1Bu);
  EXPECT_EQ(b.secondLong, 0x2221201Fu);
  EXPECT_EQ(b.firstShort, 0x2423);
  EXPECT_EQ(b.thirdShort, 0x2827);
  EXPECT_EQ(b.secondByte, 41);
  EXPECT_EQ(b.fourthShort, 0x2B2A);
  EXPECT_EQ(b.lastByte, 44);
  EXPECT_FALSE(UnpackDeviceRecord(rec.data(), 44, b));

  EXPECT_STREQ(LanguageLibraryFor(3079), "ZelvikGER.dll");
  EXPECT_STREQ(LanguageLibraryFor(5132), "ZelvikFRN.dll");
  EXPECT_STREQ(LanguageLibraryFor(1041), "ZelvikJPN.dll");
  EXPECT_EQ(LanguageLibraryFor(1033), nullptr);
  const LanguageChoice c = ChooseLanguageLibrary(1031);
  EXPECT_EQ(c.languageId, 1033);
  EXPECT_EQ(c.library, nullptr);
  EXPECT_EQ(StartSocketsAtVersion(2, 2), 1);
  EXPECT_EQ(StartSocketsAtVersion(1, 1), 0);
}

TEST(AddressBookFile, Locator) {
  TempDir prog, sys;
  EXPECT_EQ(EnsureAddressBookFile(prog.path(), sys.path()), 1);
  EXPECT_EQ(ReadBytes(prog / "IPRecord.dat").size(), 0u);  // created empty

  TempDir prog2;
  WriteBytes(sys / "IPRecord.dat", Bytes(400, 7));
  EXPECT_EQ(EnsureAddressBookFile(prog2.path(), sys.path()), 1);
  EXPECT_EQ(ReadBytes(prog2 / "IPRecord.dat"), Bytes(400, 7));
  WriteBytes(prog2 / "IPRecord.dat", Bytes(3, 1));
  EXPECT_EQ(EnsureAddressBookFile(prog2.path(), sys.path()), 1);
  EXPECT_EQ(ReadBytes(prog2 / "IPRecord.dat"), Bytes(3, 1));  // an existing file is kept
}

TEST(TickTimer, ArmsAndElapses) {
  TickTimer_Start();
  EXPECT_EQ(TickTimer_Elapsed(3600), 0);
  EXPECT_EQ(TickTimer_Elapsed(0), 1);  // re-arms
  TickTimer_Start();
  EXPECT_EQ(TickTimer_Elapsed(0), 1);
}

TEST(DebugTrace, WriteStartsAgainAfterItsLineLimit) {
  TempDir dir;
  CDebugTraceLog log;
  EXPECT_EQ(log.Write("lost"), 0);  // no file open
  ASSERT_EQ(log.Open(dir.path()), 1);
  EXPECT_EQ(log.Write("one"), 1);
  EXPECT_EQ(log.Write("two"), 1);
  const std::string path = dir / "DebugTrace.log";
  const Bytes first = ReadBytes(path);
  EXPECT_EQ(std::string(first.begin(), first.end()), "one\r\ntwo\r\n");
  log.m_dwLineCount = 1048576;
  EXPECT_EQ(log.Write("three"), 1);
  const Bytes after = ReadBytes(path);
  EXPECT_EQ(std::string(after.begin(), after.end()), "three\r\n");
  EXPECT_EQ(log.m_dwLineCount, 0u);
  EXPECT_EQ(log.Delete(), 1);
  EXPECT_FALSE(plat::FileExists(path));
}
