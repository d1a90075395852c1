// A process-wide seconds timer.
#pragma once
#include "platform/types.h"

void TickTimer_Start();
int TickTimer_Elapsed(plat::DWORD seconds);
