#pragma once

#include <array>
#include <cstdint>

namespace tonedesk {

// Levels are 10-bit output values, 0..1023.
inline constexpr int kMaxLevel = 1023;
// Entries of a level table; entry i sits at input position 4 x i.
inline constexpr int kLevelCount = 256;
// Most points a control-point list holds.
inline constexpr int kMaxPoints = 256;
// The colour channels; -1 selects all three, linked.
inline constexpr int kChannelCount = 3;
inline constexpr int kAllChannels = -1;

struct ControlPoint {
    std::int32_t x = 0; // input position, 0..1023
    std::int32_t y = 0; // output level, normally 0..1023

    friend bool operator==(const ControlPoint&, const ControlPoint&) = default;
};

// Control points in ascending x; never more than kMaxPoints.
struct ControlPointList {
    std::int16_t count = 0;
    std::array<ControlPoint, kMaxPoints> points{};

    bool SamePoints(const ControlPointList& other) const;
    // Inserts p before index (0..count); false when the list is full.
    bool Insert(int index, ControlPoint p);
    // Removes the point at index (0..count-1).
    void Remove(int index);
};

// One channel's 256 output levels.
using LevelTable = std::array<std::uint16_t, kLevelCount>;

// The identity ramp: entry i = 4 x i.
LevelTable IdentityLevels();

// One bank's whole editing state.
struct GammaTable {
    std::int32_t selectedChannel = kAllChannels; // -1 all linked, 0 red, 1 green, 2 blue
    std::int32_t displayChannel = 0;             // the channel drawn and edited
    bool formulaMode = false;
    // Formula parameters per channel, each -30..30.
    std::array<std::int32_t, kChannelCount> exponent{};
    std::array<std::int32_t, kChannelCount> gain{};
    std::array<std::int32_t, kChannelCount> offset{};
    std::int32_t undoState = 0; // 0 nothing, 1 undo possible, -1 redo possible
    std::array<ControlPointList, kChannelCount> points{};
    std::array<LevelTable, kChannelCount> levels{IdentityLevels(), IdentityLevels(),
                                                 IdentityLevels()};

    // The curves as they were before the last press in the plot, or after the last undo.
    struct Curves {
        std::array<ControlPointList, kChannelCount> points{};
        std::array<LevelTable, kChannelCount> levels{};
    };
    Curves undo{};
};

} // namespace tonedesk
