#pragma once

#include "app/AppServices.h"

#include <QElapsedTimer>

class QFileDialog;
class QWidget;

namespace app {

// Gives a file dialog the Qt form of a filter ("DWI Files (*.dwi)"; empty
// for all files), matched whatever the case of the names, and the suffix
// appended to a name typed without one (empty for none).
void SetUpFileDialog(QFileDialog& dialog, std::string_view filter, std::string_view defaultSuffix);
class Settings;

// Message boxes and file dialogs on screen, parented to the main window.
// With settings, each file dialog opens in the folder it last chose from.
class QtUserDialogs : public UserDialogs {
public:
    void SetParent(QWidget* parent) { m_parent = parent; }
    void SetSettings(Settings* settings) { m_settings = settings; }

    void ShowMessage(std::string_view text) override;
    bool AskYesNo(std::string_view text, std::string_view caption) override;
    std::optional<std::string> GetOpenFileName(std::string_view filter) override;
    std::optional<std::string> GetOpenFileNameIn(std::string_view filter,
                                                 const std::string& folder) override;
    std::optional<std::string> GetSaveFileName(std::string_view filter,
                                               std::string_view defaultSuffix) override;
    std::optional<std::string> GetSaveFileNameProposing(std::string_view filter,
                                                        std::string_view defaultSuffix,
                                                        const std::string& proposed) override;
    void ShowAbout() override;
    std::optional<double> AskNumber(std::string_view caption, std::string_view label, double value,
                                    double min, double max, int decimals) override;
    std::optional<std::string> AskText(std::string_view caption, std::string_view label,
                                       const std::string& value) override;
    SaveChoice AskSaveDiscardCancel(std::string_view text, std::string_view caption) override;

private:
    // Runs the dialog in folder, or else where this kind of dialog was last
    // left; remembers where the user chose a file.
    std::optional<std::string> Run(QFileDialog& dialog, std::string_view filter,
                                   const std::string& folder = {});

    QWidget* m_parent = nullptr;
    Settings* m_settings = nullptr;
};

// Milliseconds of a monotonic clock, truncated to 32 bits.
class SteadyTickClock : public TickClock {
public:
    SteadyTickClock() { m_timer.start(); }
    std::uint32_t NowMs() override { return static_cast<std::uint32_t>(m_timer.elapsed()); }

private:
    QElapsedTimer m_timer;
};

} // namespace app
