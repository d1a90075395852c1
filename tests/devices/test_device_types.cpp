#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>

#include "session/DeviceTypes.h"

namespace {

const char* const kNames[kDeviceTypeCount] = {
    "CAMERA", "1CH DVR", "4CH DVR (FULL)", "4CH DVR (BASIC)", "4CH DMR", "9CH DMR", "16CH DMR",
    "4CH DQR", "PTZ", "4CH MEPG2 DVR", "4CH NETWORK DVR", "PTZ SLAVE", "4CH NETWORK DVR (BASIC)",
    "9CH NETWORK DMR", "16CH NETWORK DMR", "4CH NETWORK MEPG2 DVR", "K48R", "PTZ SLAVE BASIC",
    "PTZ PELCO", "RVX 507 DVR", "8CH NETWORK DMR", "4CH NETWORK DMR", "RVX 505 DVR", "RVX 503 DVR",
    "16CH NETWORK DVR", "PTZ PELCO D"};

bool Overlap(const DeviceRect& a, const DeviceRect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

TEST(DeviceTypes, NamesKindsAndIndexes) {
  for (int t = 0; t < kDeviceTypeCount; ++t) {
    const DeviceTypeEntry& e = DeviceTypeTable[t];
    EXPECT_STREQ(e.pszName, kNames[t]) << t;
    EXPECT_EQ(e.dwIndex, static_cast<std::uint32_t>(t));
    const bool basic = t <= 9 || t == 15 || t == 16;
    EXPECT_EQ((e.dwKind & DTK_BASIC) != 0, basic) << t;
    EXPECT_EQ((e.dwKind & DTK_PANEL) != 0, t == 0) << t;
    EXPECT_EQ(e.pCtrlRecord, nullptr);
    for (int k = 0; k < kPanelKeyCount; ++k) EXPECT_EQ(e.Rows[k].dwIndex, static_cast<std::uint32_t>(k));
  }
}

TEST(DeviceTypes, RowFlagInvariants) {
  for (int t = 0; t < kDeviceTypeCount; ++t) {
    int shown = 0;
    for (int k = 0; k < kPanelKeyCount; ++k) {
      const SkinButtonRow& row = DeviceTypeTable[t].Rows[k];
      // Hidden rows carry nothing; shown rows are enabled and visible together.
      if (row.wFlags != 0) {
        EXPECT_EQ(row.wFlags & 3, 3) << "type " << t << " key " << k;
        ++shown;
      }
      EXPECT_EQ(row.wFlags & SBF_UNAVAILABLE, 0);
    }
    if (t == 0)
      EXPECT_EQ(shown, 0);
    else
      EXPECT_NE(DeviceTypeTable[t].Rows[PK_TURBO].wFlags & SBF_VISIBLE, 0) << "TURBO missing in type " << t;
  }
}

// The rows whose flag word is not the plain "shown" / "shown and reloaded" value.
TEST(DeviceTypes, SpecialFlagRows) {
  struct Case {
    int type, key;
    std::uint16_t flags;
  };
  const Case cases[] = {
      {1, 59, 0x10b},  {15, 44, 0x47},  {15, 60, 0x103}, {15, 61, 0x23}, {16, 44, 0x47},
      {16, 60, 0x103}, {11, 60, 0x10b}, {17, 60, 0x10b}, {18, 24, 0x203}, {18, 67, 0x8b},
      {25, 24, 0x203}, {25, 67, 0x8b},  {14, 59, 0x7},   {19, 61, 0x7},  {22, 61, 0x7},
      {23, 61, 0x7},   {23, 59, 0x10b}, {2, 42, 0x7},    {2, 0, 0x3},    {14, 25, 0x7},
  };
  for (const Case& c : cases)
    EXPECT_EQ(DeviceTypeTable[c.type].Rows[c.key].wFlags, c.flags) << "type " << c.type << " key " << c.key;
  // LOCK is offered to levels 30 and 20 only in types 15 and 16; R.E.T.R. to the supervisor in 15.
  EXPECT_NE(DeviceTypeTable[15].Rows[PK_LOCK].wFlags & SBF_ACCESSLEVEL, 0);
  EXPECT_EQ(DeviceTypeTable[2].Rows[PK_LOCK].wFlags & SBF_ACCESSLEVEL, 0);
  EXPECT_NE(DeviceTypeTable[15].Rows[PK_ALARM].wFlags & SBF_ADMINONLY, 0);
  EXPECT_EQ(DeviceTypeTable[19].Rows[PK_ALARM].wFlags & SBF_ADMINONLY, 0);
  // AUTO of the Pelco heads goes out without the Pelco parameters; nowhere else.
  for (int t = 0; t < kDeviceTypeCount; ++t)
    for (int k = 0; k < kPanelKeyCount; ++k)
      EXPECT_EQ((DeviceTypeTable[t].Rows[k].wFlags & SBF_NOPELCO) != 0, (t == 18 || t == 25) && k == PK_AUTO);
}

TEST(DeviceTypes, ControlAndTooltipIds) {
  for (int t = 0; t < kDeviceTypeCount; ++t) {
    const bool eight = t == 20 || t == 22;
    EXPECT_EQ(DeviceTypeTable[t].Rows[PK_16CUT].wCtrlId, eight ? 8573 : 8273) << t;
    EXPECT_EQ(DeviceTypeTable[t].Rows[PK_16CUT].wTipId, eight ? 8573 : 8273) << t;
    const bool ptz = t == 8 || t == 11 || t == 17 || t == 18 || t == 25;
    for (int k = 0; k < 16; ++k) {
      EXPECT_EQ(DeviceTypeTable[t].Rows[k].wCtrlId, 8250 + k);
      EXPECT_EQ(DeviceTypeTable[t].Rows[k].wTipId, ptz ? 8333 + k : 8250 + k) << t << "/" << k;
    }
    const bool pelco = t == 18 || t == 25;
    EXPECT_EQ(DeviceTypeTable[t].Rows[PK_ACTION_PRESET].byStyle, pelco ? KEY_STYLE_TOGGLE : KEY_STYLE_PUSH);
  }
  // Control ids are unique within a type (the 16/8 CUT pair shares a handler, not an id).
  for (int t = 0; t < kDeviceTypeCount; ++t) {
    std::set<int> ids;
    for (const auto& row : DeviceTypeTable[t].Rows) EXPECT_TRUE(ids.insert(row.wCtrlId).second) << row.wCtrlId;
  }
}

TEST(DeviceTypes, PicturesByStyle) {
  for (int t = 0; t < kDeviceTypeCount; ++t) {
    for (const auto& row : DeviceTypeTable[t].Rows) {
      if (row.byStyle == KEY_STYLE_PUSH) {
        for (const char* p : row.pszBitmap) ASSERT_NE(p, nullptr);
      } else {
        ASSERT_EQ(row.byStyle, KEY_STYLE_TOGGLE);
        for (int i : {0, 1, 2, 3}) {
          ASSERT_NE(row.pszBitmap[i], nullptr);
          EXPECT_STREQ(row.pszBitmap[i], row.pszBitmap[i + 6]);
        }
        for (int i : {4, 5, 10, 11}) EXPECT_EQ(row.pszBitmap[i], nullptr);
      }
      for (const char* p : row.pszBitmap)
        if (p) {
          EXPECT_EQ(std::strncmp(p, "BMP\\", 4), 0) << p;
        }
    }
  }
  EXPECT_STREQ(KeyPicture(2, 0, 0, 0), "BMP\\ch1.bmp");
  EXPECT_STREQ(KeyPicture(2, 0, 0, 1), "BMP\\ch1_a.bmp");
  EXPECT_STREQ(KeyPicture(2, 47, 0, 0), "BMP\\VGA_stop.bmp");
  EXPECT_STREQ(KeyPicture(2, 47, 1, 0), "BMP\\QVGA_stop.bmp");
  EXPECT_STREQ(KeyPicture(2, 54, 0, 0), "BMP\\N_VGA_LEFT.bmp");
  EXPECT_STREQ(KeyPicture(2, 54, 3, 0), "BMP\\P_QVGA_LEFT.bmp");
  EXPECT_STREQ(KeyPicture(2, 46, 0, 1), "BMP\\control_panel_enter_down.bmp");
  EXPECT_STREQ(KeyPicture(2, 59, 0, 0), "BMP\\tubro_close.bmp");
  EXPECT_STREQ(KeyPicture(2, 59, 0, 2), "BMP\\tubro.bmp");
  EXPECT_STREQ(KeyPicture(18, 67, 0, 0), "BMP\\ptz_action.bmp");
  EXPECT_STREQ(KeyPicture(18, 67, 0, 2), "BMP\\ptz_preset.bmp");
  EXPECT_STREQ(KeyPicture(2, 67, 0, 0), "BMP\\sequence.bmp");
  EXPECT_EQ(KeyPicture(2, 0, 0, 3), nullptr);
  EXPECT_EQ(KeyPicture(26, 0, 0, 0), nullptr);
  EXPECT_EQ(KeyPicture(0, 68, 0, 0), nullptr);
}

TEST(DeviceTypes, TellingRectanglesOfType2) {
  struct Case {
    int key;
    DeviceRect m0, m1;
  };
  const Case cases[] = {
      {0, {8, 568, 26, 586}, {9, 328, 27, 346}},
      {3, {65, 568, 83, 586}, {66, 328, 84, 346}},
      {34, {84, 568, 118, 586}, {9, 349, 43, 367}},
      {35, {119, 568, 153, 586}, {44, 349, 78, 367}},
      {54, {580, 600, 601, 623}, {262, 379, 283, 402}},
      {55, {610, 577, 631, 595}, {292, 356, 313, 374}},
      {56, {610, 600, 631, 623}, {292, 379, 313, 402}},
      {57, {610, 627, 631, 645}, {292, 406, 313, 424}},
      {58, {639, 600, 657, 623}, {321, 379, 338, 402}},
      {46, {578, 578, 592, 592}, {260, 357, 274, 371}},
      {59, {649, 578, 663, 592}, {331, 357, 345, 371}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(KeyRect(2, c.key, 0), c.m0) << c.key;
    EXPECT_EQ(KeyRect(2, c.key, 1), c.m1) << c.key;
  }
  const int lefts0[] = {45, 84, 123, 162, 201, 240}, lefts1[] = {9, 48, 87, 126, 165, 204};
  const int transport[] = {47, 49, 50, 51, 52, 53};
  for (int i = 0; i < 6; ++i) {
    const DeviceRect r0 = KeyRect(2, transport[i], 0), r1 = KeyRect(2, transport[i], 1);
    EXPECT_EQ(r0.left, lefts0[i]);
    EXPECT_EQ(r0.top, 602);
    EXPECT_EQ(r0.Width(), 26);
    EXPECT_EQ(r1.left, lefts1[i]);
    EXPECT_EQ(r1.top, 401);
  }
  EXPECT_EQ(KeyRect(19, 60, 0), (DeviceRect{578, 629, 592, 643}));
  EXPECT_EQ(KeyRect(19, 61, 1), (DeviceRect{313, 441, 348, 455}));
}

TEST(DeviceTypes, LayoutModesAndPalShift) {
  for (int t = 0; t < kDeviceTypeCount; ++t) {
    for (int k = 0; k < kPanelKeyCount; ++k) {
      const DeviceRect m0 = KeyRect(t, k, 0), m1 = KeyRect(t, k, 1);
      EXPECT_EQ(KeyRect(t, k, 2), (DeviceRect{m0.left, m0.top + 96, m0.right, m0.bottom + 96}));
      EXPECT_EQ(KeyRect(t, k, 3), (DeviceRect{m1.left, m1.top + 48, m1.right, m1.bottom + 48}));
      for (int mode : {6, 12}) EXPECT_EQ(KeyRect(t, k, mode), m0);
      EXPECT_EQ(KeyRect(t, k, 9), KeyRect(t, k, 3));
      EXPECT_EQ(KeyRect(t, k, 4), m0);  // never a settled mode: read as mode 0
    }
  }
  EXPECT_EQ(KeyRect(-1, 0, 0), DeviceRect{});
}

// Keys a type shows never cover each other, in any layout mode.
TEST(DeviceTypes, ShownKeysDoNotOverlap) {
  for (int t = 0; t < kDeviceTypeCount; ++t)
    for (int mode = 0; mode < kKeyLayoutModes; ++mode)
      for (int a = 0; a < kPanelKeyCount; ++a)
        for (int b = a + 1; b < kPanelKeyCount; ++b) {
          if (!(DeviceTypeTable[t].Rows[a].wFlags & SBF_VISIBLE) || !(DeviceTypeTable[t].Rows[b].wFlags & SBF_VISIBLE))
            continue;
          EXPECT_FALSE(Overlap(KeyRect(t, a, mode), KeyRect(t, b, mode)))
              << "type " << t << " mode " << mode << " keys " << a << ", " << b;
        }
}

// A picture file is drawn at one size wherever a shown key uses it, so the skin generator
// can make each file at the size of its button.
TEST(DeviceTypes, EachPictureHasOneSize) {
  std::map<std::string, std::pair<int, int>> sizes;
  for (int t = 0; t < kDeviceTypeCount; ++t)
    for (int k = 0; k < kPanelKeyCount; ++k) {
      const SkinButtonRow& row = DeviceTypeTable[t].Rows[k];
      if (!(row.wFlags & SBF_VISIBLE)) continue;
      for (int mode = 0; mode < kKeyLayoutModes; ++mode)
        for (int slot = 0; slot < (row.byStyle == KEY_STYLE_PUSH ? 3 : 4); ++slot) {
          const DeviceRect r = KeyRect(t, k, mode);
          const auto size = std::make_pair(r.Width(), r.Height());
          const auto [it, fresh] = sizes.emplace(KeyPicture(t, k, mode, slot), size);
          EXPECT_EQ(it->second, size) << it->first << " (type " << t << " key " << k << " mode " << mode << ")";
        }
    }
}

TEST(DeviceTypes, SectionsAndTooltips) {
  EXPECT_STREQ(PanelKeySection(0), "[CH1]");
  EXPECT_STREQ(PanelKeySection(15), "[CH16]");
  EXPECT_STREQ(PanelKeySection(56), "[JOYSTICK_MENU]");
  EXPECT_STREQ(PanelKeySection(66), "[SEQUENCE]");
  EXPECT_EQ(PanelKeySection(67), nullptr);
  EXPECT_EQ(PanelKeySection(-1), nullptr);

  SkinButtonRow row;
  row.wFlags = SBF_TIPFIRST | 3;
  EXPECT_EQ(KeyTooltip(row, "TURBO_ON$TURBO_OFF"), "TURBO_ON");
  row.wFlags = SBF_TIPSECOND | 3;
  EXPECT_EQ(KeyTooltip(row, "TURBO_ON$TURBO_OFF"), "TURBO_OFF");
  EXPECT_EQ(KeyTooltip(row, "no dollar"), "no dollar");
  row.wFlags = 3;
  EXPECT_EQ(KeyTooltip(row, "TURBO_ON$TURBO_OFF"), "TURBO_ON$TURBO_OFF");
}

TEST(DeviceTypes, K41KeyRulesLastUntilReset) {
  ApplyK41KeyRules(true, false);
  for (int t : {14, 19, 20, 21, 22, 23}) EXPECT_EQ(DeviceTypeTable[t].Rows[PK_ESC].wFlags, 0) << t;
  EXPECT_NE(DeviceTypeTable[11].Rows[PK_PTZ].wFlags, 0);
  ApplyK41KeyRules(false, true);
  for (int t : {11, 17, 18, 25}) EXPECT_EQ(DeviceTypeTable[t].Rows[PK_PTZ].wFlags, 0) << t;
  EXPECT_EQ(DeviceTypeTable[19].Rows[PK_ESC].wFlags, 0);  // still off
  EXPECT_NE(DeviceTypeTable[15].Rows[PK_PTZ].wFlags, 0);  // other types untouched
  ResetDeviceTypeTable();
  EXPECT_NE(DeviceTypeTable[19].Rows[PK_ESC].wFlags, 0);
  EXPECT_NE(DeviceTypeTable[11].Rows[PK_PTZ].wFlags, 0);
}

}  // namespace
