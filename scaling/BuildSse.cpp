// The SSE build: the engine instantiated with the single-precision arithmetic of scaling/sse/.
#if defined(__x86_64__)
#define TRELVIX_SCALING_BUILD_TAG sse_build
#include "scaling/Builds.h"
#include "scaling/engine/Entry.h"
#include "scaling/sse/Arith.h"

namespace scaling::sse {

#include "scaling/engine/BuildEntries.inc"

}  // namespace scaling::sse
#endif
