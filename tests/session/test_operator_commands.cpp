// The operator commands' requests and reply readers: colour reply, slave list, hot-point cells
// and packets, PTZ selection packets, and each request against the fake recorder.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "session/ControlDeviceTable.h"
#include "session/DeviceTypes.h"
#include "session/OperatorCommands.h"
#include "session_fixture.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string Hex(const std::string& s) {
  std::string out;
  char buf[4];
  for (unsigned char c : s) {
    std::snprintf(buf, sizeof buf, "%02X ", c);
    out += buf;
  }
  return out;
}

// ---- colour reply ----

TEST(ColorReplyTest, KeysValuesAndDefaults) {
  struct Case {
    const char* reply;
    int con, bri, hue;
  };
  const Case cases[] = {
      {"CON=200;BRI=5;HUE=12;", 200, 5, 12},
      {"CON=200;BRI=5;", 200, 5, 0},          // no HUE: 0
      {"BRI=5;HUE=12;", 128, 5, 12},          // no CON: 128
      {"", 128, 0, 0},
      {"HUE=12;BRI=5;CON=7", 7, 5, 12},       // any order, the last without ';'
      {"CON:200;BRI 5;HUE=12;", 200, 5, 12},  // any one separator character
      {"XCON=1;CONTRAST=9;CON=3;", 3, 0, 0},  // whole keys only
      {"CON=abc;BRI=;HUE=1x;", 128, 0, 0},    // not decimal: the default
      {"CON=999;BRI=-4;HUE=256;", 255, 0, 255},
      {"CON=99999999999999999999;", 255, 0, 0},
      {"CON=12", 12, 0, 0},
      {"CON", 128, 0, 0},                     // no separator, no value
  };
  for (const Case& c : cases) {
    const ColorValues v = ParseColorReply(c.reply);
    EXPECT_EQ(v.contrast, c.con) << c.reply;
    EXPECT_EQ(v.brightness, c.bri) << c.reply;
    EXPECT_EQ(v.hue, c.hue) << c.reply;
  }
}

TEST(ColorMappingTest, VideoServersSwapBrightnessAndHue) {
  struct Case {
    const char* model;
    ColorValues device, shown;
  };
  const Case cases[] = {
      {"K47R", {128, 0, 200}, {128, 128, 72}},
      {"K40R", {10, 128, 127}, {10, 0, 255}},
      {"K44R", {0, 255, 0}, {0, 127, 128}},
      {"K41R", {128, 0, 200}, {128, 0, 200}},
  };
  for (const Case& c : cases) {
    const ColorValues shown = DeviceToShown(c.model, c.device);
    EXPECT_EQ(shown.contrast, c.shown.contrast) << c.model;
    EXPECT_EQ(shown.brightness, c.shown.brightness) << c.model;
    EXPECT_EQ(shown.hue, c.shown.hue) << c.model;
    const ColorValues back = ShownToDevice(c.model, shown);
    EXPECT_EQ(back.brightness, c.device.brightness) << c.model;
    EXPECT_EQ(back.hue, c.device.hue) << c.model;
  }
  EXPECT_EQ(ColorDefaultsFor("K45R").brightness, 175);
  EXPECT_EQ(ColorDefaultsFor("K45R").contrast, 150);
  EXPECT_EQ(ColorDefaultsFor("K45R").hue, 130);
  EXPECT_EQ(ColorDefaultsFor("K41R").hue, 128);
}

// ---- slave list ----

