// The per-frame header of the live stream and its parser.
//
// Every packet of the live stream starts with a header written by the recorder, in one of two
// formats: the older one (V0) begins with a 32-bit flag word, the newer one (V1) with the
// 16-bit version 1. Which one a session uses is chosen at login (f_NewHeader). Optional fields
// follow the fixed part in a fixed order, each present only when its flag bit is set, so the
// header's length follows from its flag words alone.
//
// Two layers:
//  - ScanFrameHeader: a pure, bounded reader. Given the bytes received so far it answers
//    whether the header is complete, still needs bytes, or is unusable, and what it holds.
//    It never reads past the given length and has no side effects.
//  - CRtpHeader: the application's parser object (SessionRecord::m_RTPH_Struct). It keeps the alarm
//    state across frames and acts on each complete header at once: alarm sound start/stop
//    messages, alarm recording start/stop, the automatic channel switch, the recorder's clock,
//    the control-panel mode, the sensor state and the network-backup notice.
#pragma once
#include <cstddef>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include "platform/types.h"

// Date and time as eight 16-bit fields (year, month, day of week, day, hour, minute, second,
// millisecond).
struct DvrDateTime {
  std::uint16_t wYear = 0;
  std::uint16_t wMonth = 0;
  std::uint16_t wDayOfWeek = 0;
  std::uint16_t wDay = 0;
  std::uint16_t wHour = 0;
  std::uint16_t wMinute = 0;
  std::uint16_t wSecond = 0;
  std::uint16_t wMilliseconds = 0;
};

// The parsed header of one packet; one per packet slot. Absent fields are 0.
struct RtpFrameHeader {
  std::uint32_t dwFrameLength = 0;   // bytes of JPEG after the header; 0 = none
  std::uint8_t byPictureSize = 0;    // 0 full width (640), else half width (320)
  std::uint32_t dwTimeMs = 0;        // header time in ms (wire value x 5)
  std::uint16_t wAlarm = 0;          // one bit per alarm input
  std::uint16_t wMotionDetect = 0;   // one bit per channel, bit 0 = channel 1
  std::uint16_t wThirdAlarm = 0;
  std::uint8_t byChannel = 0;
  std::uint8_t byNoImage = 0;        // 1: the packet carries no camera picture
  DvrDateTime stRecorderTime;        // from the packed date-time word
};

// Alarm section type codes (CRtpHeader::m_dwAlarmType).
constexpr std::uint32_t kAlarmTypeAlarm = 0x80;
constexpr std::uint32_t kAlarmTypeMotion = 0x100;
constexpr std::uint32_t kAlarmTypeThird = 0x200;

// V1 flag word F.
constexpr std::uint16_t kV1Motion = 0x0002;
constexpr std::uint16_t kV1Alarm = 0x0004;
constexpr std::uint16_t kV1Third = 0x0008;
constexpr std::uint16_t kV1Time = 0x0020;
constexpr std::uint16_t kV1DateTime = 0x0040;
constexpr std::uint16_t kV1Block16 = 0x0080;
constexpr std::uint16_t kV1Byte1 = 0x0100;
constexpr std::uint16_t kV1Extension = 0x2000;
// V1 extension flag word S.
constexpr std::uint16_t kV1xPictureSize = 0x0001;
constexpr std::uint16_t kV1xPanelMode = 0x0002;
constexpr std::uint16_t kV1xNoImage = 0x0004;
constexpr std::uint16_t kV1xBackupNotice = 0x0008;
constexpr std::uint16_t kV1xSensor = 0x0010;
constexpr std::uint16_t kV1xChannel16 = 0x0020;
constexpr std::uint8_t kV1ExtensionMark = 0x32;

// V0 flag word F.
constexpr std::uint32_t kV0FrameLength = 0x0001;
constexpr std::uint32_t kV0Block16 = 0x0002;
constexpr std::uint32_t kV0PanelMode = 0x0004;
constexpr std::uint32_t kV0PictureSize = 0x0008;
constexpr std::uint32_t kV0Byte10 = 0x0010;
constexpr std::uint32_t kV0Time = 0x0020;
constexpr std::uint32_t kV0Type = 0x0040;
constexpr std::uint32_t kV0Alarm = 0x0080;
constexpr std::uint32_t kV0Motion = 0x0100;
constexpr std::uint32_t kV0Third = 0x0200;
constexpr std::uint32_t kV0BackupNotice = 0x0400;
constexpr std::uint32_t kV0Channel = 0x0800;
constexpr std::uint32_t kV0NoImage = 0x1000;
constexpr std::uint32_t kV0DateTime = 0x2000;

