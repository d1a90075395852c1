// The one-slot kernel-message mailbox of Process_KernelMessageThread and the request/reply
// handshakes with the teardown and rebuild workers.
//
// Posting: take the mailbox lock (h_KernelMessageLockSem), write the code and its parameter,
// release the post semaphore. The lock stays taken until the worker has handled the message,
// so the next poster waits for that.
#pragma once
#include <cstdint>
#include <string>
#include "platform/types.h"
#include "session/SessionHost.h"

// How long the shut-down waits to post the exit code: a reconnection in progress holds the
// mailbox for up to the 10 s teardown wait.
constexpr plat::DWORD kExitPostWaitMs = 15000;
// How long a requester waits for the teardown and for the rebuild.
constexpr plat::DWORD kTeardownReplyWaitMs = 10000;
constexpr plat::DWORD kRebuildReplyWaitMs = 5000;
// How long a running re-login thread is given to end before it is cancelled.
constexpr plat::DWORD kReLoginStopWaitMs = 30;

// Posts one kernel message, waiting at most lockWaitMs for the mailbox lock (a cancellable
// wait). false when the mailbox does not exist or the lock could not be taken in time; then
// nothing was written. The parameter of Run_Player_Message must stay valid until handled.
bool PostKernelMessage(std::int32_t code, std::uintptr_t param = 0,
                       plat::DWORD lockWaitMs = plat::INFINITE);

// Asks the teardown worker to stop the stream side (session objects and pipeline semaphores)
// and waits for the answer to this very request. true when it was answered in time.
bool RequestSessionTeardown(plat::DWORD waitMs = kTeardownReplyWaitMs);

// Asks the rebuild worker to create the pipeline semaphores and the session objects afresh
// and waits for the answer to this very request. true only when the rebuild succeeded in
// time: a failed or unanswered rebuild leaves no start event to set.
bool RequestSessionRebuild(plat::DWORD waitMs = kRebuildReplyWaitMs);

// The re-login thread (h_ReLoginThread), shared by the mailbox worker and the main window's
// connect command: StartReLoginThread ends a running one (kReLoginStopWaitMs, then
// cancellation) and starts a new one; false when it cannot be started or the client is
// shutting down. StopReLoginThread ends a running one the same way.
bool StartReLoginThread();
void StopReLoginThread();

// The player program beside the executable ("Parvilo" or "parvilo"); "" when there is none.
std::string FindPlayerProgram();
// Starts the player with the recording's path; on failure shows "Execuate player is failed"
// (string 4108) in a message box on the calling thread and answers false.
bool RunPlayerProgram(const std::string& recordingPath, plat::HWND owner = 0);

// Resets the handshake bookkeeping (done when the process objects are created).
void ResetProcessHandshakes();
// Set while the process objects are released: rebuilds are refused and no re-login starts.
void SetProcessClosing(bool closing);
bool IsProcessClosing();
