#pragma once

// Menu command ids; the window routes each to one operation.
namespace app {

enum CommandId : int {
    kCmdOpenMusicFile = 32771,
    kCmdSave = 32772,
    kCmdSaveAs = 32773,
    kCmdImportDwiFile = 32776,
    kCmdToggleMetronome = 32778,
    kCmdTapTempoMode = 32779,
    kCmdStepInputMode = 32780,
    kCmdAbout = 32782,
    kCmdOpenChart = 32790,
    kCmdCalibrateTiming = 32791,
    kCmdFindTempo = 32800,
    kCmdToggleWaveform = 32801,
    kCmdUndo = 32802,
    kCmdRedo = 32803,
    kCmdFinerSnap = 32804,
    kCmdCoarserSnap = 32805,
    kCmdToggleChartList = 32806,
    kCmdExit = 32807,
};

} // namespace app