// Fixed parts and the longest possible headers of the two formats.
constexpr std::size_t kV1FixedSize = 8;
constexpr std::size_t kV0FixedSize = 4;
constexpr std::size_t kV1MaxHeaderSize = 8 + 2 + 2 + 2 + 4 + 4 + 16 + 1 + 4 + 1 + 1 + 1;  // 46
constexpr std::size_t kV0MaxHeaderSize = 4 + 4 + 16 + 2 + 1 + 1 + 4 + 1 + 2 + 2 + 2 + 1 + 4;  // 44
constexpr std::size_t kMaxFrameHeaderSize = 48;

// Everything one header holds, with the presence of each optional section.
struct FrameHeaderFields {
  RtpFrameHeader hdr;
  std::uint32_t headerLength = 0;  // H: the bytes the header occupies
  bool hasAlarm = false, hasMotion = false, hasThird = false;
  bool hasDateTime = false;
  bool hasPanelMode = false;
  std::uint8_t panelMode = 0;
  bool backupNotice = false;
  bool hasSensor = false;
  std::uint8_t sensorState = 0;
  // The online-user text (16 bytes, V0 bit 0x0002 / V1 bit 0x0080) and count (V0 bit 0x0040 /
  // V1 low nibble of byte 4), which the main window's status bar shows.
  bool hasOnlineText = false;
  char onlineText[16] = {};
  bool hasOnlineCount = false;
  std::uint8_t onlineCount = 0;
};

enum class HeaderScan {
  Complete,  // `out` is filled, out.headerLength bytes form the header
  NeedMore,  // the bytes given end inside the header
  Bad,       // not a header (V1 version word not 1, or a frame length shorter than the header)
};

// Reads one header from p[0..n). `frameLengthCountsHeader`: the recorder's V1 frame length
// includes the header (K47R); the header length is then subtracted, and a frame length shorter
// than the header is Bad. Never reads past n.
HeaderScan ScanFrameHeader(const std::uint8_t* p, std::size_t n, bool v1,
                           bool frameLengthCountsHeader, FrameHeaderFields& out);

// Packed date-time word: year = bits 31..26 + 2000, month 25..22, day 21..17, hour 16..12,
// minute 11..6, second 5..0.
DvrDateTime DecodePackedDateTime(std::uint32_t word);

class CRtpHeader {
 public:
  CRtpHeader() = default;

  // Parses one complete header (as ScanFrameHeader found it) and acts on it; the record is
  // copied to `slot` when given and *pH receives the header length. Returns 1 when the header
  // was read, 0 when it was rejected (nothing is written and nothing happens then).
  int Parse(const std::uint8_t* bytes, std::size_t length, plat::DWORD* pH, RtpFrameHeader* slot);

  // Acts on a header already scanned (the stream parser scans once, then calls this).
  void Apply(const FrameHeaderFields& fields, RtpFrameHeader* slot);

  // Clears m_wAlarmData; 1 when it was set.
  int AckAlarm();

  // An alarm-state step.
  // While `modeWord` is not 0 it sets m_wAlarmData to 2 when bit 1 of `stateWord` is set, to 1
  // when only bit 0 is, else to 0; with `modeWord` 0 it only puts a value of 15 back to 0. No
  // stream format fills such a state word and no mode word is ever set. Answers the new value.
  std::uint16_t StepAlarmState(std::uint16_t stateWord, std::uint16_t modeWord);

  // The online-user text of the last header that carried one (empty before), for the status bar.
  std::string GetOnlineUserText() const;
  std::uint8_t GetOnlineUserCount() const { return m_byOnlineUsers.load(); }

  // Written by the receive thread, the alarm page and the alarm recorder: single stores.
  std::atomic<std::uint16_t> m_wAlarmData{0};
  RtpFrameHeader m_CurrentHeader;
  std::atomic<std::uint32_t> m_dwAlarmType{0};  // written by the receive thread, read by others
  std::atomic<std::uint8_t> m_byOnlineUsers{0};
  mutable std::mutex m_OnlineLock;
  char m_szOnlineUsers[17] = {};
  // Read headers as V1 (set at each login, read by every parse).
  std::atomic<plat::BOOL> f_NewHeader{0};
};
