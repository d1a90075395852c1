#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/StringIds.h"
#include "devices_fixture.h"
#include "platform/files.h"
#include "session/Rs485.h"

namespace {

CtrlFileData Parse(const std::string& text) {
  return ParseCtrlFile(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

std::vector<std::uint8_t> SlotBytes(const CtrlCommandSlot& s) { return {s.bytes.begin(), s.bytes.end()}; }

TEST(CtrlFileLine, ReadCtrlLine) {
  struct Case {
    std::string text;
    std::string line;
    std::size_t consumed;
  };
  const Case cases[] = {
      {"[ch1]\r\nnext", "[CH1]", 7},
      {"a\tb\x01" "c\x7f\x80\xff" "d\n", "ABCD", 10},
      {"last line", "LAST LINE", 9},
      {"\n", "", 1},
      {"  x  \n", "  X  ", 6},
      {std::string(200, 'q') + "\nz", std::string(kCtrlLineMax, 'Q'), 201},
  };
  for (const Case& c : cases) {
    std::string line;
    EXPECT_EQ(ReadCtrlLine(reinterpret_cast<const std::uint8_t*>(c.text.data()), c.text.size(), line), c.consumed)
        << c.text;
    EXPECT_EQ(line, c.line);
  }
}

TEST(CtrlFileLine, ParseHexByte) {
  struct Case {
    char hi, lo;
    int value;
  };
  const Case cases[] = {{'F', 'F', 0xFF}, {'%', 'D', 13}, {'%', '1', 1}, {'0', '7', 7},
                        {'a', '0', 0xA0}, {'G', '1', 1},  {'1', '\0', 0x10}, {'\0', '\0', 0}};
  for (const Case& c : cases) EXPECT_EQ(ParseHexByte(c.hi, c.lo), c.value) << c.hi << c.lo;
}

TEST(CtrlFileCommand, Forms) {
  struct Case {
    const char* line;
    int result;
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint8_t> subst;
  };
  const Case cases[] = {
      {"0X05 0XFF 0XC0 0X%D 0X57 0X7F", 1, Bytes({0xFF, 0xC0, 13, 0x57, 0x7F}), Bytes({0, 0, 1, 0, 0})},
      {"0X03,0X%1,0X%6,0X%F", 1, Bytes({1, 6, 15}), Bytes({1, 1, 1})},
      {"X02 X01X02 trailing X03", 1, Bytes({1, 2}), Bytes({0, 0})},
      // fewer bytes than the count: what was read stays, the rest is 0
      {"0X04 0XAA 0X%2", 2, Bytes({0xAA, 2, 0, 0}), Bytes({0, 1, 0, 0})},
      {"0X00", 1, {}, {}},
      {"no marker here", 0, {}, {}},
      // the count's digits run into the line end
      {"0X", 1, {}, {}},
  };
  for (const Case& c : cases) {
    CtrlCommandSlot slot;
    EXPECT_EQ(ParseCtrlCommand(slot, c.line), c.result) << c.line;
    EXPECT_EQ(SlotBytes(slot), c.bytes) << c.line;
    EXPECT_EQ(slot.subst, c.subst) << c.line;
    EXPECT_EQ(slot.byCount, c.bytes.size());
  }
}

std::string Line(int count, int fill = 0x11) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "0X%02X", count);
  std::string s = buf;
  for (int i = 0; i < count; ++i) {
    std::snprintf(buf, sizeof buf, " 0X%02X", fill);
    s += buf;
  }
  return s;
}

// Templates whose packet could not fit, or whose list lies beyond the template, are refused.
TEST(CtrlFileCommand, TemplatesThatCannotFormAPacket) {
  struct Case {
    std::string line;
    bool accepted;
  };
  const Case cases[] = {
      {Line(61), true},
      {Line(62), false},
      {Line(255), false},
      // two-alternative: separator 0A, then the sent list
      {"0X07 0X%A 0X01 0X11 0X0A 0X02 0X22 0X33", true},
      {"0X05 0X%A 0X01 0X11 0X0A 0X05", false},  // second list runs past the template
      {"0X04 0X%A 0X01 0X11 0X22", false},       // no separator
      {"0X03 0X%A 0X01 0X0A", false},            // separator is the last byte
      // ACTION/PRESET: both lists must be there
      {"0X07 0X%7 0X01 0X11 0X%7 0X02 0X22 0X33", true},
      {"0X05 0X%7 0X01 0X11 0X07 0X01", false},  // literal 07 is no placeholder
      {"0X04 0X%7 0X05 0X11 0X22", false},       // ACTION list runs past
      // variable: N at index 1 at most 61
      {"0X03 0X%3 0X3D 0X00", true},
      {"0X03 0X%3 0X3E 0X00", false},
      {"0X01 0X%3", false},
  };
  for (const Case& c : cases) {
    CtrlCommandSlot slot;
    const int r = ParseCtrlCommand(slot, c.line);
    EXPECT_EQ(r != 0, c.accepted) << c.line;
    if (!c.accepted) {
      EXPECT_TRUE(slot.Empty()) << c.line;
    }
  }
}

const char* const kSmallFile =
    "; comment\n"
    "[device number]\r\n"
    "2\n"
    "\n"
    "[DEVICE NAME]\n"
    "ptz pelco d\n"
    "[PARAMETER]\n"
    "%0=0X12\n"
    "%9 0XFE\n"
    "%A=0X55\n"         // index 17: ignored
    "nothing\n"         // no marker: ignored
    "[POWER]\n"
    "0X02 0X%D 0XAB\n"
    "[JOYSTICK_LEFT]\n"
    "0X07 0XFF 0X%D 0X00 0X04 0X20 0X00 0X%6\n"
    "[SEQUENCE]\n"
    "0X01 0X66\n"
    "[DISPLAY]\n"
    "3\n"
    "[DEVICE NAME]\n"
    "CAMERA\n"
    "[CH1]\n"
    "0X01 0X01\n"
    "[DEVICE NAME]\n"   // a third record where two were declared
    "K48R\n"
    "[CH1]\n"
    "0X01 0X02\n"
    "[EOF]\n"
    "anything\n"
    "END\n"
    "[DEVICE NAME]\n"
    "AFTER END\n";

TEST(CtrlFileParse, RecordsSectionsAndBounds) {
  const CtrlFileData d = Parse(kSmallFile);
  EXPECT_TRUE(d.endReached);
  EXPECT_TRUE(d.messages.empty());
  ASSERT_EQ(d.count, 2);
  const CtrlDeviceRecord& a = d.records[0];
  const CtrlDeviceRecord& b = d.records[1];
  EXPECT_STREQ(a.szName, "PTZ PELCO D");
  EXPECT_STREQ(b.szName, "CAMERA");
  EXPECT_EQ(a.byParam[0], 0x12);
  EXPECT_EQ(a.byParam[9], 0xFE);
  for (int i = 1; i < 9; ++i) EXPECT_EQ(a.byParam[i], 0);
  EXPECT_EQ(a.byDisplay, 3);
  EXPECT_EQ(SlotBytes(a.Power), Bytes({13, 0xAB}));
  EXPECT_EQ(a.Power.pOwner, &a);
  EXPECT_EQ(a.Keys[54].byCount, 7);
  EXPECT_EQ(a.Keys[54].pOwner, &a);
  EXPECT_EQ(SlotBytes(a.Keys[66]), Bytes({0x66}));
  EXPECT_TRUE(a.Keys[67].Empty());
  EXPECT_EQ(SlotBytes(b.Keys[0]), Bytes({1}));  // the undeclared third record changed nothing
}

TEST(CtrlFileParse, LinesTheFileDoesNotExplain) {
  struct Case {
    std::string text;
    std::vector<unsigned> messages;
    bool end;
  };
  const Case cases[] = {
      {"stray line\n[EOF]\nEND\n", {IDS_COMMAND_NOT_SUPPORTED}, true},
      // a header with a trailing blank is unknown: each data line under it is reported
      {"[DEVICE NUMBER]\n1\n[DEVICE NAME]\nX\n[CH1] \n0X01 0X01\n0X01 0X02\n[EOF]\nEND\n",
       {IDS_COMMAND_NOT_SUPPORTED, IDS_COMMAND_NOT_SUPPORTED}, true},
      {"[DEVICE NUMBER]\n1\n[DEVICE NAME]\nX\n[CH1]\n0X03 0X01\n", {IDS_PLEASE_INPUT_SERVER_COMMAND}, false},
      {"[DEVICE NUMBER]\n1\n[DEVICE NAME]\nX\n[CH1]\n" + Line(70) + "\n", {IDS_PLEASE_INPUT_SERVER_COMMAND}, false},
      {"[DEVICE NUMBER]\n1\n[DEVICE NAME]\nX\n[CH1]\nno bytes\n", {IDS_PLEASE_INPUT_SERVER_COMMAND}, false},
      // key lines before any record, or for records beyond the count, are dropped quietly
      {"[CH1]\n0X01 0X01\n[DEVICE NAME]\nY\n[CH2]\n0X01 0X01\n", {}, false},
      {"", {}, false},
  };
  for (const Case& c : cases) {
    const CtrlFileData d = Parse(c.text);
    EXPECT_EQ(d.messages, c.messages) << c.text;
    EXPECT_EQ(d.endReached, c.end) << c.text;
  }
}

TEST(CtrlFileParse, CountsAndNamesAreBounded) {
  const std::string longName(120, 'n');
  const CtrlFileData d = Parse("[DEVICE NUMBER]\n99999999999\n[DEVICE NUMBER]\n1\n[DEVICE NAME]\n" + longName + "\n");
  EXPECT_EQ(d.count, kCtrlMaxDevices);  // the second count changes nothing
  EXPECT_EQ(std::string(d.records[0].szName), std::string(kCtrlNameSize - 1, 'N'));

  EXPECT_EQ(Parse("[DEVICE NUMBER]\n-5\n[DEVICE NAME]\nA\n[CH1]\n0X01 0X01\n").count, 0);
  EXPECT_EQ(Parse("[DEVICE NUMBER]\nabc\n").count, 0);
}

// A file cut anywhere (the last line without its end, a template or parameter cut inside a
// byte) is parsed from a buffer of exactly its size: the sanitizer build catches any read
// past it, and a cut inside [DEVICE NAME] never leaves a name without its terminator.
TEST(CtrlFileParse, EveryCutOfAFileStaysInsideItsBuffer) {
  const std::string texts[] = {
      kSmallFile,
      "[DEVICE NUMBER]\n1\n[DEVICE NAME]\nA\n[PARAMETER]\n%3 0XA5\n[CH1]\n0X03 0X%D 0X01 0X02\n[DISPLAY]\n12\n",
  };
  for (const std::string& text : texts) {
    for (std::size_t n = 0; n <= text.size(); ++n) {
      const std::vector<std::uint8_t> exact(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n));
      const CtrlFileData d = ParseCtrlFile(exact.data(), exact.size());
      ASSERT_GE(d.count, 0);
      ASSERT_LE(d.count, kCtrlMaxDevices);
      for (int r = 0; r < d.count; ++r) {
        const CtrlDeviceRecord& rec = d.records[static_cast<std::size_t>(r)];
        EXPECT_EQ(rec.szName[kCtrlNameSize - 1], 0) << n;
        for (const CtrlCommandSlot& slot : rec.Keys) {
          EXPECT_EQ(slot.bytes.size(), slot.byCount) << n;
        }
      }
      // "END" ends the file also as a last line without its line feed.
      const std::size_t end = text.find("\nEND\n");
      EXPECT_EQ(d.endReached, end != std::string::npos && n >= end + 4) << n;
    }
  }
}

