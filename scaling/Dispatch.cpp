// The resize entry's dispatch through the table of builds, the start-up registration record and
// the processor detection with its variant selectors.
#include <cstring>

#include "scaling/Builds.h"
#include "scaling/Resize.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#define TRELVIX_SCALING_X86 1
#endif

namespace scaling {

#ifdef TRELVIX_SCALING_HAS_SSE
ResizeEntryFn CpuVariantTable[kCpuVariantCount] = {nullptr, &generic::ResizeEntry, &sse::ResizeEntry,
                                                   &sse2::ResizeEntry, &sse3::ResizeEntry};
#else
ResizeEntryFn CpuVariantTable[kCpuVariantCount] = {nullptr, &generic::ResizeEntry, nullptr, nullptr, nullptr};
#endif
int CpuVariantIndex = kCpuVariantGeneric;

ResizeStatus ResizeC3_8u(const std::uint8_t* src, ResizeSize srcSize, int srcStep, ResizeRect srcRoi,
                         std::uint8_t* dst, int dstStep, ResizeSize dstSize, double xFactor, double yFactor,
                         int interpolation) {
    // A checked index: an empty slot or an index outside the table serves the generic build.
    const int index = CpuVariantIndex;
    ResizeEntryFn fn = (index >= 0 && index < kCpuVariantCount) ? CpuVariantTable[index] : nullptr;
    if (!fn) fn = &generic::ResizeEntry;
    return fn(src, srcSize, srcStep, srcRoi, dst, dstStep, dstSize, xFactor, yFactor, interpolation);
}

// ---- start-up registration ------------------------------------------------------------------
ResizeDispatchRecord* DispatchRecordListHead = nullptr;
namespace {
ResizeDispatchRecord g_resizeDispatchRecord = {"i", "ResizeC3_8u", CpuVariantTable, nullptr};
}

ResizeDispatchRecord* PushDispatchRecord(ResizeDispatchRecord* record) {
    ResizeDispatchRecord* previous = DispatchRecordListHead;
    DispatchRecordListHead = record;
    return previous;
}

void RegisterResizeDispatch() {
    if (DispatchRecordListHead == &g_resizeDispatchRecord) return;
    g_resizeDispatchRecord.next = PushDispatchRecord(&g_resizeDispatchRecord);
}

namespace {
struct ResizeDispatchStaticInit {
    ResizeDispatchStaticInit() { RegisterResizeDispatch(); }
} g_resizeDispatchStaticInit;
}  // namespace

// ---- processor detection ----------------------------------------------------------------------
namespace {
struct CpuidInfo {
    unsigned family = 0;
    bool tsc = false, mmx = false, sse = false, sse2 = false, sse3 = false, em64t = false, multiLogical = false;
};

bool ReadCpuidInfo(CpuidInfo& info) {
#ifdef TRELVIX_SCALING_X86
    unsigned a, b, c, d;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
    info.family = (a >> 8) & 0xF;
    info.tsc = d & (1u << 4);
    info.mmx = d & (1u << 23);
    info.sse = d & (1u << 25);
    info.sse2 = d & (1u << 26);
    info.multiLogical = (d & (1u << 28)) && ((b >> 16) & 0xFF) > 1;
    info.sse3 = c & 1u;
    unsigned ea, eb, ec, ed;
    if (__get_cpuid(0x80000001u, &ea, &eb, &ec, &ed)) info.em64t = ed & (1u << 29);
    return true;
#else
    (void)info;
    return false;
#endif
}
}  // namespace

bool HasCpuid() {
#ifdef TRELVIX_SCALING_X86
    return __get_cpuid_max(0, nullptr) != 0;
#else
    return false;
#endif
}

bool IsIntelVendor() {
#ifdef TRELVIX_SCALING_X86
    unsigned a, b, c, d;
    if (!__get_cpuid(0, &a, &b, &c, &d)) return false;
    char vendor[13];
    std::memcpy(vendor, &b, 4);
    std::memcpy(vendor + 4, &d, 4);
    std::memcpy(vendor + 8, &c, 4);
    vendor[12] = 0;
    return std::strcmp(vendor, "GenuineIntel") == 0;
#else
    return false;
#endif
}

int DetectCpuType() {
    CpuidInfo info;
    if (!HasCpuid() || !IsIntelVendor() || !ReadCpuidInfo(info)) return 0;
    switch (info.family) {
        case 5: return info.mmx ? 2 : 1;
        case 6: return info.sse2 ? 9 : (info.sse ? 5 : (info.mmx ? 4 : 3));
        case 7: return 16;
        case 15:
            if (!info.sse2) return 17;
            if (info.sse3 && info.em64t) return 32;
            if (info.sse3) return 8;
            return info.multiLogical ? 7 : 6;
        default: return 0;
    }
}

namespace {
int VariantForType(int type) {
    switch (type) {
        case -1: return 0;
        case 0: case 1: case 2: case 3: case 4: return 1;
        case 5: case 16: case 17: return 2;
        case 6: case 7: case 9: return 3;
        case 8: case 32: return 4;
        default: return -1;
    }
}
}  // namespace

int SelectCpuVariant() {
    const int v = VariantForType(DetectCpuType());
    CpuVariantIndex = v >= 2 ? v : 1;
    if (!HasCpuid() || !IsIntelVendor()) {
        CpuVariantIndex = 1;
        return CpuSelectNoCpuid;
    }
    return 0;
}

const char* SelectResizeBuild(const char* value) {
    static const struct {
        const char* name;
        int index;
    } kNames[] = {{"generic", 1}, {"sse", 2}, {"sse2", 3}, {"sse3", 4}};
    if (!value || !*value) {
        CpuVariantIndex = kCpuVariantGeneric;
        return "resize build: generic (TRELVIX_RESIZE_BUILD not set)";
    }
    int index = -1;
    if (std::strcmp(value, "auto") == 0) {
        SelectCpuVariant();
        index = CpuVariantIndex;
    } else {
        for (const auto& n : kNames)
            if (std::strcmp(value, n.name) == 0) index = n.index;
        if (index < 0) {
            CpuVariantIndex = kCpuVariantGeneric;
            return "resize build: generic (TRELVIX_RESIZE_BUILD has an unknown value; known: generic, sse, sse2, "
                   "sse3, auto)";
        }
    }
    if (index < 0 || index >= kCpuVariantCount || !CpuVariantTable[index]) {
        CpuVariantIndex = kCpuVariantGeneric;
        return index == 3 ? "resize build: generic (the sse2 build is not part of this program)"
               : index == 4 ? "resize build: generic (the sse3 build is not part of this program)"
                            : "resize build: generic (the chosen build is not part of this program)";
    }
    CpuVariantIndex = index;
    switch (index) {
        case 2: return "resize build: sse";
        case 3: return "resize build: sse2";
        case 4: return "resize build: sse3";
        default: return "resize build: generic";
    }
}

int SelectCpuVariantForType(int cpuType) {
    const int v = VariantForType(cpuType);
    if (v < 0) return CpuSelectUnknownType;
    CpuVariantIndex = v;
    return 0;
}

}  // namespace scaling
