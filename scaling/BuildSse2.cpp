// The SSE2 build: the engine instantiated with the arithmetic of scaling/sse2/. BuildSse3.cpp
// compiles this file once more, as scaling::sse3 with code generation for the SSE3 class; both
// use SSE2 instructions only, so they give the same results bit for bit.
#if defined(__x86_64__)
#ifndef TRELVIX_SSE2_NAMESPACE
#define TRELVIX_SSE2_NAMESPACE sse2
#define TRELVIX_SCALING_BUILD_TAG sse2_build
#endif
#include "scaling/Builds.h"
#include "scaling/engine/Entry.h"
#include "scaling/sse2/Arith.h"

namespace scaling::TRELVIX_SSE2_NAMESPACE {

#include "scaling/engine/BuildEntries.inc"

void ComputeSixTapWeights(const float* frac, int count, float* out) { Arith::ComputeSixTapWeights(frac, count, out); }

}  // namespace scaling::TRELVIX_SSE2_NAMESPACE
#endif
