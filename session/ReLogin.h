// The re-login thread (ReLogin_Thread, declared in session/Threads.h): logs in again, reads
// the device information, has the stream side rebuilt and releases it; retries without limit
// with a growing pause, telling the main window each step through WM_SHOWSTATUS.
#pragma once
#include <cstdint>
#include <string>

#include "platform/types.h"

// Pauses of a failed attempt, in ms of the product's clock.
constexpr plat::DWORD kReLoginBusyPauseMs = 20000;   // after a busy (202) answer
constexpr plat::DWORD kReLoginFailPauseMs = 3000;    // before the failure is shown
constexpr plat::DWORD kReLoginRetryPauseMs = 2000;   // before the next attempt
constexpr plat::DWORD kReLoginRebuildWaitMs = 5000;  // for the rebuild worker's reply
constexpr plat::DWORD kReLoginReleasePauseMs = 2000; // before the stream is released

// The back-off after `failedBefore` failed attempts: 3 s per started 2000 attempts, at most 30 s.
plat::DWORD ReLoginBackoffMs(std::uint64_t failedBefore);

// Clamps the settings' selected channel to the connected model (K41R above 16, K42R above 8,
// K43R above 4 become 0; K40R: 0 or above 2 becomes 1).
std::uint8_t ClampSelectedChannel(const std::string& productId, std::uint8_t channel);
