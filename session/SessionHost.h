// What the session threads ask of the start-up and shut-down orchestration above them: the
// kernel-message mailbox and the rebuild worker. The engine installs its implementation when
// it publishes the application record; with none installed every request fails (false).
#pragma once
#include <cstdint>
#include "platform/types.h"

// The codes of the one-slot kernel-message mailbox.
enum KernelMessageCode : std::int32_t {
  Get_Image_TimeOut_Message = 1,  // the stream failed: reconnect
  Draw_Image_Message = 2,         // draw lp_CurrentFrame through the main window
  Exit_Kernel_Message = 6,        // end the mailbox worker (shut-down)
  Run_Player_Message = 7,         // parameter: address of a zero-terminated file path
  Run_Player_Copy_Message = 8,    // parameter: a new std::string path that the worker deletes
};

class ISessionHost {
 public:
  virtual ~ISessionHost() = default;
  // Posts one kernel message (see engine/Mailbox.h: PostKernelMessage).
  virtual bool PostKernelMessage(std::int32_t code, std::uintptr_t param, plat::DWORD lockWaitMs) = 0;
  // Asks the rebuild worker for a fresh stream side (see engine/Mailbox.h).
  virtual bool RequestSessionRebuild(plat::DWORD waitMs) = 0;
};

void SetSessionHost(ISessionHost* host);

// The requests as the session threads make them.
bool SessionPostKernelMessage(std::int32_t code, std::uintptr_t param = 0,
                              plat::DWORD lockWaitMs = plat::INFINITE);
bool SessionRequestRebuild(plat::DWORD waitMs);
