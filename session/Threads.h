// Entry functions of the session's worker threads, started by the engine's start-up, rebuild
// worker and kernel-message mailbox (engine/ProcessThreads.h holds the engine's own). Every
// entry takes the SessionRecord to work on as its parameter (nullptr: g_lpSession). Each is
// started through plat::CreateThread, e.g.
// plat::CreateThread([] { return ReLogin_Thread(nullptr); }, &id, "relogin").
//
// Every wait and sleep inside these functions must be a plat wait (cancellable), and every
// socket they open must be registered with plat::SocketCancelRegistration: the release steps
// stop them with plat::StopThread(handle, bound, 31) and never kill them.
#pragma once
#include "platform/types.h"

// The live stream (defined in session/): receive, decode and show.
plat::DWORD Jpeg_TCP_Get_Image_Data_Thread(void* param);
plat::DWORD Jpeg_Compose_Image_Data_Thread(void* param);
plat::DWORD Jpeg_Show_Image_Data_Thread(void* param);

// (Re)connection after the first login (defined in session/): logs in, reads the device
// information, asks the rebuild worker for a fresh stream side and releases it.
plat::DWORD ReLogin_Thread(void* param);
