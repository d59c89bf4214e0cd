#include "app/EditorMain.h"

#include "app/AudioTempoEstimator.h"
#include "app/ChartEditorDlg.h"
#include "app/CrashRecovery.h"
#include "app/MediaPlayerControl.h"
#include "app/QtServices.h"
#include "app/Settings.h"
#include "app/TerminationSignals.h"
#include "player/ClickTrack.h"
#include "player/PlaybackEngine.h"
#include "res/Resources.h"
#include "simfile/StepsTypes.h"
#include "view/CCustomDisplay.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>
#include <csignal>
#include <unistd.h>

namespace app {

namespace {

// A logout or shutdown waits a few seconds at most before SIGKILL; the copy
// of the unsaved work is written well before this.
constexpr int kSignalGraceMs = 1500;
constexpr int kShellSignalBase = 128;

} // namespace

int RunEditor(int argc, char** argv, const std::optional<std::string>& songPath) {
    // Whole scale factors keep the step view's pixel art sharp: it is drawn
    // scaled by whole numbers only.
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::Round);
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("beatwright"));
    QApplication::setApplicationDisplayName(QStringLiteral("Beatwright"));
    res::InitResources();
    QApplication::setWindowIcon(QIcon(res::kAppIcon128));

    player::PlaybackEngine engine;
    Settings settings;
    QtUserDialogs dialogs;
    dialogs.SetSettings(&settings);
    SteadyTickClock clock;
    AudioTempoEstimator estimator;
    const auto makeCalibrationPlayer = []() -> std::unique_ptr<player::MediaPlayer> {
        auto clicks = std::make_unique<player::PlaybackEngine>();
        clicks->OpenDecoded(player::CalibrationTrack::Make(), "calibration clicks");
        return clicks;
    };
    CChartEditorDlg::Services services{
        engine, engine, dialogs, clock, estimator, {}, {}, &settings, makeCalibrationPlayer};
    services.makeStepView = [](QWidget* parent, view::StepViewOwner& owner) -> QWidget* {
        return new view::CCustomDisplay(&owner, parent);
    };
    services.makePlayerControl = [](QWidget* parent, player::MediaPlayer& player) -> QWidget* {
        return new MediaPlayerControl(player, parent);
    };
    CChartEditorDlg window(services);
    dialogs.SetParent(&window);
    QObject::connect(&window, &CChartEditorDlg::Closed, &application, &QApplication::quit,
                     Qt::QueuedConnection);
    CrashRecovery recovery(window, edit::RecoveryStore(edit::DefaultRecoveryFolder(), getpid()));
    window.show();
    QTimer::singleShot(0, &window, [&window, &recovery, &dialogs, songPath] {
        // Work a crash left behind comes first; a file named on the command
        // line opens when there was none to restore.
        if (recovery.OfferLeftCopies(dialogs) || !songPath) {
            return;
        }
        if (sm::FormatOfPath(*songPath)) {
            window.OpenChartFile(*songPath);
        } else {
            window.OpenMusicFile(*songPath);
        }
    });
    // Ended by a signal: no questions, the unsaved work stays as a recovery
    // copy that the next start offers.
    int endedBy = 0;
    TerminationSignals termination([&recovery, &endedBy](int signal) {
        if (endedBy != 0) {
            return;
        }
        endedBy = signal;
        ExitAfter(kSignalGraceMs, signal);
        recovery.KeepNow();
        QCoreApplication::exit(kShellSignalBase + signal);
    });
    const int status = QApplication::exec();
    if (endedBy == 0) {
        recovery.Finish();
    }
    return status;
}

} // namespace app
