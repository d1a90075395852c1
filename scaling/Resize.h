// The image resize primitive: one public entry for 24-bit pictures, the shared result and
// interpolation codes, and the table of builds the entry dispatches through.
#pragma once

#include <cstdint>

namespace scaling {

struct ResizeSize {
    int width;
    int height;
};

struct ResizeRect {
    int x;
    int y;
    int width;
    int height;
};

// Result codes of the entry and of both drivers.
enum ResizeStatus : int {
    ResizeOk = 0,
    ResizeErrSize = -6,
    ResizeErrNullPointer = -8,
    ResizeErrNoMemory = -9,
    ResizeErrStep = -14,
    ResizeErrMode = -22,
    ResizeErrFactor = -23,
    ResizeWarnNoOverlap = 29,
};

// Interpolation codes.
enum ResizeMode : int {
    ResizeModeNearest = 1,
    ResizeModeLinear = 2,
    ResizeModeCubic = 4,
    ResizeModeSuper = 8,
    ResizeModeSixTap = 16,
};

// Results of the processor-variant selectors.
enum CpuSelectStatus : int {
    CpuSelectNoCpuid = 20,
    CpuSelectUnknownType = 21,
};

using ResizeEntryFn = ResizeStatus (*)(const std::uint8_t* src, ResizeSize srcSize, int srcStep,
                                       ResizeRect srcRoi, std::uint8_t* dst, int dstStep,
                                       ResizeSize dstSize, double xFactor, double yFactor,
                                       int interpolation);

// Resamples the region srcRoi of a picture of three interleaved 8-bit channels into dst.
// xFactor and yFactor are destination size over source region size. Every outcome is a status;
// on an error or the no-overlap warning the destination is untouched.
ResizeStatus ResizeC3_8u(const std::uint8_t* src, ResizeSize srcSize, int srcStep, ResizeRect srcRoi,
                         std::uint8_t* dst, int dstStep, ResizeSize dstSize, double xFactor,
                         double yFactor, int interpolation);

// The source pixels a nearest-neighbour ResizeC3_8u call over a whole axis takes: for the
// axis of srcLen pixels scaled by `factor` into dstLen pixels, out[k] is the source pixel of
// destination pixel k, as the call computes it. Returns how many destination pixels the call
// writes (at most dstLen; fewer when the factor leaves fewer), 0 for an unusable argument. For
// drawing a nearest-neighbour scaling straight into another pixel format.
int NearestSourceIndices(int srcLen, int dstLen, double factor, std::int32_t* out);

// One entry per build: 0 empty, 1 generic, 2 SSE, 3 SSE2, 4 SSE3-class. Slots of builds that
// are not part of this program are null; the dispatch falls back to the generic entry for a
// null slot or an index outside the table.
constexpr int kCpuVariantCount = 5;
constexpr int kCpuVariantGeneric = 1;
extern ResizeEntryFn CpuVariantTable[kCpuVariantCount];
extern int CpuVariantIndex;

// Start-up registration record (built once, read by nobody).
struct ResizeDispatchRecord {
    const char* domain;
    const char* function;
    ResizeEntryFn* table;
    ResizeDispatchRecord* next;
};
extern ResizeDispatchRecord* DispatchRecordListHead;
ResizeDispatchRecord* PushDispatchRecord(ResizeDispatchRecord* record);
void RegisterResizeDispatch();

// Processor detection and variant selection (present, never started by the program).
bool HasCpuid();
bool IsIntelVendor();
int DetectCpuType();
int SelectCpuVariant();
int SelectCpuVariantForType(int cpuType);

// Start-up choice of the build for trials and measurements, from the value of
// TRELVIX_RESIZE_BUILD (null when unset): "generic", "sse", "sse2", "sse3" take that build (an
// empty slot keeps generic), "auto" runs SelectCpuVariant(), anything else keeps generic. Sets
// CpuVariantIndex and returns one line for the trace log naming the build in use. Call once,
// before any thread resizes.
const char* SelectResizeBuild(const char* value);

}  // namespace scaling
