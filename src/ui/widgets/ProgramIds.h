#pragma once

namespace tonedesk {

// Ids the program's windows share.

// The main frame's commands, which the dialogs route to it; a button whose id is one of them
// runs it. Ids kFrameCommandFirst..kFrameCommandLast on a tab page are the frame's commands.
inline constexpr int kFrameCommandFirst = 20000;
inline constexpr int kFrameCommandLast = 30000;
inline constexpr int kCommandGammaDialog = 20000;
// Opening and saving a file: a settings file in the control panel, a gamma file in the gamma
// editor.
inline constexpr int kCommandFileOpen = 57601;
inline constexpr int kCommandFileSaveAs = 57604;
// The about box.
inline constexpr int kCommandAbout = 57664;

// The program's icon in the resource bundle.
inline constexpr int kIconProgram = 128;

} // namespace tonedesk
