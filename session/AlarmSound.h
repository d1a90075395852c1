// The alarm sound's playback thread and the start and stop that the main window's alarm-sound
// handler (WM_POSTALARMAUDIO) runs on the user-interface thread.
#pragma once
#include <cstdint>
#include <memory>
#include "platform/types.h"
#include "platform/wave.h"

class SessionRecord;
struct AlarmWaveBlock;

// Plays `block` in a loop through the wave output until `stopEvent` is set (or the wait on it
// fails, or the thread is cancelled): opens the default device with the block's format,
// prepares, fills and writes the eight buffers, refills every buffer the device returns.
// On the way out it resets the device, unprepares the buffers and closes it, so when it
// returns the device no longer touches the block. 0 after a stop, (DWORD)-1 when the device
// cannot be opened.
plat::DWORD PlayAudioWav(const std::shared_ptr<AlarmWaveBlock>& block, plat::HANDLE stopEvent);

// The thread entry: plays the record's loaded sound (C_AlarmWave) until h_StopAlarmWavEvent.
plat::DWORD PlayAudioWav_Thread(void* unused);

// The device callback: on WOM_DONE sets the block's buffer-done event; other messages are
// ignored. The instance value is the block.
void WaveOutCallback(plat::HWAVEOUT device, unsigned msg, void* instance, std::uintptr_t p1,
                     std::uintptr_t p2);

// A second callback whose body does nothing; nothing hands it to a device.
void WaveOutCallbackIdle(plat::HWAVEOUT device, unsigned msg, void* instance, std::uintptr_t p1,
                         std::uintptr_t p2);

// The alarm-sound handler's start: does nothing (0) while the sound counts as started;
// otherwise stops an earlier sound thread, loads CSettingINI::m_strTriggerWavPath (on failure
// shows string 4096 "Load alarm audio file is failed" and answers -1), creates the two sound
// events afresh, starts PlayAudioWav_Thread and sets f_AlarmAudioOn and f_AlarmSoundStarted.
int StartAlarmSound(SessionRecord& app);

// The handler's stop: clears f_AlarmSoundStarted; sets the stop event (when the sound is on)
// before waiting for the thread, then ends the thread (10 ms, then cancellation), whose exit
// resets and closes the device. Answers 0.
int StopAlarmSound(SessionRecord& app);

// A click on the main window silences the sound but leaves it counted as started, so later
// start messages stay without effect until a stop message comes.
void SilenceAlarmSound(SessionRecord& app);
