// The public entry: order of the argument checks, routing between the two drivers, dispatch
// through the table of builds, and the start-up registration.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "scaling/Builds.h"
#include "scaling/Resize.h"

namespace {

using namespace scaling;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct Args {
    bool nullSrc = false, nullDst = false;
    ResizeSize src{8, 6};
    int srcStep = 24;
    ResizeRect roi{0, 0, 8, 6};
    int dstStep = 48;
    ResizeSize dst{16, 12};
    double xf = 2.0, yf = 2.0;
    int mode = ResizeModeLinear;
};

struct StatusCase {
    const char* name;
    void (*change)(Args&);
    ResizeStatus expected;
};

const StatusCase kStatusCases[] = {
    {"valid", [](Args&) {}, ResizeOk},
    {"null source", [](Args& a) { a.nullSrc = true; }, ResizeErrNullPointer},
    {"null destination", [](Args& a) { a.nullDst = true; }, ResizeErrNullPointer},
    {"null source before bad mode", [](Args& a) { a.nullSrc = true; a.mode = 3; }, ResizeErrNullPointer},
    {"source width 0", [](Args& a) { a.src.width = 0; }, ResizeErrSize},
    {"source height negative", [](Args& a) { a.src.height = -1; }, ResizeErrSize},
    {"source step 0", [](Args& a) { a.srcStep = 0; }, ResizeErrStep},
    {"destination step negative", [](Args& a) { a.dstStep = -48; }, ResizeErrStep},
    {"step before region", [](Args& a) { a.srcStep = 0; a.roi.x = -1; }, ResizeErrStep},
    {"region x negative", [](Args& a) { a.roi.x = -1; }, ResizeErrSize},
    {"region width 0", [](Args& a) { a.roi.width = 0; }, ResizeErrSize},
    {"region x at source width", [](Args& a) { a.roi.x = 8; }, ResizeWarnNoOverlap},
    {"region y at source height", [](Args& a) { a.roi.y = 6; }, ResizeWarnNoOverlap},
    {"no overlap before destination size", [](Args& a) { a.roi.x = 8; a.dst.height = 0; }, ResizeWarnNoOverlap},
    {"region reaching past the image", [](Args& a) { a.roi = {2, 1, 100, 100}; }, ResizeOk},
    {"destination height 0", [](Args& a) { a.dst.height = 0; }, ResizeErrSize},
    {"destination size before factor", [](Args& a) { a.dst.width = -2; a.xf = 0; }, ResizeErrSize},
    {"factor 0", [](Args& a) { a.xf = 0.0; }, ResizeErrFactor},
    {"factor negative", [](Args& a) { a.yf = -1.0; }, ResizeErrFactor},
    {"factor NaN", [](Args& a) { a.yf = kNaN; }, ResizeErrFactor},
    {"factor NaN with super", [](Args& a) { a.xf = kNaN; a.mode = ResizeModeSuper; }, ResizeErrFactor},
    {"factor 0 with super", [](Args& a) { a.xf = 0.0; a.yf = 0.5; a.mode = ResizeModeSuper; }, ResizeErrFactor},
    {"factor NaN before bad mode", [](Args& a) { a.xf = kNaN; a.mode = 3; }, ResizeErrFactor},
    {"factor infinite", [](Args& a) { a.xf = kInf; a.mode = ResizeModeNearest; }, ResizeErrFactor},
    {"factor too large for a count", [](Args& a) { a.xf = 1e300; a.mode = ResizeModeNearest; }, ResizeErrFactor},
    {"mode 3", [](Args& a) { a.mode = 3; }, ResizeErrMode},
    {"mode 0", [](Args& a) { a.mode = 0; }, ResizeErrMode},
    {"mode 32", [](Args& a) { a.mode = 32; }, ResizeErrMode},
    {"mode -1", [](Args& a) { a.mode = -1; }, ResizeErrMode},
    {"super enlarging", [](Args& a) { a.mode = ResizeModeSuper; a.xf = 0.5; a.yf = 2.0; }, ResizeErrMode},
    {"super halving", [](Args& a) { a.mode = ResizeModeSuper; a.xf = 0.5; a.yf = 0.5; }, ResizeOk},
    {"super at 1.0", [](Args& a) { a.mode = ResizeModeSuper; a.xf = 1.0; a.yf = 1.0; }, ResizeOk},
    {"source offsets past 32 bits", [](Args& a) { a.src = {2, 3000}; a.srcStep = 1 << 20; a.roi = {0, 0, 2, 2}; }, ResizeErrSize},
    {"destination offsets past 32 bits", [](Args& a) { a.dstStep = 1 << 30; a.xf = 1.0; a.yf = 2.0; }, ResizeErrSize},
    {"super source offsets past 32 bits",
     [](Args& a) { a.src = {2, 3000}; a.srcStep = 1 << 20; a.roi = {0, 0, 2, 2}; a.mode = ResizeModeSuper; a.xf = a.yf = 0.5; },
     ResizeErrSize},
};

TEST(ResizeEntry, ChecksInOrderAndLeavesDestinationOnFailure) {
    std::vector<std::uint8_t> src(64 * 1024, 7);
    std::vector<ResizeEntryFn> entries = {&ResizeC3_8u, &generic::ResizeEntry};
#ifdef TRELVIX_SCALING_HAS_SSE
    entries.push_back(&sse::ResizeEntry);
    entries.push_back(&sse2::ResizeEntry);
    entries.push_back(&sse3::ResizeEntry);
#endif
    for (ResizeEntryFn entry : entries)
    for (const StatusCase& c : kStatusCases) {
        SCOPED_TRACE(c.name);
        Args a;
        c.change(a);
        std::vector<std::uint8_t> dst(48 * 12 + 64, 0xEE);
        const ResizeStatus st = entry(a.nullSrc ? nullptr : src.data(), a.src, a.srcStep, a.roi,
                                            a.nullDst ? nullptr : dst.data(), a.dstStep, a.dst, a.xf, a.yf, a.mode);
        EXPECT_EQ(st, c.expected);
        if (st != ResizeOk) {
            for (std::uint8_t v : dst) ASSERT_EQ(v, 0xEE);
        }
    }
}

TEST(ResizeEntry, DispatchFallsBackToGenericForEmptyOrOutOfRangeSlots) {
    EXPECT_EQ(CpuVariantIndex, kCpuVariantGeneric);
    EXPECT_EQ(CpuVariantTable[0], nullptr);
    EXPECT_EQ(CpuVariantTable[1], &generic::ResizeEntry);

    std::vector<std::uint8_t> src(10 * 7 * 3);
    for (std::size_t i = 0; i < src.size(); ++i) src[i] = static_cast<std::uint8_t>(i * 37);
    std::vector<std::uint8_t> want(20 * 14 * 3, 0), got(want.size(), 0);
    ASSERT_EQ(generic::ResizeEntry(src.data(), {10, 7}, 30, {0, 0, 10, 7}, want.data(), 60, {20, 14}, 2.0, 2.0,
                                   ResizeModeCubic),
              ResizeOk);
    const int saved = CpuVariantIndex;
    for (int index : {0, 1, 5, -1, 1000}) {
        SCOPED_TRACE(index);
        CpuVariantIndex = index;
        std::fill(got.begin(), got.end(), 0);
        EXPECT_EQ(ResizeC3_8u(src.data(), {10, 7}, 30, {0, 0, 10, 7}, got.data(), 60, {20, 14}, 2.0, 2.0,
                              ResizeModeCubic),
                  ResizeOk);
        EXPECT_EQ(got, want);
    }
    CpuVariantIndex = saved;
}

#ifdef TRELVIX_SCALING_HAS_SSE
// Slots 2, 3 and 4 hold the SSE, SSE2 and SSE3-class builds, reached through the dispatch when a
// processor type selects them.
TEST(ResizeEntry, SlotsTwoToFourAreTheSseBuilds) {
    const struct {
        int slot;
        ResizeEntryFn entry;
        int cpuType;
    } cases[] = {{2, &sse::ResizeEntry, 5}, {3, &sse2::ResizeEntry, 9}, {4, &sse3::ResizeEntry, 32}};
    std::vector<std::uint8_t> src(10 * 7 * 3);
    for (std::size_t i = 0; i < src.size(); ++i) src[i] = static_cast<std::uint8_t>(i * 37);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.slot);
        EXPECT_EQ(CpuVariantTable[c.slot], c.entry);
        std::vector<std::uint8_t> want(20 * 14 * 3, 0), got(want.size(), 0);
        ASSERT_EQ(c.entry(src.data(), {10, 7}, 30, {0, 0, 10, 7}, want.data(), 60, {20, 14}, 2.0, 2.0, ResizeModeCubic),
                  ResizeOk);
        const int saved = CpuVariantIndex;
        ASSERT_EQ(SelectCpuVariantForType(c.cpuType), 0);
        EXPECT_EQ(CpuVariantIndex, c.slot);
        EXPECT_EQ(ResizeC3_8u(src.data(), {10, 7}, 30, {0, 0, 10, 7}, got.data(), 60, {20, 14}, 2.0, 2.0,
                              ResizeModeCubic),
                  ResizeOk);
        CpuVariantIndex = saved;
        EXPECT_EQ(got, want);
    }
}
#endif

