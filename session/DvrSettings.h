// The recorder's own date and record settings: the key-value replies of /GetDvrDate.cgi and
// /GetRecordSetting.cgi, and the requests that change them.
//
// Replies are read by whole keys (a key at the start or after ";", its value up to the next
// ";" or the end of the text), so "DAY" is never read out of "DAYLIGHTSAVING" nor "MANUAL" out
// of "MANUALRATETYPE". A key that is missing leaves its field as it was.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "session/CgiRequest.h"

// The reply buffer of both reads.
constexpr std::size_t kDvrSettingsReplyCapacity = 1024;

struct DvrDateValues {
  std::uint16_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  std::uint8_t format = 0;
  std::uint8_t daylightSaving = 0;
  std::uint8_t startWeekIndex = 0, startDayOfWeek = 0, startMonth = 0, startHour = 0, startMinute = 0;
  std::uint8_t endWeekIndex = 0, endDayOfWeek = 0, endMonth = 0, endHour = 0, endMinute = 0;
  std::uint8_t adjustHour = 0, adjustMinute = 0;
};

struct RecordSettingValues {
  std::uint8_t manual = 0, event = 0, timer = 0, videoType = 0, recMode = 0;
  std::uint8_t manualRateType = 0, motionRateType = 0, timerRateType = 0;
  std::uint8_t overwrite = 0, quality = 0, recordFix = 0, supportMode = 0, supportIpsShare = 0;
};

// The 20 keys of the date reply, in reply order.
extern const char* const kDvrDateKeys[20];
// The 13 keys of the record-setting reply, in reply order.
extern const char* const kRecordSettingKeys[13];

// Reads the keys found in `reply` into `out` (each value cut to its field's width).
void ParseDvrDateReply(std::string_view reply, DvrDateValues& out);
void ParseRecordSettingReply(std::string_view reply, RecordSettingValues& out);

// Sends the read request (with the session identifier when there is one) and parses the
// reply. False when the exchange failed; `out` is then unchanged.
bool ReadDvrDate(DvrDateValues& out);
bool ReadRecordSetting(RecordSettingValues& out);

// What /SetDvrDate.cgi carries: every value, and four flags naming the groups that changed.
struct DvrDateWrite {
  DvrDateValues values;  // the clock and the hours and minutes of the rule
  int dayOfWeek = 0;     // of the date sent, 0 Sunday
  int format = 0;
  int daylightSwitch = 0;
  int startWeekIndex = 0, startDayOfWeek = 0, startMonth = 0;
  int endWeekIndex = 0, endDayOfWeek = 0, endMonth = 0;
  int chDate = 0, chFormat = 0, chDaylight = 0, chDaylightTime = 0;
  bool AnyChange() const { return chDate || chFormat || chDaylight || chDaylightTime; }
};
CCgiRequest BuildSetDvrDateRequest(const DvrDateWrite& w, const std::string& sessionId);
// Sends it; false when the exchange failed.
bool WriteDvrDate(const DvrDateWrite& w);

// /SetRecordSetting.cgi: each setting as chosen goes with its change flag, and its value
// only when it differs from the one read; the sharing choice (RECORDFIX) always goes.
CCgiRequest BuildSetRecordSettingRequest(const RecordSettingValues& read, const RecordSettingValues& chosen,
                                         const std::string& sessionId);
bool WriteRecordSetting(const RecordSettingValues& read, const RecordSettingValues& chosen);

// The picture rates offered per channel class (0: 16 channels, 1: 8, 2: any other count),
// video type (0, 1), record image size (0 frame, 1 field, 2 CIF) and choice (0..3).
extern const std::uint16_t IpsChoiceTable[3][2][3][4];
int IpsChannelClass(int channelCount);
// The four rates of one row; false (nothing written) for a video type above 1 or a size above 2.
bool IpsChoices(int channelClass, int videoType, int recMode, std::uint16_t (&out)[4]);
