#include "session/DvrSettings.h"

#include <cstring>

#include "session/CgiRequest.h"
#include "session/Command.h"
#include "session/Login.h"
#include "session/SessionRecord.h"

const char* const kDvrDateKeys[20] = {"YEAR",           "MONTH",          "DAY",          "HOUR",         "MINUTE",
                                      "SECOND",         "FORMAT",         "DAYLIGHTSAVING", "STARTWEEKINDEX",
                                      "STARTDAYOFWEEK", "STARTMONTH",     "STARTHOUR",    "STARTMINUTE",
                                      "ENDWEEKINDEX",   "ENDDAYOFWEEK",   "ENDMONTH",     "ENDHOUR",
                                      "ENDMINUTE",      "ADJUSTHOUR",     "ADJUSTMINUTE"};

const char* const kRecordSettingKeys[13] = {"MANUAL",         "EVENT",         "TIMER",    "VIDEOTYPE",
                                            "RECMODE",        "MANUALRATETYPE", "MOTIONRATETYPE",
                                            "TIMERRATETYPE",  "OVERWRITE",     "QUALITY",  "RECORDFIX",
                                            "SUPPORTMODE",    "SUPPORTIPSSHARE"};

namespace {

// The value of a whole key, when the reply has it.
bool KeyValue(std::string_view reply, const char* key, std::int32_t& value) {
  std::string text;
  if (!FindReplyValue(reply, key, false, 0, text)) return false;
  value = ReplyDecimal(text);
  return true;
}

template <class T>
void Take(std::string_view reply, const char* key, T& field) {
  std::int32_t v = 0;
  if (KeyValue(reply, key, v)) field = static_cast<T>(static_cast<std::uint32_t>(v));
}

bool ReadReply(std::uint8_t command, std::string& text) {
  CCgiRequest request(command);
  request.AddCookie(GetSessionId());
  std::uint8_t buffer[kDvrSettingsReplyCapacity];
  std::memset(buffer, 0, sizeof buffer);
  plat::DWORD length = 0;
  if (!ZududSendCommand(request, nullptr, 0, nullptr, buffer, sizeof buffer, &length, 15, 15)) return false;
  text.assign(ReplyText(buffer, sizeof buffer));
  return true;
}

}  // namespace

void ParseDvrDateReply(std::string_view reply, DvrDateValues& o) {
  const char* const* k = kDvrDateKeys;
  Take(reply, k[0], o.year);
  Take(reply, k[1], o.month);
  Take(reply, k[2], o.day);
  Take(reply, k[3], o.hour);
  Take(reply, k[4], o.minute);
  Take(reply, k[5], o.second);
  Take(reply, k[6], o.format);
  Take(reply, k[7], o.daylightSaving);
  Take(reply, k[8], o.startWeekIndex);
  Take(reply, k[9], o.startDayOfWeek);
  Take(reply, k[10], o.startMonth);
  Take(reply, k[11], o.startHour);
  Take(reply, k[12], o.startMinute);
  Take(reply, k[13], o.endWeekIndex);
  Take(reply, k[14], o.endDayOfWeek);
  Take(reply, k[15], o.endMonth);
  Take(reply, k[16], o.endHour);
  Take(reply, k[17], o.endMinute);
  Take(reply, k[18], o.adjustHour);
  Take(reply, k[19], o.adjustMinute);
}

void ParseRecordSettingReply(std::string_view reply, RecordSettingValues& o) {
  const char* const* k = kRecordSettingKeys;
  Take(reply, k[0], o.manual);
  Take(reply, k[1], o.event);
  Take(reply, k[2], o.timer);
  Take(reply, k[3], o.videoType);
  Take(reply, k[4], o.recMode);
  Take(reply, k[5], o.manualRateType);
  Take(reply, k[6], o.motionRateType);
  Take(reply, k[7], o.timerRateType);
  Take(reply, k[8], o.overwrite);
  Take(reply, k[9], o.quality);
  Take(reply, k[10], o.recordFix);
  Take(reply, k[11], o.supportMode);
  Take(reply, k[12], o.supportIpsShare);
}

bool ReadDvrDate(DvrDateValues& out) {
  std::string text;
  if (!ReadReply(CGI_GETDVRDATE, text)) return false;
  ParseDvrDateReply(text, out);
  return true;
}

bool ReadRecordSetting(RecordSettingValues& out) {
  std::string text;
  if (!ReadReply(CGI_GETRECORDSETTING, text)) return false;
  ParseRecordSettingReply(text, out);
  return true;
}

