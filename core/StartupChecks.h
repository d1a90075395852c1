// Checks of the machine made at start-up: processor features, the address cache, the
// socket layer's version.
#pragma once
#include "platform/types.h"

// Whether the processor supports MMX (CPUID leaf 1, EDX bit 23); false off x86.
bool ProcessorHasMmx();

// Starts "arp -d" (the address-cache flush); 1 when the process started.
int FlushAddressCache();

// The socket layer's version check: 1 only when the requested version is the one the
// layer provides (2.2); POSIX sockets need no start-up of their own.
int StartSocketsAtVersion(plat::BYTE major, plat::BYTE minor);