TEST(SlaveListTest, ReadsSlavesAndEndsOrderly) {
  struct Case {
    const char* name;
    const char* reply;
    std::size_t room;
    std::vector<std::pair<int, int>> slaves;  // id, type
  };
  const Case cases[] = {
      {"two", "SLAVENUM=2;SID=3;STYPE=1;SPROTOCOL=1;SID=4;STYPE=8;SPROTOCOL=0;", 29, {{3, 18}, {4, 8}}},
      {"type 1 protocol 0", "SLAVENUM=1;SID=5;STYPE=1;SPROTOCOL=0;", 29, {{5, 11}}},
      {"type 8 protocol 1 stays", "SLAVENUM=1;SID=5;STYPE=8;SPROTOCOL=1;", 29, {{5, 8}}},
      {"no protocol", "SLAVENUM=2;SID=1;STYPE=1;SID=2;STYPE=1;SPROTOCOL=1;", 29, {{1, 11}, {2, 18}}},
      {"no count", "SID=3;STYPE=1;", 29, {}},
      {"count larger than the slaves", "SLAVENUM=5;SID=3;STYPE=8;", 29, {{3, 8}}},
      {"slave without STYPE ends", "SLAVENUM=3;SID=3;STYPE=8;SID=4;SID=5;STYPE=8;", 29, {{3, 8}}},
      {"value outside 0..255 ends", "SLAVENUM=3;SID=3;STYPE=8;SID=256;STYPE=8;SID=5;STYPE=8;", 29, {{3, 8}}},
      {"not a number ends", "SLAVENUM=2;SID=x;STYPE=8;", 29, {}},
      {"unknown type is 0", "SLAVENUM=2;SID=3;STYPE=99;SID=4;STYPE=8;", 29, {{3, 0}, {4, 8}}},
      {"table full", "SLAVENUM=3;SID=1;STYPE=8;SID=2;STYPE=8;SID=3;STYPE=8;", 2, {{1, 8}, {2, 8}}},
      {"whole keys", "SLAVENUM=1;XSID=9;SID=3;STYPES=1;STYPE=8;", 29, {{3, 8}}},
      {"key without ';'", "SLAVENUM=1;SID=3;STYPE=8", 29, {{3, 8}}},
  };
  for (const Case& c : cases) {
    const auto slaves = ParsePtzSlaveList(c.reply, c.room);
    std::vector<std::pair<int, int>> got;
    for (const PtzSlave& s : slaves) got.emplace_back(s.id, s.type);
    EXPECT_EQ(got, c.slaves) << c.name;
  }
}

// ---- PTZ selection and hot-point packets ----

TEST(PtzPacketTest, SelectionAndBack) {
  EXPECT_EQ(PtzSelectPacket(1), (Bytes{0x02, 0x05, 0x06, 0x01, 0x32}));
  EXPECT_EQ(PtzSelectPacket(9), (Bytes{0x02, 0x05, 0x0E, 0x01, 0x32}));
  EXPECT_EQ(PtzSelectPacket(10), (Bytes{0x02, 0x06, 0x05, 0x01, 0x32}));
  EXPECT_EQ(PtzSelectPacket(16), (Bytes{0x02, 0x06, 0x0B, 0x01, 0x32}));
  EXPECT_TRUE(PtzSelectPacket(0).empty());
  EXPECT_TRUE(PtzSelectPacket(17).empty());
  EXPECT_EQ(PtzBackPacket(), (Bytes{0x01, 0x10, 0x01, 0x32}));
}

TEST(HotPointTest, PacketPerDeviceType) {
  EXPECT_EQ(HotPointPacket(8, 3, 60, 0x25), (Bytes{5, 0xD0, 3, 0x52, 0x25, 0, 1, 0x32}));
  for (std::uint8_t type : {11, 18, 25}) {
    const std::uint8_t sum = static_cast<std::uint8_t>(0xD0 + 3 + 60 + 0x52 + 0x25);
    EXPECT_EQ(HotPointPacket(type, 3, 60, 0x25), (Bytes{7, 0xD0, 3, 60, 0x52, 0x25, 0, sum, 1, 0x32})) << int(type);
  }
  for (std::uint8_t type : {0, 17, 19}) EXPECT_EQ(HotPointPacket(type, 3, 60, 0x25), (Bytes{0, 0, 0}));
}

