#pragma once

#include "gamma/CurveGraph.h"
#include "gamma/GammaFile.h"
#include "gamma/GammaTable.h"

#include <array>
#include <cstdint>

namespace tonedesk {

class Settings;

// The gamma editor's data and curve graph: the active bank's GammaTable, the stored banks,
// the curve derivation and fitting, and the graph's mouse handling of CCurveGraph.
class CGammaGraph : public CCurveGraph {
public:
    // Reads GAMMA_MIN_DIFF, GAMMA_MIN_POINTS and GAMMA_RETRYCNT from the profile.
    explicit CGammaGraph(const Settings& settings, GraphHost* host = nullptr);

    // Propagates linked channels, then redraws the displayed curve.
    void Redraw() override;
    // The frame and grid, then, with a single channel selected, the other two curves.
    void DrawBackground(GraphPainter& surface) const override;

    void SelectChannel(int channel);
    void SetFormulaMode(bool on);
    bool FormulaMode() const { return active_.formulaMode; }
    int SelectedChannel() const { return active_.selectedChannel; }
    int DisplayChannel() const { return active_.displayChannel; }
    int ActiveBank() const { return bank_; }

    void SetExponent(int value) { SetParameter(active_.exponent, value); }
    void SetGain(int value) { SetParameter(active_.gain, value); }
    void SetOffset(int value) { SetParameter(active_.offset, value); }
    int Exponent() const { return active_.exponent[active_.displayChannel]; }
    int Gain() const { return active_.gain[active_.displayChannel]; }
    int Offset() const { return active_.offset[active_.displayChannel]; }

    // Channel -1 means the display channel.
    ControlPointList& Points(int channel = -1);
    LevelTable& Levels(int channel = -1);
    const GammaTable& Active() const { return active_; }

    // Called before BeginDrag: a press inside the plot square makes the current curves the
    // undo copy.
    void TakeUndoSnapshot(int mouseX, int mouseY);
    // Makes the current curves the undo copy.
    void TakeUndoSnapshot();
    void SwapUndo();
    void ClearUndo() { active_.undoState = 0; }
    int UndoState() const { return active_.undoState; }
    // False, doing nothing, when `bank` is already active or is not 0 or 1.
    bool SwitchBank(int bank);

    void LoadChannels(const GammaFileTable& file, int channel);
    void RecomputeLevels();
    void PropagateLinked();
    void FitPointsToLevels(int channel);
    bool ChannelsIdentical() const;
    // Sets the selected channel, or all three when they are linked, to exactly `levels` (each
    // clamped to 0..1023): points are fitted to them so the curve stays editable, but the
    // levels stay exactly these until the channel's points are edited. Leaves formula mode
    // (fitting every channel to its formula curve first); in point mode the previous curves
    // become the undo copy.
    void SetExactLevels(const LevelTable& levels);
    // The same with each channel's own levels: the selected channel takes its entry, all three
    // take theirs when linked; linked channels whose new levels differ leave the link, red
    // selected.
    void SetExactLevels(const std::array<LevelTable, kChannelCount>& levels);
    // Whether the channel (-1: the display channel) keeps exactly set levels.
    bool HasExactLevels(int channel = -1) const;
    // The open command's steps after a file was read: point mode, all channels loaded, all
    // channels linked when they are identical (else red), no undo.
    void OpenTable(const GammaFileTable& file);

    // The settings as used: GAMMA_MIN_POINTS below 1 counts as 1.
    int MinDiff() const { return minDiff_; }
    int MinPoints() const { return minPoints_; }
    int RetryCount() const { return retryCount_; }

protected:
    void ComputeDisplayedLevels() override;
    void BeforePointEdit() override { TakeUndoSnapshot(); }
    void PointsEdited() override;

private:
    void SetParameter(std::array<std::int32_t, kChannelCount>& values, int value);

    int minDiff_;
    int minPoints_;
    int retryCount_;
    int bank_ = 0;
    GammaTable active_{};
    std::array<GammaTable, 2> banks_{};
    LevelTable fitScratch_{};
};

// The curve colour of a channel: pure red, green or blue; black for all channels.
GraphColor ChannelColor(int channel);

} // namespace tonedesk
