#include "gamma/GammaGraph.h"

#include "gamma/CurveMath.h"
#include "support/Settings.h"

#include <algorithm>
#include <cstdlib>

namespace tonedesk {

GraphColor ChannelColor(int channel) {
    switch (channel) {
    case 0:
        return GraphColor::Rgb(255, 0, 0);
    case 1:
        return GraphColor::Rgb(0, 255, 0);
    case 2:
        return GraphColor::Rgb(0, 0, 255);
    default:
        return GraphColor::Rgb(0, 0, 0);
    }
}

CGammaGraph::CGammaGraph(const Settings& settings, GraphHost* host)
    : CCurveGraph(host), minDiff_(EnvInt(settings, "GAMMA_MIN_DIFF")),
      minPoints_(EnvInt(settings, "GAMMA_MIN_POINTS")),
      retryCount_(EnvInt(settings, "GAMMA_RETRYCNT")) {
    // The point limit divides by the spacing.
    if (minPoints_ < 1) {
        minPoints_ = 1;
    }
    banks_[0] = active_;
    banks_[1] = active_;
    SetDisplayed(nullptr, &active_.levels[active_.displayChannel]);
}

ControlPointList& CGammaGraph::Points(int channel) {
    return active_.points[channel < 0 ? active_.displayChannel : channel];
}

LevelTable& CGammaGraph::Levels(int channel) {
    return active_.levels[channel < 0 ? active_.displayChannel : channel];
}

void CGammaGraph::SelectChannel(int channel) {
    if (channel < kAllChannels || channel >= kChannelCount) {
        return;
    }
    active_.selectedChannel = channel;
    active_.displayChannel = channel < 0 ? 0 : channel;
    SetCurveColor(ChannelColor(channel));
    // No markers until the next recompute, which also shows the new channel's table.
    ClearDisplayedPoints();
}

void CGammaGraph::SetFormulaMode(bool on) {
    // Either way the curves are replaced: by the formula's, or by points fitted to it.
    if (on != active_.formulaMode) {
        active_.exact = {};
    }
    active_.formulaMode = on;
}

bool CGammaGraph::HasExactLevels(int channel) const {
    return active_.exact[channel < 0 ? active_.displayChannel : channel];
}

void CGammaGraph::SetExactLevels(const LevelTable& levels) {
    SetExactLevels(std::array<LevelTable, kChannelCount>{levels, levels, levels});
}

void CGammaGraph::SetExactLevels(const std::array<LevelTable, kChannelCount>& levels) {
    if (active_.formulaMode) {
        RecomputeLevels();
        SetFormulaMode(false);
        for (int c = 0; c < kChannelCount; ++c) {
            FitPointsToLevels(c);
        }
        ClearUndo();
    } else {
        TakeUndoSnapshot();
    }
    for (int c = 0; c < kChannelCount; ++c) {
        if (active_.selectedChannel != kAllChannels && c != active_.selectedChannel) {
            continue;
        }
        for (int i = 0; i < kLevelCount; ++i) {
            active_.levels[c][i] = std::min<std::uint16_t>(levels[c][i], kMaxLevel);
        }
        active_.exact[c] = true;
        FitPointsToLevels(c);
    }
    if (active_.selectedChannel == kAllChannels &&
        (levels[0] != levels[1] || levels[0] != levels[2])) {
        SelectChannel(0);
    }
    RecomputeLevels();
    ClearSelection();
    SetModified();
}

void CGammaGraph::ComputeDisplayedLevels() {
    if (!active_.formulaMode && active_.exact[active_.displayChannel]) {
        return;
    }
    CCurveGraph::ComputeDisplayedLevels();
}

void CGammaGraph::PointsEdited() {
    // Linked channels share the edited points.
    if (active_.selectedChannel == kAllChannels) {
        active_.exact = {};
    } else {
        active_.exact[active_.displayChannel] = false;
    }
}

void CGammaGraph::SetParameter(std::array<std::int32_t, kChannelCount>& values, int value) {
    for (int c = 0; c < kChannelCount; ++c) {
        if (active_.selectedChannel != kAllChannels && c != active_.selectedChannel) {
            continue;
        }
        if (values[c] != value) {
            values[c] = value;
            SetModified();
        }
    }
}

void CGammaGraph::TakeUndoSnapshot(int mouseX, int mouseY) {
    if (!PlotSquare().Contains(mouseX, mouseY)) {
        return;
    }
    TakeUndoSnapshot();
}

void CGammaGraph::TakeUndoSnapshot() {
    active_.undo.points = active_.points;
    active_.undo.levels = active_.levels;
    active_.undo.exact = active_.exact;
    active_.undoState = 1;
}

void CGammaGraph::SwapUndo() {
    if (active_.undoState == 0) {
        return;
    }
    std::swap(active_.points, active_.undo.points);
    std::swap(active_.levels, active_.undo.levels);
    std::swap(active_.exact, active_.undo.exact);
    active_.undoState = -active_.undoState;
}

bool CGammaGraph::SwitchBank(int bank) {
    if (bank == bank_ || bank < 0 || bank > 1) {
        return false;
    }
    banks_[bank_] = active_;
    active_ = banks_[bank];
    bank_ = bank;
    SelectChannel(active_.selectedChannel);
    active_.undoState = 0;
    return true;
}

void CGammaGraph::LoadChannels(const GammaFileTable& file, int channel) {
    for (int c = 0; c < kChannelCount; ++c) {
        if (channel != kAllChannels && c != channel) {
            continue;
        }
        ControlPointList& list = active_.points[c];
        LevelTable& levels = active_.levels[c];
        active_.exact[c] = false;
        list.count = 0;
        for (int i = 0; i < kLevelCount; ++i) {
            const std::uint32_t v = file.At(c, i);
            if (v >= kControlPointMark) {
                const std::uint32_t level = v - kControlPointMark;
                levels[i] = static_cast<std::uint16_t>(level);
                list.Insert(list.count, {4 * i, static_cast<std::int32_t>(level)});
            } else {
                levels[i] = static_cast<std::uint16_t>(v);
            }
        }
        if (list.count > 0) {
            LevelsFromPoints(&list, levels);
        } else {
            FitPointsToLevels(c);
        }
    }
}

void CGammaGraph::RecomputeLevels() {
    GammaTable& t = active_;
    if (t.formulaMode) {
        for (int c = 0; c < kChannelCount; ++c) {
            FormulaLevels(t.exponent[c], t.gain[c], t.offset[c], t.levels[c]);
        }
        SetDisplayed(nullptr, &t.levels[t.displayChannel]);
        return;
    }
    for (int c = 0; c < kChannelCount; ++c) {
        if (!t.exact[c]) {
            LevelsFromPoints(&t.points[c], t.levels[c]);
        }
    }
    SetDisplayed(&t.points[t.displayChannel], &t.levels[t.displayChannel]);
}

void CGammaGraph::PropagateLinked() {
    GammaTable& t = active_;
    if (t.selectedChannel == kAllChannels) {
        const int from = t.displayChannel;
        for (int c = 0; c < kChannelCount; ++c) {
            if (c == from) {
                continue;
            }
            if (t.formulaMode) {
                t.exponent[c] = t.exponent[from];
                t.gain[c] = t.gain[from];
                t.offset[c] = t.offset[from];
                t.levels[c] = t.levels[from];
            } else {
                t.points[c] = t.points[from];
                t.exact[c] = t.exact[from];
                if (t.exact[from]) {
                    t.levels[c] = t.levels[from];
                }
            }
        }
    }
    RecomputeLevels();
}

void CGammaGraph::Redraw() {
    PropagateLinked();
    CCurveGraph::Redraw();
}

void CGammaGraph::DrawBackground(GraphPainter& surface) const {
    CCurveGraph::DrawBackground(surface);
    if (active_.selectedChannel == kAllChannels) {
        return;
    }
    for (int c = 0; c < kChannelCount; ++c) {
        if (c != active_.displayChannel) {
            DrawCurve(surface, 10, 10, nullptr, active_.levels[c], true, ChannelColor(c));
        }
    }
}

void CGammaGraph::FitPointsToLevels(int channel) {
    if (channel < 0 || channel >= kChannelCount) {
        return;
    }
    const LevelTable& L = active_.levels[channel];
    ControlPointList& list = active_.points[channel];
    const int maxPoints = kMaxPoints / minPoints_;
    // Wide: the spacing comes from the profile and may be any positive int.
    const std::int64_t minDist = 4LL * minPoints_;

    // End points: the last entry of the leading run of zeros and the first entry of the
    // trailing run of full-scale levels; the table's ends when there is no such run boundary.
    list.count = 2;
    list.points[0] = {0, L[0]};
    for (int i = 0; i <= 254; ++i) {
        if (L[i + 1] != 0) {
            list.points[0] = {4 * i, L[i]};
            break;
        }
    }
    list.points[1] = {1020, L[255]};
    for (int i = 255; i >= 1; --i) {
        if (L[i - 1] < kMaxLevel) {
            list.points[1] = {4 * i, L[i]};
            break;
        }
    }
    if (retryCount_ <= 0) {
        return;
    }

    LevelTable& T = fitScratch_;
    for (int r = 0;; ++r) {
        LevelsFromPoints(&list, T);
        int g = 0;
        int worst = 0;
        for (int i = 0; i < kLevelCount; ++i) {
            const int diff = std::abs(static_cast<int>(L[i]) - static_cast<int>(T[i]));
            if (diff > worst) {
                worst = diff;
                g = i;
            }
        }
        if (worst <= minDiff_) {
            return;
        }
        const ControlPoint candidate{4 * g, L[g]};
        // Point 0 stays first: a candidate left of it (levels before a first point that is not
        // the table's start) has no place, as one beyond the last point has none, and the list
        // keeps its ascending order.
        if (candidate.x <= list.points[0].x) {
            return;
        }
        bool changed = false;
        // A point is replaced only where the candidate fits between its neighbours, and a
        // candidate on a point's position takes that point's place: the list stays ascending.
        const auto fitsAt = [&](int t) {
            return list.points[t - 1].x < candidate.x &&
                   (t + 1 >= list.count || candidate.x < list.points[t + 1].x);
        };
        const auto replace = [&](int t) {
            changed = !(list.points[t] == candidate);
            list.points[t] = candidate;
        };
        for (int k = 1; k < list.count; ++k) {
            const ControlPoint& p = list.points[k];
            if (std::abs(static_cast<std::int64_t>(p.x) - candidate.x) < minDist &&
                std::abs(static_cast<std::int64_t>(p.y) - candidate.y) < minDist) {
                int target = k;
                if (k < list.count - 1 &&
                    std::abs(list.points[k + 1].x - candidate.x) < std::abs(p.x - candidate.x)) {
                    target = k + 1;
                }
                if (fitsAt(target)) {
                    replace(target);
                    break;
                }
            }
            if (p.x == candidate.x) {
                replace(k);
                break;
            }
            if (p.x > candidate.x) {
                // A full list takes no more points: the fit ends as it stands.
                if (!list.Insert(k, candidate)) {
                    return;
                }
                changed = true;
                break;
            }
        }
        if (list.count > maxPoints || r + 1 >= retryCount_) {
            return;
        }
        // A pass that changed nothing would repeat itself exactly in every later pass.
        if (!changed) {
            return;
        }
    }
}

bool CGammaGraph::ChannelsIdentical() const {
    const GammaTable& t = active_;
    if (t.formulaMode) {
        for (int c = 1; c < kChannelCount; ++c) {
            if (t.exponent[c] != t.exponent[0] || t.gain[c] != t.gain[0] ||
                t.offset[c] != t.offset[0]) {
                return false;
            }
        }
        return true;
    }
    return t.points[1].SamePoints(t.points[0]) && t.points[2].SamePoints(t.points[0]);
}

void CGammaGraph::OpenTable(const GammaFileTable& file) {
    SetFormulaMode(false);
    LoadChannels(file, kAllChannels);
    SelectChannel(ChannelsIdentical() ? kAllChannels : 0);
    ClearUndo();
}

} // namespace tonedesk