TEST(CtrlFileLink, FirstRecordOfTheNameWins) {
  const CtrlFileData d = Parse(
      "[DEVICE NUMBER]\n3\n[DEVICE NAME]\nptz pelco d\n[DEVICE NAME]\nPTZ PELCO D\n[DEVICE NAME]\nRVX 507 DVR \n");
  LinkCtrlFileDevices(d.records.get(), d.count);
  EXPECT_EQ(DeviceTypeTable[DT_PTZ_PELCO_D].pCtrlRecord, &d.records[0]);
  EXPECT_EQ(DeviceTypeTable[DT_RVX507].pCtrlRecord, nullptr);  // trailing blank: another name
  EXPECT_EQ(DeviceTypeTable[DT_CAMERA].pCtrlRecord, nullptr);
  LinkCtrlFileDevices(nullptr, 0);
  EXPECT_EQ(DeviceTypeTable[DT_PTZ_PELCO_D].pCtrlRecord, nullptr);
}

#ifdef TRELVIX_SHIPPED_CTRLFILE
// The file the build puts beside the program: complete, linked to every type, and every key
// a type shows (and sends) has a template that forms a packet in every mode.
TEST(CtrlFileShipped, EveryShownKeyHasASendableTemplate) {
  std::vector<std::uint8_t> text;
  ASSERT_TRUE(plat::ReadWholeFile(TRELVIX_SHIPPED_CTRLFILE, text));
  const CtrlFileData d = ParseCtrlFile(text.data(), text.size());
  EXPECT_TRUE(d.endReached);
  EXPECT_TRUE(d.messages.empty());
  ASSERT_EQ(d.count, kDeviceTypeCount);
  LinkCtrlFileDevices(d.records.get(), d.count);
  for (int t = 0; t < kDeviceTypeCount; ++t) {
    const CtrlDeviceRecord* rec = DeviceTypeTable[t].pCtrlRecord;
    ASSERT_NE(rec, nullptr) << DeviceTypeTable[t].pszName;
    EXPECT_FALSE(rec->Power.Empty());
    for (int k = 0; k < kPanelKeyCount; ++k) {
      if (!(DeviceTypeTable[t].Rows[k].wFlags & SBF_VISIBLE)) continue;
      if (k == PK_TURBO || k == PK_PTZ || k == PK_ALARM || k == PK_ACTION_PRESET) continue;
      const CtrlCommandSlot& slot = rec->Keys[k];
      EXPECT_FALSE(slot.Empty()) << "type " << t << " key " << k;
      std::vector<std::uint8_t> body;
      for (bool preset : {false, true})
        EXPECT_EQ(BuildRs485Packet(slot, 1, preset, Rs485Values{}, body), Rs485Build::Ok) << t << "/" << k;
    }
  }
  // Pelco-D: go to preset 3 (ACTION) and set preset 3 (PRESET) for the dome at address 5.
  const CtrlDeviceRecord* d25 = DeviceTypeTable[DT_PTZ_PELCO_D].pCtrlRecord;
  Rs485Values v;
  v.videoDeviceId = 5;
  std::vector<std::uint8_t> body;
  ASSERT_EQ(BuildRs485Packet(d25->Keys[2], 1, false, v, body), Rs485Build::Ok);
  EXPECT_EQ(body, Bytes({7, 0xFF, 5, 0, 0x07, 0, 3, 0x0F, 1, 0x32}));
  ASSERT_EQ(BuildRs485Packet(d25->Keys[2], 1, true, v, body), Rs485Build::Ok);
  EXPECT_EQ(body, Bytes({7, 0xFF, 5, 0, 0x03, 0, 3, 0x0B, 1, 0x32}));
  // Pelco-D pan left at speed 0x20; turbo repeat 5.
  ASSERT_EQ(BuildRs485Packet(d25->Keys[54], 5, false, v, body), Rs485Build::Ok);
  EXPECT_EQ(body, Bytes({7, 0xFF, 5, 0, 0x04, 0x20, 0, 0x29, 5, 0x32}));
  // Pelco-P tilt up for the dome at address 0: check byte is the exclusive-or.
  const CtrlDeviceRecord* d18 = DeviceTypeTable[DT_PTZ_PELCO].pCtrlRecord;
  ASSERT_EQ(BuildRs485Packet(d18->Keys[55], 1, false, v, body), Rs485Build::Ok);
  EXPECT_EQ(body, Bytes({8, 0xA0, 0, 0, 0x08, 0, 0x20, 0xAF, 0xA0 ^ 0x08 ^ 0x20 ^ 0xAF, 1, 0x32}));
  LinkCtrlFileDevices(nullptr, 0);
}
#endif