TEST(HotPointTest, CellsBordersAndMarker) {
  // A 640 x 456 video rectangle at (40, 100): cells of 40 x 38.
  HotPointArea win;
  win.left = win.videoLeft = 40;
  win.top = win.videoTop = 100;
  win.right = win.videoRight = 680;
  win.bottom = win.videoBottom = 556;
  // A 704 x 574 rectangle: cells of 44 x 47; from 565 below the top on, row 11.
  HotPointArea tall = win;
  tall.right = tall.videoRight = 40 + 704;
  tall.bottom = tall.videoBottom = 100 + 574;
  // Full screen on a 1280 x 1000 client, the video rectangle as above.
  HotPointArea full = win;
  full.fullScreen = true;
  full.left = 0;
  full.top = 0;
  full.right = 1280;
  full.bottom = 1000;
  struct Case {
    const char* name;
    const HotPointArea* area;
    int x, y;
    bool accepted;
    int column, row, markerX, markerY;
  };
  const Case cases[] = {
      {"1 right of L12", &win, 41, 101, true, 0, 0, 1, 1},
      {"40 right of L12", &win, 80, 138, true, 0, 0, 40, 38},
      {"41 right of L12", &win, 81, 139, true, 1, 1, 41, 39},
      {"80 right of L12", &win, 120, 150, true, 1, 1, 80, 50},
      {"last cell", &win, 679, 555, true, 15, 11, 639, 455},
      {"left border", &win, 40, 200, false, 0, 0, 0, 0},
      {"right border", &win, 680, 200, false, 0, 0, 0, 0},
      {"top border", &win, 200, 100, false, 0, 0, 0, 0},
      {"bottom border", &win, 200, 556, false, 0, 0, 0, 0},
      {"row 11 from 565", &tall, 100, 100 + 565, true, 1, 11, 60, 565},
      {"row 11 at 573", &tall, 100, 100 + 573, true, 1, 11, 60, 573},
      {"row 11 at 564", &tall, 100, 100 + 564, true, 1, 11, 60, 564},
      {"row 10 on the eleventh boundary", &tall, 100, 100 + 517, true, 1, 10, 60, 517},
      {"full screen inside", &full, 640, 500, true, 7, 6, 320, 228},
      {"full screen 8 from the left", &full, 8, 500, false, 0, 0, 0, 0},
      {"full screen 9 from the left", &full, 9, 500, true, 0, 6, 4, 228},
      {"full screen 8 from the bottom", &full, 640, 992, false, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    const HotPointCell cell = LocateHotPoint(c.x, c.y, *c.area);
    EXPECT_EQ(cell.accepted, c.accepted) << c.name;
    if (!c.accepted) continue;
    EXPECT_EQ(cell.column, c.column) << c.name;
    EXPECT_EQ(cell.row, c.row) << c.name;
    EXPECT_EQ(cell.markerX, c.markerX) << c.name;
    EXPECT_EQ(cell.markerY, c.markerY) << c.name;
  }
}

TEST(HotPointTest, RequestParametersByModelAndDevice) {
  struct Case {
    const char* name;
    const char* model;
    bool multi;
    std::vector<std::pair<int, int>> entries;  // type, flags (video or PTZ)
    std::uint16_t currentMask;
    int currentOrdinal;
    const char* url;
  };
  const Case cases[] = {
      {"multichannel recorder", "K41R", true, {{19, CDF_VIDEO}, {18, CDF_VIDEO}}, CDF_VIDEO, 0,
       "/RS485Cmd.cgi?Control=K41R&MASTER=1&Cookie=S"},
      {"multichannel Pelco slave", "K41R", true, {{19, CDF_VIDEO}, {18, CDF_VIDEO}}, CDF_VIDEO, 1,
       "/RS485Cmd.cgi?Control=K41R&CH=0&MASTER=0&PELOCO=1&PROTOCOL=PELCO&Cookie=S"},
      {"PTZ entry", "K43R", false, {{23, CDF_VIDEO}, {11, CDF_PTZ}, {18, CDF_PTZ}}, CDF_PTZ, 1,
       "/RS485Cmd.cgi?Control=K41R&CH=1&MASTER=0&PELOCO=1&PROTOCOL=PELCO&Cookie=S"},
      {"video server, type 18", "K40R", false, {{18, CDF_VIDEO}}, CDF_VIDEO, 0,
       "/RS485Cmd.cgi?Control=K41R&CH=0&PELOCO=1&PROTOCOL=PELCO&MASTER=1&Cookie=S"},
      {"video server, type 25 has no Pelco parameters", "K47R", false, {{25, CDF_VIDEO}}, CDF_VIDEO, 0,
       "/RS485Cmd.cgi?Control=K41R&CH=0&MASTER=1&Cookie=S"},
      {"recorder, video", "K42R", false, {{22, CDF_VIDEO}}, CDF_VIDEO, 0,
       "/RS485Cmd.cgi?Control=K41R&MASTER=1&Cookie=S"},
  };
  for (const Case& c : cases) {
    CControlDeviceTable table;
    for (const auto& [type, flags] : c.entries)
      table.Add(0, 1, static_cast<std::uint8_t>(type), static_cast<std::uint16_t>(flags));
    table.MakeCurrent(c.currentMask, c.currentOrdinal);
    EXPECT_EQ(BuildHotPointRequest(table, c.model, c.multi, "S").Url(), c.url) << c.name;
  }
}

// ---- requests against the fake recorder ----

class OperatorRequestTest : public RecorderFixture {};

TEST_F(OperatorRequestTest, RequestsInTheirForms) {
  UseSession();
  recorder_.SetPtzSlaveReply("SLAVENUM=1;SID=7;STYPE=1;SPROTOCOL=1;");
  EXPECT_EQ(SendResolution(1), 1);
  EXPECT_EQ(recorder_.Resolution(), 1);
  EXPECT_EQ(SendQuality(2), 1);
  EXPECT_EQ(recorder_.Quality(), 2);
  EXPECT_EQ(SendSetChannel(5), 1);
  EXPECT_EQ(SendColorValues(10, 20, 30), 1);
  ColorValues v;
  EXPECT_EQ(GetColorValues(v), 1);
  EXPECT_EQ(v.contrast, 10);
  EXPECT_EQ(v.brightness, 20);
  EXPECT_EQ(v.hue, 30);
  EXPECT_EQ(SendRetrSwitch(1), 1);
  EXPECT_EQ(recorder_.RetrState(), 0);
  EXPECT_EQ(SendRetrSwitch(0), 1);
  EXPECT_EQ(recorder_.RetrState(), 1);
  EXPECT_EQ(SendSensorZoom(3), 1);
  EXPECT_EQ(SendSensorRotate(true, 1, 0), 1);
  EXPECT_EQ(recorder_.SensorState(), 0x83);
  EXPECT_EQ(SendSensorRotate(false, 1, 1), 1);
  EXPECT_EQ(recorder_.SensorState(), 0xC3);
  std::vector<PtzSlave> slaves;
  EXPECT_EQ(RequestPtzSlaves(&slaves, 29), 1);
  ASSERT_EQ(slaves.size(), 1u);
  EXPECT_EQ(slaves[0].type, 18);
  EXPECT_EQ(SendPtzSelection(PtzSelectPacket(10)), 1);
  ASSERT_EQ(recorder_.Rs485Bodies().size(), 1u);
  EXPECT_EQ(Hex(recorder_.Rs485Bodies()[0]), "02 06 05 01 32 ");

  std::vector<std::string> targets;
  for (const auto& r : recorder_.Requests()) targets.push_back(r.target());
  const std::string cookie = "Cookie=" + recorder_.GetIdentity().sessionId;
  const std::vector<std::string> expected = {
      "/Setresolution.cgi?" + cookie + "&RES=1",
      "/Setquality.cgi?" + cookie + "&QUA=2",
      "/SetChannel.cgi?" + cookie + "&CH=5",
      "/SetColor.cgi?" + cookie + "&CON=10&BRI=20&HUE=30",
      "/GetColor.cgi?" + cookie,
      "/SetRetr.cgi?" + cookie + "&SET=0",
      "/SetRetr.cgi?" + cookie + "&SET=1",
      "/OV9653Zoom.cgi?" + cookie + "&MODE=3",
      "/OV9653Rotate.cgi?" + cookie + "&HR=1&VR=0",
      "/OV9653Rotate.cgi?" + cookie + "&VR=1&HR=1",
      "/PTZReset.cgi?" + cookie,
      "/RS485Cmd.cgi?Control=K41R&MASTER=1&" + cookie,
  };
  EXPECT_EQ(targets, expected);
}

TEST_F(OperatorRequestTest, FailuresAnswerZero) {
  UseSession();
  const struct {
    const char* path;
    std::function<int()> send;
  } cases[] = {
      {"/Setresolution.cgi", [] { return SendResolution(0); }},
      {"/Setquality.cgi", [] { return SendQuality(0); }},
      {"/SetChannel.cgi", [] { return SendSetChannel(1); }},
      {"/GetColor.cgi", [] { ColorValues v; return GetColorValues(v); }},
      {"/SetColor.cgi", [] { return SendColorValues(1, 2, 3); }},
      {"/SetRetr.cgi", [] { return SendRetrSwitch(0); }},
      {"/OV9653Zoom.cgi", [] { return SendSensorZoom(1); }},
      {"/OV9653Rotate.cgi", [] { return SendSensorRotate(true, 1, 0); }},
      {"/PTZReset.cgi", [] { return RequestPtzSlaves(nullptr, 0); }},
      {"/RS485Cmd.cgi", [] { return SendPtzSelection(PtzBackPacket()); }},
  };
  for (const auto& c : cases) {
    recorder_.FailCommand(c.path, true);
    EXPECT_EQ(c.send(), 0) << c.path;
    recorder_.FailCommand(c.path, false);
    EXPECT_EQ(c.send(), 1) << c.path;
  }
}

TEST_F(OperatorRequestTest, RecorderChecksTheRs485Length) {
  UseSession();
  // The fake recorder refuses a body whose length is not N + 3.
  EXPECT_EQ(SendPtzSelection(Bytes{0x05, 0x01, 0x01, 0x32}), 0);
  EXPECT_TRUE(recorder_.Rs485Bodies().empty());
}

}  // namespace
