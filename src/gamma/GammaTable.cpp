#include "gamma/GammaTable.h"

#include <algorithm>

namespace tonedesk {

bool ControlPointList::SamePoints(const ControlPointList& other) const {
    return count == other.count &&
           std::equal(points.begin(), points.begin() + count, other.points.begin());
}

bool ControlPointList::Insert(int index, ControlPoint p) {
    if (count >= kMaxPoints || index < 0 || index > count) {
        return false;
    }
    std::copy_backward(points.begin() + index, points.begin() + count, points.begin() + count + 1);
    points[index] = p;
    ++count;
    return true;
}

void ControlPointList::Remove(int index) {
    if (index < 0 || index >= count) {
        return;
    }
    std::copy(points.begin() + index + 1, points.begin() + count, points.begin() + index);
    --count;
}

LevelTable IdentityLevels() {
    LevelTable t{};
    for (int i = 0; i < kLevelCount; ++i) {
        t[i] = static_cast<std::uint16_t>(4 * i);
    }
    return t;
}

} // namespace tonedesk
