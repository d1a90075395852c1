#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "devices_fixture.h"
#include "session/ControlDeviceTable.h"

namespace {

// A recorder, two control devices and two more video devices:
//   index 0 video (recorder, id 0, type 19), 1 ptz (id 7, type 18), 2 video (id 3, type 2),
//   3 ptz (id 9, type 25), 4 video (id 4, type 5)
void Fill(CControlDeviceTable& t) {
  t.Add(0, 0, 19, CDF_VIDEO);
  t.Add(2400, 7, 18, CDF_PTZ);
  t.Add(2400, 3, 2, CDF_VIDEO);
  t.Add(2400, 9, 25, CDF_PTZ);
  t.Add(2400, 4, 5, CDF_VIDEO);
}

TEST(ControlDeviceTable, EmptyTableReportsTheCamera) {
  CControlDeviceTable t;
  EXPECT_EQ(t.GetCurrentType(), 0);
  EXPECT_EQ(t.GetCurrentId(), 0);
  EXPECT_EQ(t.IsCurrentVideo(), 0);
  EXPECT_EQ(t.FindSpecialType(), 0);
  EXPECT_EQ(t.MakeCurrent(CDF_VIDEO, 0), -1);
  EXPECT_EQ(t.GetNthPtzType(0), 0);
}

TEST(ControlDeviceTable, AddStopsAtThirty) {
  CControlDeviceTable t;
  for (int i = 0; i < kControlDeviceMax; ++i) EXPECT_EQ(t.Add(2400, static_cast<std::uint8_t>(i), 1, CDF_VIDEO), 0);
  EXPECT_EQ(t.Add(2400, 99, 1, CDF_VIDEO), -1);
  EXPECT_EQ(t.GetEntryCount(), kControlDeviceMax);
  const ControlDeviceEntry last = t.GetEntry(kControlDeviceMax - 1);
  EXPECT_EQ(last.byId, 29);
  EXPECT_EQ(last.wFlags, CDF_VIDEO | CDF_INUSE);
  EXPECT_EQ(last.dwBaud, 2400);
  EXPECT_EQ(t.GetCurrentIndex(), 0);  // adding never moves the current entry
}

TEST(ControlDeviceTable, MakeCurrentByKindAndOrdinal) {
  struct Case {
    std::uint16_t mask;
    int n;
    int result;
    int index;
  };
  const Case cases[] = {
      {CDF_VIDEO, 0, 0, 0}, {CDF_VIDEO, 1, 0, 2}, {CDF_VIDEO, 2, 0, 4}, {CDF_VIDEO, 3, -1, -1},
      {CDF_PTZ, 0, 0, 1},   {CDF_PTZ, 1, 0, 3},   {CDF_PTZ, 2, -1, -1}, {CDF_VIDEO | CDF_PTZ, 3, 0, 3},
      {CDF_VIDEO, -1, -1, -1},
  };
  for (const Case& c : cases) {
    CControlDeviceTable t;
    Fill(t);
    ASSERT_EQ(t.MakeCurrent(CDF_VIDEO, 1), 0);  // start from index 2
    EXPECT_EQ(t.MakeCurrent(c.mask, c.n), c.result) << c.mask << "/" << c.n;
    if (c.result < 0) {
      EXPECT_EQ(t.GetCurrentIndex(), 2);
      continue;
    }
    EXPECT_EQ(t.GetCurrentIndex(), c.index);
    if (c.index != 2) {
      EXPECT_EQ(t.GetPreviousIndex(), 2);
    }
  }
}

TEST(ControlDeviceTable, FirstVideoBehindAControlDevice) {
  CControlDeviceTable t;
  t.Add(2400, 5, 11, CDF_PTZ);
  t.Add(0, 0, 22, CDF_VIDEO);
  ASSERT_EQ(t.MakeCurrent(CDF_VIDEO, 0), 0);
  EXPECT_EQ(t.GetCurrentIndex(), 1);
  EXPECT_EQ(t.GetCurrentType(), 22);
}

TEST(ControlDeviceTable, VideoAndPtzEntriesFollowTheirKind) {
  CControlDeviceTable t;
  Fill(t);
  t.MakeCurrent(CDF_VIDEO, 1);  // id 3
  t.MakeCurrent(CDF_PTZ, 1);    // id 9
  EXPECT_EQ(t.GetVideoDeviceId(), 3);
  EXPECT_EQ(t.GetVideoDeviceType(), 2);
  EXPECT_EQ(t.GetPtzDeviceId(), 9);
  EXPECT_EQ(t.GetPtzDeviceType(), 25);
  EXPECT_EQ(t.GetCurrentId(), 9);
  EXPECT_EQ(t.IsCurrentVideo(), 0);
  EXPECT_EQ(t.GetPreviousId(), 3);
  EXPECT_EQ(t.GetPreviousType(), 2);
  EXPECT_EQ(t.GetNthPtzType(0), 18);
  EXPECT_EQ(t.GetNthVideoType(2), 5);
  EXPECT_EQ(t.GetNthVideoType(3), 0);
}

TEST(ControlDeviceTable, CurrentOrdinalCountsItsOwnKind) {
  CControlDeviceTable t;
  Fill(t);
  t.Add(2400, 11, 17, CDF_PTZ);
  struct Case {
    std::uint16_t mask;
    int n;
    int ordinal;
  };
  for (const Case& c : {Case{CDF_VIDEO, 0, 0}, Case{CDF_VIDEO, 2, 2}, Case{CDF_PTZ, 0, 0}, Case{CDF_PTZ, 2, 2}}) {
    ASSERT_EQ(t.MakeCurrent(c.mask, c.n), 0);
    EXPECT_EQ(t.GetCurrentOrdinal(), c.ordinal);
  }
}

TEST(ControlDeviceTable, CompactKeepsVideoEntries) {
  {
    CControlDeviceTable t;
    Fill(t);
    t.MakeCurrent(CDF_VIDEO, 2);  // index 4, third video entry
    t.Compact();
    EXPECT_EQ(t.GetEntryCount(), 3);
    EXPECT_EQ(t.GetCurrentIndex(), 2);
    EXPECT_EQ(t.GetVideoIndex(), 2);
    EXPECT_EQ(t.GetPreviousIndex(), 0);
    EXPECT_EQ(t.GetPtzIndex(), 0);
    EXPECT_EQ(t.GetCurrentId(), 4);
    const int ids[] = {0, 3, 4};
    for (int i = 0; i < 3; ++i) EXPECT_EQ(t.GetEntry(i).byId, ids[i]);
    for (int i = 3; i < kControlDeviceMax; ++i) EXPECT_EQ(t.GetEntry(i).wFlags, 0);
    EXPECT_EQ(t.Add(2400, 8, 11, CDF_PTZ), 0);  // re-adding continues behind them
    EXPECT_EQ(t.GetEntry(3).byId, 8);
  }
  {
    CControlDeviceTable t;
    Fill(t);
    t.MakeCurrent(CDF_PTZ, 1);
    t.Compact();
    EXPECT_EQ(t.GetCurrentIndex(), 0);
    EXPECT_EQ(t.GetVideoIndex(), 0);
    EXPECT_EQ(t.GetCurrentType(), 19);
  }
}

TEST(ControlDeviceTable, SpecialTypesAreRecorderVideoEntries) {
  struct Case {
    std::uint8_t type;
    std::uint16_t flags;
    int special;
  };
  const Case cases[] = {{19, CDF_VIDEO, 1}, {22, CDF_VIDEO, 1}, {23, CDF_VIDEO, 1},
                        {23, CDF_PTZ, 0},   {18, CDF_VIDEO, 0}, {0, CDF_VIDEO, 0}};
  for (const Case& c : cases) {
    CControlDeviceTable t;
    t.Add(2400, 1, 2, CDF_VIDEO);
    t.Add(2400, 2, c.type, c.flags);
    EXPECT_EQ(t.FindSpecialType(), c.special) << int(c.type);
    t.Reset();
    EXPECT_EQ(t.FindSpecialType(), 0);
  }
}

TEST(ControlDeviceTable, SetNthPtzEntry) {
  CControlDeviceTable t;
  Fill(t);
  EXPECT_EQ(t.SetNthPtzEntry(1, 11, 42), 1);
  EXPECT_EQ(t.GetEntry(3).byType, 11);
  EXPECT_EQ(t.GetEntry(3).byId, 42);
  EXPECT_EQ(t.SetNthPtzEntry(5, 11, 42), 1);  // none: nothing changes
  EXPECT_EQ(t.GetEntry(4).byType, 5);
}

class RetrRecorder : public IRetrStateSink {
 public:
  std::uint8_t GetRetrAlarmRecord() override { return retrAlarmRecord; }
  void SetAlarmTriggerRecord(std::uint8_t v) override { trigger = v; }
  void ShowRetrKey(int image, const char* tip) override { faces.push_back(std::to_string(image) + ":" + tip); }
  std::uint8_t retrAlarmRecord = 1;
  int trigger = -1;
  std::vector<std::string> faces;
};

TEST(ControlDeviceTable, RetrStateDrivesSwitchAndKey) {
  CControlDeviceTable t;
  RetrRecorder sink;
  t.SetRetrSink(&sink);
  struct Step {
    std::uint8_t state;
    int trigger;
    std::vector<std::string> faces;
  };
  const Step steps[] = {
      {0, 0, {}},                            // no change from the start state
      {1, 1, {"1:R.E.T.R.(Enable)"}},        // the switch follows the new state at once
      {1, 1, {"1:R.E.T.R.(Enable)"}},        // same state: the key keeps its face
      {0, 0, {"1:R.E.T.R.(Enable)", "0:R.E.T.R.(Disable)"}},
  };
  for (const Step& s : steps) {
    EXPECT_EQ(t.SetRetrState(s.state), 1);
    EXPECT_EQ(t.GetRetrState(), s.state);
    EXPECT_EQ(sink.trigger, s.trigger) << int(s.state);
    EXPECT_EQ(sink.faces, s.faces);
  }
  sink.retrAlarmRecord = 0;
  t.SetRetrState(1);
  EXPECT_EQ(sink.trigger, 0);  // the settings' switch keeps the trigger off
  t.Reset();
  EXPECT_EQ(t.GetRetrState(), 0);
}

class RetrOnRecord : public RecordFixture {};

TEST_F(RetrOnRecord, DefaultRouteWritesTheSettings) {
  app_->CSettingINI.m_byRetrAlarmRecord = 1;
  app_->C_ControlD.SetRetrState(1);
  EXPECT_EQ(app_->CSettingINI.m_byAlarmTriggerRecord.load(), 1);
  app_->C_ControlD.SetRetrState(0);
  EXPECT_EQ(app_->CSettingINI.m_byAlarmTriggerRecord.load(), 0);
}

// The header parser, the login thread and the user interface use the table at once.
TEST(ControlDeviceTable, ConcurrentUse) {
  CControlDeviceTable t;
  RetrRecorder sink;
  t.SetRetrSink(&sink);
  std::thread writer([&t] {
    for (int i = 0; i < 2000; ++i) {
      t.Reset();
      Fill(t);
      t.MakeCurrent(CDF_VIDEO, i % 3);
    }
  });
  std::thread reader([&t] {
    for (int i = 0; i < 2000; ++i) {
      (void)t.GetCurrentOrdinal();
      (void)t.FindSpecialType();
      t.SetRetrState(static_cast<std::uint8_t>(i & 1));
    }
  });
  writer.join();
  reader.join();
  EXPECT_LE(t.GetEntryCount(), 5);
}

}  // namespace