// The start-up choice from the environment's value: each name takes its slot when the slot
// holds a build, anything else keeps generic, and the trace line says which.
TEST(ResizeEntry, StartupBuildChoice) {
    const int saved = CpuVariantIndex;
    struct Case {
        const char* value;
        int index;
        const char* line;
    };
    const Case cases[] = {
        {nullptr, 1, "resize build: generic (TRELVIX_RESIZE_BUILD not set)"},
        {"", 1, "resize build: generic (TRELVIX_RESIZE_BUILD not set)"},
        {"generic", 1, "resize build: generic"},
#ifdef TRELVIX_SCALING_HAS_SSE
        {"sse", 2, "resize build: sse"},
        {"sse2", 3, "resize build: sse2"},
        {"sse3", 4, "resize build: sse3"},
#else
        {"sse2", 1, "resize build: generic (the sse2 build is not part of this program)"},
        {"sse3", 1, "resize build: generic (the sse3 build is not part of this program)"},
#endif
        {"SSE", 1, "resize build: generic (TRELVIX_RESIZE_BUILD has an unknown value; known: generic, sse, sse2, sse3, auto)"},
        {"sse ", 1, "resize build: generic (TRELVIX_RESIZE_BUILD has an unknown value; known: generic, sse, sse2, sse3, auto)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value ? c.value : "(unset)");
        CpuVariantIndex = 0;
        EXPECT_STREQ(SelectResizeBuild(c.value), c.line);
        EXPECT_EQ(CpuVariantIndex, c.index);
    }
    // "auto" lands on a slot that holds a build.
    CpuVariantIndex = 0;
    const std::string line = SelectResizeBuild("auto");
    EXPECT_EQ(line.rfind("resize build: ", 0), 0u) << line;
    EXPECT_GE(CpuVariantIndex, 1);
    EXPECT_LT(CpuVariantIndex, kCpuVariantCount);
    EXPECT_NE(CpuVariantTable[CpuVariantIndex], nullptr);
    CpuVariantIndex = saved;
}

TEST(ResizeEntry, RegistrationRecordIsOnTheList) {
    ASSERT_NE(DispatchRecordListHead, nullptr);
    EXPECT_STREQ(DispatchRecordListHead->domain, "i");
    EXPECT_STREQ(DispatchRecordListHead->function, "ResizeC3_8u");
    EXPECT_EQ(DispatchRecordListHead->table, CpuVariantTable);
    ResizeDispatchRecord* head = DispatchRecordListHead;
    RegisterResizeDispatch();  // a second registration must not link the record to itself
    EXPECT_EQ(DispatchRecordListHead, head);
    EXPECT_NE(head->next, head);

    ResizeDispatchRecord other{"x", "y", nullptr, nullptr};
    EXPECT_EQ(PushDispatchRecord(&other), head);
    EXPECT_EQ(DispatchRecordListHead, &other);
    DispatchRecordListHead = head;
}

TEST(ResizeEntry, VariantSelectorForType) {
    struct Case {
        int type, index, result;
    };
    const Case cases[] = {{-1, 0, 0}, {0, 1, 0},  {4, 1, 0},  {5, 2, 0},  {16, 2, 0}, {17, 2, 0}, {6, 3, 0},
                          {7, 3, 0},  {9, 3, 0},  {8, 4, 0},  {32, 4, 0}, {10, -7, CpuSelectUnknownType},
                          {-2, -7, CpuSelectUnknownType}};
    const int saved = CpuVariantIndex;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        CpuVariantIndex = -7;
        EXPECT_EQ(SelectCpuVariantForType(c.type), c.result);
        EXPECT_EQ(CpuVariantIndex, c.index);
    }
    CpuVariantIndex = saved;
}

TEST(ResizeEntry, DetectionSelectsAnExistingSlotOrGeneric) {
    const int saved = CpuVariantIndex;
    const int r = SelectCpuVariant();
    EXPECT_TRUE(r == 0 || r == CpuSelectNoCpuid);
    EXPECT_GE(CpuVariantIndex, 1);
    EXPECT_LT(CpuVariantIndex, kCpuVariantCount);
    if (r == CpuSelectNoCpuid) {
        EXPECT_EQ(CpuVariantIndex, 1);
    }
    // Whatever was chosen, the call still resizes through the generic build.
    std::uint8_t src[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, dst[12] = {};
    EXPECT_EQ(ResizeC3_8u(src, {2, 2}, 6, {0, 0, 2, 2}, dst, 6, {2, 2}, 1.0, 1.0, ResizeModeNearest), ResizeOk);
    EXPECT_EQ(std::memcmp(src, dst, 12), 0);
    CpuVariantIndex = saved;
}

}  // namespace
