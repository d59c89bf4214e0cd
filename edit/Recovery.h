#pragma once

#include "edit/ImportedSong.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// Crash-safe work: while the window holds unsaved changes, a copy of the
// song document is kept in the user's state folder, one pair of files per
// running program: "recovery-PID.dwi" (the document as a save would write
// it) and "recovery-PID.info" (which song and chart file it belongs to),
// the info written last so that a pair is whole once it exists. A pair whose
// program is no longer running was left by a crash.
namespace edit {

struct RecoveryInfo {
    std::string songPath;
    std::string dwiPath; // empty when the chart was never saved
    std::optional<std::size_t> shownChart;
    bool imported = false; // the document was read from dwiPath
};

std::string FormatRecoveryInfo(const RecoveryInfo& info);
std::optional<RecoveryInfo> ParseRecoveryInfo(const std::string& text);

// $XDG_STATE_HOME/beatwright, or ~/.local/state/beatwright.
std::string DefaultRecoveryFolder();

// The document a save of these window values would write, for a song that
// was never read from a file: the one chart as a single chart.
chart::Song SongFromWindow(const WindowValues& values);

struct LeftRecovery {
    RecoveryInfo info;
    std::string document; // the .dwi text
    std::int64_t pid = 0;
};

class RecoveryStore {
public:
    RecoveryStore(std::string folder, std::int64_t pid);

    // Writes this program's copy, atomically. The reason on failure.
    std::optional<std::string> Write(const RecoveryInfo& info, const std::string& document);
    // Removes this program's copy (after a save, at a clean exit).
    void Remove();
    bool HasCopy() const;

    // Copies left by programs that are no longer running.
    std::vector<LeftRecovery> FindLeft(const std::function<bool(std::int64_t)>& isRunning) const;
    void RemoveLeft(std::int64_t pid) const;

private:
    std::string PathOf(std::int64_t pid, const char* extension) const;

    std::string m_folder;
    std::int64_t m_pid;
};

} // namespace edit
