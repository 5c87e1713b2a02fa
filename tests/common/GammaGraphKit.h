#pragma once

#include "gamma/GammaFile.h"
#include "gamma/GammaGraph.h"

namespace tonedesk::test {

// Loads red with the points (0, 0), (512, 512) and (1020, 1020) over the identity (the other
// channels the plain identity), selects red and shows its points.
inline void LoadThreeRedPoints(CGammaGraph& graph) {
    GammaFileTable f = GammaFileTable::Identity();
    for (int line : {0, 128, 255}) {
        f.At(0, line) += kControlPointMark;
    }
    graph.LoadChannels(f, -1);
    graph.SelectChannel(0);
    graph.RecomputeLevels();
}

} // namespace tonedesk::test
