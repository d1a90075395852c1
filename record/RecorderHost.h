// What the recorders need of the rest of the client, behind one small interface so the
// recorders can be driven without a whole application record (tests install their own).
// The application's host reads the settings, the session identifier and the alarm list of
// the application record.
#pragma once
#include <cstdint>
#include <string>
#include "record/RecordTypes.h"

class CRecordFrameRing;

class IRecorderHost {
 public:
  virtual ~IRecorderHost() = default;
  // The stream's end event (manual reset): every recorder thread ends when it is set.
  virtual plat::HANDLE EndOfStreamEvent() = 0;
  virtual std::string ServerName() = 0;  // the recorder's address (dotted text)
  virtual std::string UserName() = 0;    // the logged-in account
  virtual std::string SessionId() = 0;   // the login's session identifier
  // Clears the frame-header parser's alarm word and the main window's alarm-input text.
  virtual void ClearAlarmWord() = 0;
  virtual void ClearAlarmChannelText() = 0;
  // Alarm list: a new alarm recording (path of its first file), its start time, its end.
  virtual void AlarmListSetFileName(const std::string& path) = 0;
  virtual void AlarmListSetStartTime(const RecordTime& t) = 0;
  virtual void AlarmListAddItem(std::uint32_t frames, const std::string& serverName) = 0;
  // A recording stopped by a file error; called once per failure, on a recorder thread.
  virtual void ReportRecordFailure(const std::string& text) = 0;
  // The manual recording ended by itself on a file error (its file is closed, or removed when
  // it held no picture); called once per recording, on the recorder's thread. The operator's
  // record button goes back to idle.
  virtual void UserRecordingEnded(const std::string& text) { ReportRecordFailure(text); }
  // The frame ring of recorders that were given none.
  virtual CRecordFrameRing* FrameRing() { return nullptr; }
};

// The host used by recorders that were given none: the one set by SetDefaultRecorderHost,
// else the application's (installed by the engine), else one that does nothing.
IRecorderHost& DefaultRecorderHost();
// Replaces the default host (tests); null restores the application's.
void SetDefaultRecorderHost(IRecorderHost* host);
// The application's host (the engine installs its own; it reads the application record).
void SetApplicationRecorderHost(IRecorderHost* host);
