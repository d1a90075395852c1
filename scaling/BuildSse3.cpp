// The SSE3-class build: the SSE2 build's sources compiled once more in a namespace of their own,
// with code generation tuned for SSE3-class processors (see CMakeLists.txt: -mtune only, no
// instruction beyond SSE2).
#define TRELVIX_SSE2_NAMESPACE sse3
#define TRELVIX_SCALING_BUILD_TAG sse3_build
#include "BuildSse2.cpp"
