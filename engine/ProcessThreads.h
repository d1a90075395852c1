// Entry functions of the engine's own threads: the kernel-message mailbox, the teardown and
// rebuild workers and the account life-time watchdog. Started like the session's threads
// (session/Threads.h): every entry takes an unused parameter and reaches the record through
// g_lpApp; every wait inside is a cancellable plat wait.
#pragma once
#include "platform/types.h"

plat::DWORD Process_KernelMessageThread(void* param);
plat::DWORD Process_Terminate_Thread(void* param);
plat::DWORD Process_Init_Thread(void* param);
plat::DWORD Connection_LifeTime_Thread(void* param);
