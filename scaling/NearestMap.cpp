// The mapping of a nearest-neighbour resize of a whole axis, from the general driver's own
// clipping, mapping and base rules.
#define TRELVIX_SCALING_BUILD_TAG nearest_map
#include "scaling/Resize.h"
#include "scaling/engine/General.h"

namespace scaling {

int NearestSourceIndices(int srcLen, int dstLen, double factor, std::int32_t* out) {
    if (out == nullptr || srcLen <= 0 || dstLen <= 0 || !(factor > 0.0)) return 0;
    int n = dstLen;
    if (!engine::ClipAxis(srcLen, factor, 1, n)) return 0;
    const engine::AxisMap m = engine::MapAxis(true, factor, srcLen, 0.0, 1);
    const int last = srcLen - 1;
    double p = m.first;
    for (int k = 0; k < n; ++k, p += m.step) {
        int base;
        double pc;
        engine::BaseOf(p, last, base, pc);
        out[k] = base;
    }
    return n;
}

}  // namespace scaling
