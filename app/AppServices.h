#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// What the main window needs from the outside world and tests must be able
// to script: message boxes, file dialogs, the millisecond clock and the tempo
// estimate. The program passes the real ones; tests pass fakes.
namespace app {

class UserDialogs {
public:
    virtual ~UserDialogs() = default;

    // An OK message box.
    virtual void ShowMessage(std::string_view text) = 0;
    // A Yes/No question with a caption; true for Yes.
    virtual bool AskYesNo(std::string_view text, std::string_view caption) = 0;
    // An open-file dialog for an existing file. filter is Qt's form
    // ("DWI Files (*.dwi)"), empty for all files. Nothing on cancel.
    virtual std::optional<std::string> GetOpenFileName(std::string_view filter) = 0;
    // The same, starting in folder.
    virtual std::optional<std::string> GetOpenFileNameIn(std::string_view filter,
                                                         const std::string& folder) {
        static_cast<void>(folder);
        return GetOpenFileName(filter);
    }
    // A save-file dialog that asks before replacing a file and appends
    // defaultSuffix when the name has no extension. Nothing on cancel.
    virtual std::optional<std::string> GetSaveFileName(std::string_view filter,
                                                       std::string_view defaultSuffix) = 0;
    // The same, proposing a path (its folder and name); empty proposes none.
    virtual std::optional<std::string> GetSaveFileNameProposing(std::string_view filter,
                                                                std::string_view defaultSuffix,
                                                                const std::string& proposed) {
        static_cast<void>(proposed);
        return GetSaveFileName(filter, defaultSuffix);
    }
    // The About box, modal.
    virtual void ShowAbout() = 0;
    // A number between min and max with decimals places; nothing on cancel.
    virtual std::optional<double> AskNumber(std::string_view caption, std::string_view label,
                                            double value, double min, double max, int decimals) = 0;
    // A line of text; nothing on cancel.
    virtual std::optional<std::string> AskText(std::string_view caption, std::string_view label,
                                               const std::string& value) {
        static_cast<void>(caption);
        static_cast<void>(label);
        static_cast<void>(value);
        return std::nullopt;
    }
    enum class SaveChoice { kSave, kDiscard, kCancel };
    // "Save changes to NAME?" with Save, Discard and Cancel.
    virtual SaveChoice AskSaveDiscardCancel(std::string_view text, std::string_view caption) = 0;
};

// Milliseconds from a monotonic clock, wrapping at 2^32 like the tick
// counter the tap arithmetic was designed for.
class TickClock {
public:
    virtual ~TickClock() = default;
    virtual std::uint32_t NowMs() = 0;
};

struct TempoEstimate {
    // The estimate; 0 when no beat was found. Unset when the run failed.
    std::optional<float> bpm;
    std::string error; // a message for the user when the run failed
};

// Estimates a song's tempo. Runs on a worker thread; progress (0-100) is
// reported from that thread.
class TempoEstimator {
public:
    virtual ~TempoEstimator() = default;
    virtual TempoEstimate Estimate(const std::string& path,
                                   const std::function<void(int percent)>& progress) = 0;
};

} // namespace app