CCgiRequest BuildSetDvrDateRequest(const DvrDateWrite& w, const std::string& sessionId) {
  const DvrDateValues& v = w.values;
  CCgiRequest r(CGI_SETDVRDATE);
  r.AddCookie(sessionId);
  r.AddParamInt("YEAR", v.year);
  r.AddParamInt("MONTH", v.month);
  r.AddParamInt("DAY", v.day);
  r.AddParamInt("DAYOFWEEK", w.dayOfWeek);
  r.AddParamInt("HOUR", v.hour);
  r.AddParamInt("MINUTE", v.minute);
  r.AddParamInt("SECOND", v.second);
  r.AddParamInt("FORMAT", w.format);
  r.AddParamInt("DAYLIGHTSAVING", w.daylightSwitch);
  r.AddParamInt("CHDATE", w.chDate);
  r.AddParamInt("CHFORMAT", w.chFormat);
  r.AddParamInt("CHDAYLIGHT", w.chDaylight);
  r.AddParamInt("CHDAYLIGHTTIME", w.chDaylightTime);
  r.AddParamInt("STARTWEEKINDEX", w.startWeekIndex);
  r.AddParamInt("STARTDAYOFWEEK", w.startDayOfWeek);
  r.AddParamInt("STARTMONTH", w.startMonth);
  r.AddParamInt("STARTHOUR", v.startHour);
  r.AddParamInt("STARTMINUTE", v.startMinute);
  r.AddParamInt("ENDWEEKINDEX", w.endWeekIndex);
  r.AddParamInt("ENDDAYOFWEEK", w.endDayOfWeek);
  r.AddParamInt("ENDMONTH", w.endMonth);
  r.AddParamInt("ENDHOUR", v.endHour);
  r.AddParamInt("ENDMINUTE", v.endMinute);
  r.AddParamInt("ADJUSTHOUR", v.adjustHour);
  r.AddParamInt("ADJUSTMINUTE", v.adjustMinute);
  return r;
}

bool WriteDvrDate(const DvrDateWrite& w) {
  const CCgiRequest r = BuildSetDvrDateRequest(w, GetSessionId());
  return ZududSendCommand(r, nullptr, 0, nullptr, nullptr, 0, nullptr, 15, 15) != 0;
}

CCgiRequest BuildSetRecordSettingRequest(const RecordSettingValues& read, const RecordSettingValues& chosen,
                                         const std::string& sessionId) {
  CCgiRequest r(CGI_SETRECORDSETTING);
  r.AddCookie(sessionId);
  auto item = [&r](const char* flag, const char* name, int value, int old) {
    const bool changed = value != old;
    r.AddParamInt(flag, changed ? 1 : 0);
    if (changed) r.AddParamInt(name, value);
  };
  item("CHMANUALREC", "MANUAL", chosen.manual, read.manual);
  item("CHEVENTREC", "EVENT", chosen.event, read.event);
  item("CHTIMERREC", "TIMER", chosen.timer, read.timer);
  item("CHOV", "OVERWRITE", chosen.overwrite, read.overwrite);
  item("CHQT", "QUALITY", chosen.quality, read.quality);
  item("CHRECMODE", "RECMODE", chosen.recMode, read.recMode);
  item("CHMOTIONRATE", "MOTIONRATETYPE", chosen.motionRateType, read.motionRateType);
  item("CHMANUALRATE", "MANUALRATETYPE", chosen.manualRateType, read.manualRateType);
  item("CHTIMERRATE", "TIMERRATETYPE", chosen.timerRateType, read.timerRateType);
  r.AddParamInt("CHIPSSHARE", 1);
  r.AddParamInt("RECORDFIX", chosen.recordFix);
  return r;
}

bool WriteRecordSetting(const RecordSettingValues& read, const RecordSettingValues& chosen) {
  const CCgiRequest r = BuildSetRecordSettingRequest(read, chosen, GetSessionId());
  return ZududSendCommand(r, nullptr, 0, nullptr, nullptr, 0, nullptr, 15, 15) != 0;
}

const std::uint16_t IpsChoiceTable[3][2][3][4] = {
    {{{120, 60, 30, 15}, {240, 120, 60, 30}, {480, 240, 120, 60}},
     {{100, 50, 25, 12}, {200, 100, 50, 25}, {400, 200, 100, 50}}},
    {{{60, 30, 15, 7}, {120, 60, 30, 15}, {240, 120, 60, 30}},
     {{50, 25, 12, 6}, {100, 50, 25, 12}, {200, 100, 50, 25}}},
    {{{30, 15, 7, 3}, {60, 30, 15, 7}, {120, 60, 30, 15}},
     {{25, 12, 6, 3}, {50, 25, 12, 6}, {100, 50, 25, 12}}},
};

int IpsChannelClass(int channelCount) {
  if (channelCount == 16) return 0;
  if (channelCount == 8) return 1;
  return 2;
}

bool IpsChoices(int channelClass, int videoType, int recMode, std::uint16_t (&out)[4]) {
  if (channelClass < 0 || channelClass > 2 || videoType < 0 || videoType > 1 || recMode < 0 || recMode > 2) return false;
  for (int i = 0; i < 4; ++i) out[i] = IpsChoiceTable[channelClass][videoType][recMode][i];
  return true;
}