class CtrlFileLoad : public RecordFixture {
 protected:
  void SetUp() override {
    RecordFixture::SetUp();
    const char* tmp = std::getenv("TRELVIX_TEST_TMP");
    dir_ = std::filesystem::path(tmp ? tmp : "/tmp") /
           ("ctrlfile-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    previousFolder_ = plat::ProgramFolder();
    plat::SetProgramFolder(dir_.string() + "/");
  }
  void TearDown() override {
    plat::SetProgramFolder(previousFolder_);
    std::filesystem::remove_all(dir_);
    RecordFixture::TearDown();
  }
  void Write(const std::string& name, const std::string& text) { std::ofstream(dir_ / name) << text; }

  std::filesystem::path dir_;
  std::string previousFolder_;
};

TEST_F(CtrlFileLoad, MissingFileEndsWithTheMessage) {
  EXPECT_EQ(LoadCtrlFile(), 0);
  ASSERT_EQ(messages_.Texts().size(), 1u);
  EXPECT_EQ(messages_.Texts()[0], "Open device control file is failed");
  EXPECT_EQ(LinkCtrlFileDevices(), 1);  // safe after a failed load
  for (const auto& type : DeviceTypeTable) EXPECT_EQ(type.pCtrlRecord, nullptr);
}

TEST_F(CtrlFileLoad, LoadsLinksAndFrees) {
  Write("ctrlfile.INI", kSmallFile);  // the name is found whatever its case
  ASSERT_EQ(LoadCtrlFile(), 1);
  EXPECT_TRUE(messages_.Texts().empty());
  ASSERT_EQ(app_->dw_CtrlDeviceCount.load(), 2);
  CtrlDeviceRecord* records = app_->lp_CtrlDeviceRecords.load();
  ASSERT_NE(records, nullptr);
  EXPECT_EQ(LinkCtrlFileDevices(), 1);
  EXPECT_EQ(DeviceTypeTable[DT_PTZ_PELCO_D].pCtrlRecord, &records[0]);
  EXPECT_EQ(DeviceTypeTable[DT_CAMERA].pCtrlRecord, &records[1]);
  FreeCtrlDeviceRecords();
  FreeCtrlDeviceRecords();
  EXPECT_EQ(app_->lp_CtrlDeviceRecords.load(), nullptr);
  EXPECT_EQ(app_->dw_CtrlDeviceCount.load(), 0);
  EXPECT_EQ(DeviceTypeTable[DT_PTZ_PELCO_D].pCtrlRecord, nullptr);
}

TEST_F(CtrlFileLoad, EachKindOfBadLineIsShownOnceAndLoadingGoesOn) {
  std::string bogus;
  for (int i = 0; i < 500; ++i) bogus += "x\n";
  Write("CtrlFile.ini", "[DEVICE NUMBER]\n1\n[DEVICE NAME]\nCAMERA\n[BOGUS]\n" + bogus +
                            "[CH1]\n0X02 0X01\n[CH2]\n0X02 0X01\n[EOF]\nEND\n");
  ASSERT_EQ(LoadCtrlFile(), 1);
  const std::vector<std::string> expected = {Msg(IDS_COMMAND_NOT_SUPPORTED), Msg(IDS_PLEASE_INPUT_SERVER_COMMAND)};
  EXPECT_EQ(messages_.Texts(), expected);
  EXPECT_EQ(app_->dw_CtrlDeviceCount.load(), 1);
}

}  // namespace
