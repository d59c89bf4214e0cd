#include "app/ChartEditorDlg.h"

#include "app/BackgroundWork.h"
#include "app/ColorLabel.h"
#include "app/CommandIds.h"
#include "app/DialogUnits.h"
#include "app/KeyRouting.h"
#include "app/LabelFit.h"
#include "app/PleaseWaitDlg.h"
#include "app/Settings.h"
#include "app/SpinButton.h"
#include "dwi/AtomicFile.h"
#include "dwi/DwiImporter.h"
#include "dwi/DwiSong.h"
#include "dwi/DwiWriter.h"
#include "player/KeyPressTime.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QFontDatabase>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <cmath>

namespace app {

namespace {

using namespace std::chrono_literals;

const QString kOpenMusicText = QStringLiteral("Open a music file from the main menu.");
const QString kSongOpenedText =
    QStringLiteral("Use the controls to adjust the BPM/Gap or start tapping keys to manually "
                   "calculate the BPM/Gap.");
const QString kTapModeText = QStringLiteral("Press any key to begin tapping out the BPM/tempo");
const QString kFirstTapText =
    QStringLiteral("Fine tune BPM/Gap with the controls below, then select \"Step Data Input\" "
                   "from the Mode menu to disable keypresses being interpreted as tempo entry.");
const QString kStepModeText =
    QStringLiteral("Use the arrow keys to enter step data into the scrolling window on the "
                   "right.  Use space key to erase step data at current location.");
const QString kSilentText = QStringLiteral("No audio device: the song plays silently.");
const QString kZeroReadout = QStringLiteral("000.0");
constexpr char kDwiFilter[] = "DWI Files (*.dwi)";
constexpr char kDwiDefaultSuffix[] = "dwi";
constexpr std::int32_t kRepeatForever = 1000000;
// Air between a label's text and the box beside it.
constexpr int kLabelGapPixels = 3;
// Keypad digits are told apart from the main row's by this offset.
constexpr int kKeypadBase = 0x10000000;
constexpr std::int32_t kNormalSpeedPercent = 100;
constexpr float kPercent = 0.01f;

// Metronome polling. While the song plays with the click on, the worker
// looks every millisecond and hands each click to the player ahead of its
// beat, so the player can start it on the beat's sample; otherwise it sleeps
// until something wakes it.
constexpr auto kMetronomePoll = 1ms;
constexpr auto kIdleWait = 250ms;
constexpr auto kRepaintInterval = 16ms;
// Handed over this much earlier than the player asks, in real time, so that
// a pass that comes a poll late is still in time.
constexpr double kClickMarginSeconds = 0.005;
// A beat that passed more than this long ago (a seek, a pause) is skipped
// silently rather than clicked late.
constexpr double kClickLateSeconds = 0.02;

QString FormatBpm(float bpm) {
    return QString::asprintf("%3.1f", static_cast<double>(bpm));
}
QString FormatGap(float gap) {
    return QString::asprintf("%1.2f", static_cast<double>(gap));
}
QString FormatSlot(std::int32_t slot) {
    return QString::number(static_cast<std::uint32_t>(slot));
}
QString FormatSampleTime(float seconds) {
    return QString::asprintf("%3.2f", static_cast<double>(seconds));
}

std::string ToStd(const QString& text) {
    return text.toUtf8().toStdString();
}
QString FromStd(const std::string& text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

double CChartEditorDlg::RateForSpeed(std::int32_t speedPercent) {
    // The neutral speed is exactly 1.0 so that the player passes the samples
    // through untouched; 100 * 0.01f would be a hair above.
    if (speedPercent == kNormalSpeedPercent) {
        return 1.0;
    }
    return static_cast<double>(speedPercent) * static_cast<double>(kPercent);
}

CChartEditorDlg::CChartEditorDlg(Services services, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowCloseButtonHint),
      m_player(services.player), m_click(services.click), m_dialogs(services.dialogs),
      m_clock(services.clock), m_estimator(services.estimator), m_settings(services.settings),
      m_makeCalibrationPlayer(std::move(services.makeCalibrationPlayer)) {
    setObjectName(QStringLiteral("102"));
    setWindowTitle(QStringLiteral("Beatwright"));
    BuildMenus();
    BuildControls();
    if (services.makeStepView) {
        QWidget* view = services.makeStepView(centralWidget(), *this);
        view->setGeometry(m_stepView->geometry());
        view->setObjectName(QStringLiteral("1016"));
        view->stackUnder(m_stepView);
        delete m_stepView;
        m_stepView = view;
    }
    if (services.makePlayerControl) {
        QWidget* control = services.makePlayerControl(centralWidget(), m_player);
        control->setGeometry(m_playerControl->geometry());
        control->setObjectName(QStringLiteral("1001"));
        delete m_playerControl;
        m_playerControl = control;
    }
    setFixedSize(sizeHint());
    qApp->installEventFilter(this);
    ConnectPlayerEvents();
    Initialise();
    RestoreSettings();
    MarkSaved();
}

CChartEditorDlg::~CChartEditorDlg() {
    qApp->removeEventFilter(this);
    m_player.SetEvents({});
    StopWorkers();
}

void CChartEditorDlg::BuildMenus() {
    struct Item {
        const char* text;
        int id;
    };
    const auto addItems = [this](QMenu* menu, std::initializer_list<Item> items) {
        for (const Item& item : items) {
            QAction* action = menu->addAction(QString::fromUtf8(item.text));
            action->setObjectName(QString::number(item.id));
            const int id = item.id;
            connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
        }
    };
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    addItems(file, {{"&Open Music File", kCmdOpenMusicFile},
                    {"Open &Chart...", kCmdOpenChart},
                    {"&Import DWI File", kCmdImportDwiFile},
                    {"&Save", kCmdSave},
                    {"Save &As", kCmdSaveAs}});
    BuildRecentSongsMenu(file);
    QMenu* options = menuBar()->addMenu(QStringLiteral("&Options"));
    addItems(options, {{"Play Metronome Sound", kCmdToggleMetronome},
                       {"Calibrate Timing...", kCmdCalibrateTiming},
                       {"Find Tempo and First Beat...", kCmdFindTempo}});
    QMenu* viewMenu = menuBar()->addMenu(QStringLiteral("&View"));
    addItems(viewMenu, {{"&Waveform", kCmdToggleWaveform}});
    QMenu* mode = menuBar()->addMenu(QStringLiteral("&Mode"));
    addItems(mode, {{"&Tap Tempo/BPM", kCmdTapTempoMode}, {"&Step Data Input", kCmdStepInputMode}});
    QAction* about = menuBar()->addAction(QStringLiteral("&About"));
    about->setObjectName(QString::number(kCmdAbout));
    connect(about, &QAction::triggered, this, [this] { OnCommand(kCmdAbout); });

    m_metronomeAction = options->actions().at(0);
    m_tapModeAction = mode->actions().at(0);
    m_stepModeAction = mode->actions().at(1);
    for (QAction* action : {m_metronomeAction, m_tapModeAction, m_stepModeAction}) {
        action->setCheckable(true);
    }
    m_metronomeAction->setChecked(true);
    m_tapModeAction->setChecked(true);
    m_waveformAction = viewMenu->actions().at(0);
    m_waveformAction->setCheckable(true); // off at start: the step view as it always was

    m_commands = {
        {kCmdOpenMusicFile, [this] { OpenMusicFile(); }},
        {kCmdOpenChart, [this] { OpenChart(); }},
        {kCmdImportDwiFile, [this] { ImportDwiFile(); }},
        {kCmdSave, [this] { SaveDwiFile(false); }},
        {kCmdSaveAs, [this] { SaveDwiFile(true); }},
        {kCmdToggleMetronome, [this] { ToggleMetronome(); }},
        {kCmdCalibrateTiming, [this] { CalibrateTiming(); }},
        {kCmdTapTempoMode,
         [this] {
             SetMode(kTapTempo);
             m_tapModeAction->setChecked(true);
             m_stepModeAction->setChecked(false);
         }},
        {kCmdStepInputMode,
         [this] {
             SetMode(kStepInput);
             m_tapModeAction->setChecked(false);
             m_stepModeAction->setChecked(true);
         }},
        {kCmdAbout, [this] { m_dialogs.ShowAbout(); }},
        {kCmdFindTempo, [this] { OpenFindTempo(); }},
        {kCmdToggleWaveform, [this] { ShowWaveform(!m_waveformOn); }},
    };
}

void CChartEditorDlg::OnCommand(int commandId) {
    const auto found = m_commands.find(commandId);
    if (found != m_commands.end()) {
        found->second();
    }
}

void CChartEditorDlg::BuildControls() {
    auto* central = new QWidget(this);
    central->setFixedSize(DialogRect(0, 0, 357, 295).size());
    central->setFont(DialogFont(central->font()));
    setCentralWidget(central);

    const auto place = [central](QWidget* widget, int id, QRect rect) {
        widget->setParent(central);
        if (id != 0) {
            widget->setObjectName(QString::number(id));
        }
        widget->setGeometry(rect);
        return widget;
    };
    const auto label = [&](const char* text, QRect rect, Qt::Alignment alignment = Qt::AlignLeft) {
        auto* widget = new QLabel(QString::fromUtf8(text));
        widget->setAlignment(alignment | Qt::AlignTop);
        place(widget, 0, rect.adjusted(0, -2, 0, 3));
        // A face wider than the one the layout was drawn with must not cut
        // the text: grow the label, keeping its anchor.
        const int needed = widget->sizeHint().width();
        if (needed > rect.width()) {
            const int grow = needed - rect.width();
            const int left = (alignment & Qt::AlignHCenter) ? rect.left() - grow / 2 : rect.left();
            widget->setGeometry(left, widget->y(), needed, widget->height());
        }
    };
    const auto readOnlyEdit = [&](int id, QRect rect) {
        auto* edit = new QLineEdit;
        edit->setReadOnly(true);
        place(edit, id, rect);
        return edit;
    };
    const auto button = [&](const char* text, int id, QRect rect,
                            void (CChartEditorDlg::*handler)()) {
        auto* widget = new QPushButton(QString::fromUtf8(text));
        // Tab reaches it, but a click leaves the keyboard where it was, so
        // Space and the arrows keep entering steps instead of pressing it.
        widget->setFocusPolicy(Qt::TabFocus);
        place(widget, id, rect);
        if (handler) {
            connect(widget, &QPushButton::clicked, this, handler);
        }
        return widget;
    };
    const auto spin = [&](int id, QRect rect) {
        auto* widget = new CSpinButton;
        place(widget, id, rect);
        return widget;
    };
    const auto list = [&](int id, QRect rect, QStringList items, bool editable) {
        auto* combo = new QComboBox;
        combo->setEditable(editable);
        combo->addItems(items);
        combo->setFocusPolicy(Qt::TabFocus);
        // The rectangle's height includes the dropped list; the box is one row.
        place(combo, id, QRect(rect.topLeft(), QSize(rect.width(), DialogUnitsToPixelsY(13))));
        return combo;
    };

    m_playerControl = place(new QWidget, 1001, DialogRect(8, 73, 187, 27));
    const int centreImage = CColorLabel::kCentre | CColorLabel::kCentreImage;
    m_bpmReadout = static_cast<CColorLabel*>(
        place(new CColorLabel(centreImage), 1005, DialogRect(8, 7, 121, 54)));
    m_elapsedReadout = static_cast<CColorLabel*>(
        place(new CColorLabel(centreImage), 1006, DialogRect(140, 7, 47, 19)));
    label("Elapsed Secs", DialogRect(140, 26, 47, 8), Qt::AlignHCenter);
    m_lastHitReadout = static_cast<CColorLabel*>(
        place(new CColorLabel(centreImage), 1007, DialogRect(140, 34, 47, 19)));
    label("Last Hit", DialogRect(140, 53, 47, 8), Qt::AlignHCenter);
    for (CColorLabel* readout : {m_bpmReadout, m_elapsedReadout, m_lastHitReadout}) {
        readout->setFrameStyle(QFrame::Box | QFrame::Plain);
    }
    m_instructions = new QPlainTextEdit;
    m_instructions->setReadOnly(true);
    // Read-only text: keys typed for tapping and steps must not scroll it.
    m_instructions->setFocusPolicy(Qt::NoFocus);
    // Three lines of the dialog font fill the box only with a slim margin.
    m_instructions->document()->setDocumentMargin(1);
    place(m_instructions, 1008, DialogRect(8, 106, 187, 28));
    // The spin's own rectangle lies under X2; attached to its box like an
    // up-down control aligned to its buddy, it takes the box's right end.
    m_bpmEdit = readOnlyEdit(1010, DialogRect(25, 138, 36, 14));
    m_bpmSpin = spin(1011, DialogRect(61, 138, 11, 14));
    label("BPM", DialogRect(8, 141, 14, 8));
    m_gapEdit = readOnlyEdit(1012, DialogRect(143, 138, 47, 14));
    m_gapSpin = spin(1013, DialogRect(191, 138, 11, 14));
    label("Gap", DialogRect(125, 141, 14, 8));
    button("Gap Plus HalfBeat", 1014, DialogRect(26, 155, 72, 14),
           &CChartEditorDlg::OnGapPlusHalfBeat);
    button("Gap Minus HalfBeat", 1015, DialogRect(114, 155, 72, 14),
           &CChartEditorDlg::OnGapMinusHalfBeat);
    m_stepView = place(new QWidget, 1016, DialogRect(217, 7, 133, 185));
    label("Song Speed", DialogRect(18, 178, 39, 8));
    button("0.5X", 1017, DialogRect(60, 175, 21, 14), nullptr);
    button("0.75X", 1018, DialogRect(85, 175, 21, 14), nullptr);
    button("1X", 1019, DialogRect(110, 175, 21, 14), nullptr);
    button("1.5X", 1020, DialogRect(135, 175, 21, 14), nullptr);
    m_speedEdit = readOnlyEdit(1021, DialogRect(161, 175, 32, 14));
    m_speedSpin = spin(1022, DialogRect(193, 175, 11, 14));
    label("Title", DialogRect(7, 196, 20, 8));
    label("Artist", DialogRect(7, 213, 20, 8));
    label("Difficulty", DialogRect(127, 196, 34, 8));
    label("Foot Rating", DialogRect(123, 213, 40, 8));
    m_titleEdit = static_cast<QLineEdit*>(place(new QLineEdit, 1023, DialogRect(30, 193, 89, 14)));
    m_artistEdit = static_cast<QLineEdit*>(place(new QLineEdit, 1024, DialogRect(30, 209, 89, 14)));
    m_difficultyList =
        list(1025, DialogRect(164, 195, 48, 68),
             {"BASIC", "LIGHT", "ANOTHER", "TRICK", "STANDARD", "MANIAC", "SSR", "HEAVY"}, false);
    QStringList ratings;
    for (int rating = 1; rating <= 10; ++rating) {
        ratings << QString::number(rating);
    }
    m_footRatingList = list(1026, DialogRect(164, 211, 48, 59), ratings, false);
    label("Range Start", DialogRect(220, 196, 40, 8));
    m_rangeStartEdit = readOnlyEdit(1027, DialogRect(261, 195, 24, 14));
    label("Range End", DialogRect(289, 196, 36, 8));
    m_rangeEndEdit = readOnlyEdit(1028, DialogRect(325, 195, 24, 14));
    m_rangeActionList = list(1029, DialogRect(263, 211, 48, 62),
                             {"+1 HalfBeat", "-1 HalfBeat", "Clear", "Randomize"}, true);
    label("Range Action", DialogRect(220, 213, 44, 8));
    QWidget* doIt =
        button("Do it!", 1030, DialogRect(315, 211, 25, 12), &CChartEditorDlg::OnDoRangeAction);
    // The closed list shows its longest action whole; "Do it!" keeps its
    // distance from it, within the Randomize frame's right edge.
    const int actionWidth =
        std::max(m_rangeActionList->width(), m_rangeActionList->sizeHint().width());
    m_rangeActionList->resize(actionWidth, m_rangeActionList->height());
    const int gap = doIt->x() - DialogRect(263 + 48, 211, 0, 0).x();
    const int frameRight = DialogRect(7, 244, 343, 43).right();
    doIt->move(std::min(frameRight - doIt->width() + 1,
                        std::max(doIt->x(), m_rangeActionList->geometry().right() + 1 + gap)),
               doIt->y());
    label("Jump Probability", DialogRect(14, 257, 53, 8));
    m_jumpEdit = readOnlyEdit(1031, DialogRect(72, 255, 40, 14));
    m_jumpSpin = spin(1032, DialogRect(114, 255, 10, 14));
    label("Max String/Jumps", DialogRect(127, 257, 58, 8));
    auto* group = new QGroupBox(QStringLiteral("Randomize Settings"));
    place(group, 0, DialogRect(7, 244, 343, 43));
    // The frame is drawn behind the controls it surrounds and takes no clicks.
    group->lower();
    group->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_maxJumpsEdit = readOnlyEdit(1033, DialogRect(190, 255, 40, 14));
    m_maxJumpsSpin = spin(1034, DialogRect(232, 255, 11, 14));
    button("X2", 1035, DialogRect(75, 138, 11, 14), &CChartEditorDlg::OnBpmDouble);
    button("X.5", 1036, DialogRect(87, 138, 13, 14), &CChartEditorDlg::OnBpmHalve);
    label("Sample Start", DialogRect(7, 229, 42, 8));
    m_sampleStartEdit = readOnlyEdit(1039, DialogRect(52, 227, 40, 14));
    label("Sample End", DialogRect(114, 229, 38, 8));
    button("Set", 1040, DialogRect(93, 227, 17, 14), &CChartEditorDlg::OnSampleStartSet);
    // Its left end moves 3 units right: no room is left between the first
    // "Set" and this box for the label of a face wider than the layout's.
    m_sampleEndEdit = readOnlyEdit(1041, DialogRect(155, 227, 37, 14));
    button("Set", 1042, DialogRect(194, 227, 17, 14), &CChartEditorDlg::OnSampleEndSet);

    FitLabelsBesideControls(central, kLabelGapPixels);

    m_jumpSpin->SetBuddy(m_jumpEdit);
    m_maxJumpsSpin->SetBuddy(m_maxJumpsEdit);
    connect(m_bpmSpin, &CSpinButton::DeltaPos, this, [this](int, int delta) { OnBpmSpin(delta); });
    connect(m_gapSpin, &CSpinButton::DeltaPos, this, [this](int, int delta) { OnGapSpin(delta); });
    connect(m_speedSpin, &CSpinButton::DeltaPos, this,
            [this](int positionBefore, int) { SetSongSpeed(positionBefore); });
    const std::pair<int, std::int32_t> speeds[] = {
        {1017, 50}, {1018, 75}, {1019, 100}, {1020, 150}};
    for (const auto& [id, percent] : speeds) {
        auto* speedButton = central->findChild<QPushButton*>(QString::number(id));
        const std::int32_t speed = percent;
        connect(speedButton, &QPushButton::clicked, this, [this, speed] { SetSongSpeed(speed); });
    }
}

void CChartEditorDlg::Initialise() {
    m_player.SetRepeat(kRepeatForever);
    {
        std::lock_guard<std::mutex> lock(m_timingLock);
        m_timing = chart::TimingState{};
    }
    m_taps = chart::TapState{};
    m_metronomeOn = true;
    m_mode = kTapTempo;
    m_speedEdit->setText(QStringLiteral("100"));
    m_difficultyList->setCurrentIndex(0);
    m_footRatingList->setCurrentIndex(0);
    m_rangeActionList->setCurrentIndex(0);
    m_range = chart::EditRange{};
    m_rangeStartEdit->setText(QStringLiteral("1"));
    m_rangeEndEdit->setText(QStringLiteral("0"));
    for (CSpinButton* spin : {m_jumpSpin, m_maxJumpsSpin}) {
        spin->SetRange(1, 100);
        spin->SetPosition(1);
    }
    m_sampleStartEdit->setText(QStringLiteral("0.0"));
    m_sampleEndEdit->setText(QStringLiteral("5.0"));
    m_chart.clear();
    SetInstructions(kOpenMusicText);

    // A fixed-pitch face stands in for the old terminal font of the read-outs.
    const QString fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    m_bpmReadout->SetFont(fixed, 35, true);
    m_elapsedReadout->SetFont(fixed, 16, true);
    m_lastHitReadout->SetFont(fixed, 16, true);
    for (CColorLabel* readout : {m_bpmReadout, m_elapsedReadout, m_lastHitReadout}) {
        readout->SetText(kZeroReadout);
        readout->SetTextColor(Qt::black, true);
        readout->SetBkColor(Qt::white, true);
    }
    m_bpmEdit->setText(QStringLiteral("0.0"));
    m_gapEdit->setText(QStringLiteral("0.00"));
    m_stopCounter = 0;
    m_gapSpin->SetRange(0, 100);
    m_bpmSpin->SetRange(0, 100);
    m_speedSpin->SetRange(1, 300);
    m_speedSpin->SetPosition(100);
    StartWorkers();
}

// Player events arrive on the player's threads; they are handled on the
// window's thread. A seek the window makes itself is reported while it is
// made, as it always was, so the window's next step sees its effect.
void CChartEditorDlg::ConnectPlayerEvents() {
    const auto onWindowThread = [this](std::function<void()> handler) {
        if (QThread::currentThread() == thread()) {
            handler();
        } else {
            QMetaObject::invokeMethod(this, std::move(handler), Qt::QueuedConnection);
        }
    };
    player::PlayerEvents events;
    events.endOfPlayback = [this, onWindowThread] {
        onWindowThread([this] { OnEndOfPlayback(); });
    };
    events.playStateChange = [this, onWindowThread](player::PlayState oldState,
                                                    player::PlayState newState) {
        onWindowThread([this, oldState, newState] { OnPlayStateChange(oldState, newState); });
    };
    events.positionChange = [this, onWindowThread](double oldPosition, double newPosition) {
        onWindowThread(
            [this, oldPosition, newPosition] { OnPositionChange(oldPosition, newPosition); });
    };
    m_player.SetEvents(std::move(events));
}

chart::TimingState CChartEditorDlg::Timing() const {
    std::lock_guard<std::mutex> lock(m_timingLock);
    return m_timing;
}

void CChartEditorDlg::RepaintStepView() {
    m_stepView->update();
}

void CChartEditorDlg::SetInstructions(const QString& text) {
    m_instructions->setPlainText(text);
}

void CChartEditorDlg::ShowReadout(CColorLabel* readout, const QString& text) {
    readout->SetText(text);
    readout->update();
}

void CChartEditorDlg::ShowBpm() {
    const QString text = FormatBpm(m_timing.bpm);
    ShowReadout(m_bpmReadout, text);
    m_bpmEdit->setText(text);
}

void CChartEditorDlg::ShowGap() {
    m_gapEdit->setText(FormatGap(m_timing.gapSeconds));
}

void CChartEditorDlg::ShowRange() {
    m_rangeStartEdit->setText(FormatSlot(m_range.start));
    m_rangeEndEdit->setText(FormatSlot(m_range.end));
}

void CChartEditorDlg::SetRangeStart(std::int32_t slot) {
    m_range.start = slot;
    m_rangeStartEdit->setText(FormatSlot(slot));
    RepaintStepView();
}

void CChartEditorDlg::SetRangeEnd(std::int32_t slot) {
    m_range.end = slot;
    m_rangeEndEdit->setText(FormatSlot(slot));
    RepaintStepView();
}

// --- Opening a song -------------------------------------------------------

void CChartEditorDlg::OpenMusicFile() {
    const std::optional<std::string> path = m_dialogs.GetOpenFileName({});
    if (path) {
        OpenMusicFile(*path);
    }
}

bool CChartEditorDlg::OpenMusicFile(const std::string& path) {
    // The estimate runs on a worker while the progress window, modal, keeps
    // the screen alive; the window takes no input until it is done.
    CPleaseWaitDlg progress(this);
    progress.setWindowModality(Qt::ApplicationModal);
    progress.show();
    TempoEstimate estimate;
    player::MediaPlayer::OpenCommit openSong;
    {
        QEventLoop loop;
        QPointer<CPleaseWaitDlg> progressWindow(&progress);
        std::thread run([&] {
            estimate = m_estimator.Estimate(path, [&progress](int percent) {
                QMetaObject::invokeMethod(
                    &progress, [&progress, percent] { progress.SetPercent(percent); },
                    Qt::QueuedConnection);
            });
            // The song is decoded here too; only the swap is left to this thread.
            if (estimate.bpm) {
                openSong = m_player.PrepareOpen(path);
            }
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        run.join();
    }
    progress.hide();
    if (!estimate.bpm) {
        m_dialogs.ShowMessage(estimate.error);
        return false;
    }
    if (const auto error = openSong()) {
        m_dialogs.ShowMessage(*error);
        RepaintStepView();
        return false;
    }
    m_player.SetRate(RateForSpeed(m_timing.songSpeedPercent));
    m_dwiFileName.clear();
    m_imported.Reset();
    SetInstructions(kSongOpenedText);
    WithTimingLock([&](chart::TimingState& timing) {
        timing.bpm = *estimate.bpm;
        timing.nextClickSeconds =
            chart::AnchorNextClick(0.0, m_player.PositionSeconds(), chart::BeatSeconds(timing.bpm));
        timing.gapSeconds = 0.0f;
        // The first press starts the series: the time spent before it is
        // not a beat.
        chart::ArmAfterOpening(m_taps);
        m_mode = kTapTempo;
    });
    RememberSong(path);
    ShowReadout(m_elapsedReadout, kZeroReadout);
    ShowReadout(m_lastHitReadout, kZeroReadout);
    ShowGap();
    ShowBpm();
    // Said once per run, under the instructions, where it stops neither the
    // user nor a script; the next instruction replaces it.
    if (m_player.PlaysSilently() && !m_toldSilent) {
        m_toldSilent = true;
        SetInstructions(kSongOpenedText + QLatin1Char('\n') + kSilentText);
    }
    MarkSaved();
    return true;
}

// --- DWI files --------------------------------------------------------------

void CChartEditorDlg::SaveDwiFile(bool alwaysAsk) {
    if (m_player.FileName().empty()) {
        m_dialogs.ShowMessage("You must first load a music file.");
        return;
    }
    const std::string previousName = m_dwiFileName;
    if (alwaysAsk || m_dwiFileName.empty()) {
        const auto path = m_dialogs.GetSaveFileName(kDwiFilter, kDwiDefaultSuffix);
        if (!path) {
            return;
        }
        m_dwiFileName = *path;
    }
    m_title = ToStd(m_titleEdit->text());
    m_artist = ToStd(m_artistEdit->text());
    m_difficulty = ToStd(m_difficultyList->currentText());
    m_footRating = dwi::FootRatingFromText(ToStd(m_footRatingList->currentText()));

    std::optional<std::string> error;
    if (m_imported.Active()) {
        EditChart([&](chart::StepChart& steps) {
            dwi::ExtendChartToCoverSong(steps, m_player.DurationSeconds(), m_timing.bpm,
                                        m_timing.gapSeconds);
        });
        const edit::WindowValues now = CurrentWindowValues();
        // On a worker: an imported document can be as large as its file.
        chart::Song written;
        BackgroundWork(this, kWritingDwiText).Run([&] {
            const std::string bytes = dwi::WriteSong(m_imported.SongToSave(now));
            error = dwi::WriteFileAtomically(m_dwiFileName, bytes);
            if (!error) {
                written = dwi::ReadSong(bytes);
            }
        });
        if (!error) {
            m_imported.Saved(std::move(written), now);
        }
    } else {
        dwi::DwiSong song;
        song.title = m_title;
        song.artist = m_artist;
        song.difficulty = m_difficulty;
        song.footRating = m_footRating;
        song.bpm = m_timing.bpm;
        song.gapSeconds = m_timing.gapSeconds;
        song.sampleStartSeconds = m_timing.sampleStartSeconds;
        song.sampleEndSeconds = m_timing.sampleEndSeconds;
        EditChart([&](chart::StepChart& steps) {
            error = dwi::SaveDwi(m_dwiFileName, song, m_player.DurationSeconds(), steps);
        });
    }
    if (!error) {
        MarkSaved();
        RememberSong(m_dwiFileName);
    }
    if (error) {
        m_dialogs.ShowMessage("The chart could not be saved to \"" + m_dwiFileName + "\":\r\n" +
                              *error + "\r\nThe file on disk was not changed.");
        m_dwiFileName = previousName;
    }
}

void CChartEditorDlg::ImportDwiFile() {
    if (m_player.FileName().empty()) {
        m_dialogs.ShowMessage("First load your song file, then import the DWI data.");
        return;
    }
    const auto path = m_dialogs.GetOpenFileName(kDwiFilter);
    if (!path) {
        return;
    }
    if (!dwi::HasDwiExtension(*path)) {
        m_dialogs.ShowMessage("File does not have a DWI extension.");
        return;
    }
    // Read and scanned on a worker: a huge file must not freeze the window.
    dwi::DwiFileBytes file;
    std::size_t offered = 0;
    dwi::DwiImport found;
    chart::Song song;
    BackgroundWork work(this, kReadingDwiText);
    work.Run([&] {
        file = dwi::ReadDwiFile(*path);
        if (!file.error.empty()) {
            return;
        }
        found = dwi::ScanDwi(
            file.bytes,
            [&](std::string_view text, std::string_view caption) {
                ++offered;
                return work.OnWindowThread([&] { return m_dialogs.AskYesNo(text, caption); });
            },
            [&](std::string_view text) {
                work.OnWindowThread([&] { m_dialogs.ShowMessage(text); });
            });
        song = dwi::ReadSong(file.bytes);
    });
    if (!file.error.empty()) {
        m_dialogs.ShowMessage(file.error);
        return;
    }
    m_dwiFileName = *path;
    for (const std::string& message : dwi::UnusableNumberMessages(found, *path)) {
        m_dialogs.ShowMessage(message);
    }

    if (found.title) {
        m_title = *found.title;
    }
    if (found.artist) {
        m_artist = *found.artist;
    }
    if (found.difficulty) {
        m_difficulty = *found.difficulty;
    }
    if (found.footRating) {
        m_footRating = *found.footRating;
    }
    if (found.steps) {
        EditChart([&](chart::StepChart& steps) { steps = *found.steps; });
    }
    WithTimingLock([&](chart::TimingState& timing) {
        if (found.bpm) {
            timing.bpm = *found.bpm;
        }
        if (found.gapSeconds) {
            timing.gapSeconds = *found.gapSeconds;
        }
        // The preview bounds come along, so that a save keeps the file's.
        timing.sampleStartSeconds = song.sampleStartSeconds;
        timing.sampleEndSeconds = song.sampleStartSeconds + song.sampleLengthSeconds;
    });
    m_sampleStartEdit->setText(FormatSampleTime(m_timing.sampleStartSeconds));
    m_sampleEndEdit->setText(FormatSampleTime(m_timing.sampleEndSeconds));

    OnCommand(kCmdStepInputMode);
    ShowBpm();
    ShowGap();
    WithTimingLock([&](chart::TimingState& timing) {
        // A BPM of 0 or below gives no click grid; the value is kept as read.
        timing.nextClickSeconds =
            chart::AnchorNextClick(static_cast<double>(timing.gapSeconds),
                                   m_player.PositionSeconds(), chart::BeatSeconds(timing.bpm));
    });
    // A name longer than its box shows its start, as one typed there would.
    for (const auto& [edit, text] : {std::pair{m_artistEdit, &m_artist}, {m_titleEdit, &m_title}}) {
        edit->setText(FromStd(*text));
        edit->setCursorPosition(0);
    }
    SelectDifficultyAndRating();
    std::optional<std::size_t> shown;
    if (found.steps && offered > 0 && found.difficulty && found.footRating) {
        shown = edit::FindOfferedChart(song, offered - 1, *found.difficulty, *found.footRating);
    }
    m_imported.Start(std::move(song), shown, CurrentWindowValues());
    MarkSaved();
}

edit::WindowValues CChartEditorDlg::CurrentWindowValues() const {
    edit::WindowValues values;
    values.title = ToStd(m_titleEdit->text());
    values.artist = ToStd(m_artistEdit->text());
    values.difficulty = ToStd(m_difficultyList->currentText());
    values.rating = dwi::FootRatingFromText(ToStd(m_footRatingList->currentText()));
    values.bpm = m_timing.bpm;
    values.gapSeconds = m_timing.gapSeconds;
    values.sampleStartSeconds = m_timing.sampleStartSeconds;
    values.sampleEndSeconds = m_timing.sampleEndSeconds;
    values.steps = m_chart;
    return values;
}

// --- Modes and keyboard -----------------------------------------------------

void CChartEditorDlg::SetMode(std::int32_t mode) {
    if (mode == kTapTempo) {
        WithTimingLock([&](chart::TimingState& timing) {
            chart::ResetForTapping(m_taps, timing);
            m_mode = kTapTempo;
        });
        SetInstructions(kTapModeText);
        for (CColorLabel* readout : {m_bpmReadout, m_elapsedReadout, m_lastHitReadout}) {
            ShowReadout(readout, kZeroReadout);
        }
        m_gapEdit->setText(QStringLiteral("0.00"));
        m_bpmEdit->setText(kZeroReadout);
    } else if (mode == kStepInput) {
        WithTimingLock([&](chart::TimingState&) {
            m_mode = kStepInput;
            m_taps.tappingStarted = false;
        });
        SetInstructions(kStepModeText);
    }
}

bool CChartEditorDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || m_closing) {
        return QMainWindow::eventFilter(watched, event);
    }
    // Only the first delivery of a key to this window counts: the widget
    // with the focus, or the window itself when nothing has it. Keys of
    // message boxes, file dialogs and menus are theirs alone.
    QWidget* target = QApplication::focusWidget();
    if (!target || target->window() != this) {
        target = this;
    }
    if (watched != target || qobject_cast<QMenuBar*>(target)) {
        return QMainWindow::eventFilter(watched, event);
    }
    return FilterKeyPress(static_cast<QKeyEvent*>(event), TakesTypedText(target));
}

bool CChartEditorDlg::FilterKeyPress(QKeyEvent* event, bool intoTextBox) {
    const int key = event->key();
    // System keys (Alt and its combinations, F10) drive the menus and are
    // not key presses for tapping or step input.
    if ((event->modifiers() & Qt::AltModifier) || key == Qt::Key_Alt || key == Qt::Key_F10 ||
        key == Qt::Key_Meta || key == Qt::Key_AltGr) {
        return false;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        SnapToNextSlot();
        return true;
    }
    if (key == Qt::Key_Escape) {
        OnCancel();
        return true;
    }
    // What is typed into the Title or Artist box is text for it, not a tap
    // or a step the user would not see being made.
    if (intoTextBox) {
        return false;
    }
    const std::int64_t pressedAtNs = PressedAtNs(event);
    if (m_mode == kTapTempo) {
        TapKey(pressedAtNs);
    } else {
        StepInputKey(key, event->modifiers() & Qt::KeypadModifier, pressedAtNs);
    }
    return false;
}

void CChartEditorDlg::SnapToNextSlot() {
    if (m_player.FileName().empty()) {
        return;
    }
    const double position = m_player.PositionSeconds();
    const double duration = m_player.DurationSeconds();
    m_player.SetPositionSeconds(
        chart::SnapForward(position, duration, m_timing.bpm, m_timing.gapSeconds));
}

void CChartEditorDlg::TapKey(std::int64_t pressedAtNs) {
    // The tick of the press: the tick now, less how long ago it was.
    constexpr std::int64_t kNsPerMs = 1'000'000;
    const std::int64_t agoMs = (player::KeyPressTime::NowNs() - pressedAtNs) / kNsPerMs;
    const std::uint32_t now = m_clock.NowMs() - static_cast<std::uint32_t>(agoMs);
    const double position = PressSongSeconds(pressedAtNs);
    chart::TapOutcome outcome;
    WithTimingLock([&](chart::TimingState& timing) {
        outcome = chart::ApplyTap(m_taps, timing, now, position);
    });
    switch (outcome) {
    case chart::TapOutcome::kSeriesStarted:
        SetInstructions(kFirstTapText);
        break;
    case chart::TapOutcome::kIntervalCounted: {
        ShowBpm();
        ShowReadout(m_lastHitReadout, FormatBpm(m_taps.lastHitBpm));
        const double elapsedSeconds =
            static_cast<double>(static_cast<std::uint32_t>(now - m_taps.firstTapMs)) * 0.001;
        ShowReadout(m_elapsedReadout, QString::asprintf("%3.1f", elapsedSeconds));
        ShowGap();
        break;
    }
    case chart::TapOutcome::kIgnored:
        break;
    }
}

void CChartEditorDlg::StepInputKey(int key, bool keypad, std::int64_t pressedAtNs) {
    if (keypad && key >= Qt::Key_0 && key <= Qt::Key_9) {
        key += kKeypadBase;
    }
    const auto slot =
        chart::SlotAtPosition(PressSongSeconds(pressedAtNs), m_timing.bpm, m_timing.gapSeconds);
    if (!slot) {
        return;
    }
    EditChart([&](chart::StepChart& steps) {
        if (!chart::EnsureChartLength(steps, *slot)) {
            return;
        }
        char& step = steps[static_cast<std::size_t>(*slot)];
        // The digits count only on the numeric keypad, where 2, 4, 6 and 8
        // sit like the arrows.
        switch (key) {
        case Qt::Key_Space:
            step = chart::kEmptyStep;
            break;
        case Qt::Key_Left:
        case kKeypadBase + Qt::Key_4:
            step = chart::CombineStep(step, '4', false);
            break;
        case Qt::Key_Up:
        case kKeypadBase + Qt::Key_8:
            step = chart::CombineStep(step, '8', false);
            break;
        case Qt::Key_Right:
        case kKeypadBase + Qt::Key_6:
            step = chart::CombineStep(step, '6', false);
            break;
        case Qt::Key_Down:
        case kKeypadBase + Qt::Key_2:
            step = chart::CombineStep(step, '2', false);
            break;
        default:
            break;
        }
    });
}

// --- Player events, speed and metronome ------------------------------------

void CChartEditorDlg::OnEndOfPlayback() {
    m_player.SetPositionSeconds(0.0);
    WithTimingLock([](chart::TimingState& timing) {
        timing.nextClickSeconds = static_cast<double>(timing.gapSeconds);
    });
    // The rewind's position event and the start of playing that follow would
    // re-anchor one beat past the Gap; after a loop the first click belongs
    // on the Gap itself.
    m_keepClickOnRestart = true;
    m_player.Play();
    m_player.SetRate(RateForSpeed(m_timing.songSpeedPercent));
}

void CChartEditorDlg::OnPlayStateChange(player::PlayState /*oldState*/,
                                        player::PlayState newState) {
    if (newState == player::PlayState::kPlaying) {
        StartOfPlayingReaction();
    }
    RepaintStepView();
    // The refresh worker paints every frame while the song plays only.
    WakeWorkers();
}

void CChartEditorDlg::StartOfPlayingReaction() {
    m_player.SetRate(RateForSpeed(m_timing.songSpeedPercent));
    if (m_keepClickOnRestart) {
        m_keepClickOnRestart = false;
        return;
    }
    WithTimingLock([this](chart::TimingState& timing) {
        timing.nextClickSeconds =
            chart::AnchorNextClick(static_cast<double>(timing.gapSeconds),
                                   m_player.PositionSeconds(), chart::BeatSeconds(timing.bpm));
    });
}

void CChartEditorDlg::OnPositionChange(double /*oldPositionSeconds*/, double newPositionSeconds) {
    if (m_keepClickOnRestart && newPositionSeconds == 0.0) {
        // The rewind of a loop restart: its click stays on the Gap.
        RepaintStepView();
        return;
    }
    WithTimingLock([newPositionSeconds](chart::TimingState& timing) {
        timing.nextClickSeconds =
            chart::AnchorNextClick(static_cast<double>(timing.gapSeconds), newPositionSeconds,
                                   chart::BeatSeconds(timing.bpm));
    });
}

void CChartEditorDlg::SetSongSpeed(std::int32_t percent) {
    WithTimingLock([percent](chart::TimingState& timing) { timing.songSpeedPercent = percent; });
    m_speedEdit->setText(QString::number(static_cast<std::uint32_t>(percent)));
    m_player.SetRate(RateForSpeed(percent));
    if (m_settings != nullptr) {
        m_settings->SetSongSpeedPercent(percent);
    }
}

void CChartEditorDlg::ToggleMetronome() {
    const bool on = !m_metronomeOn.load();
    m_metronomeOn = on;
    m_metronomeAction->setChecked(on);
    if (m_settings != nullptr) {
        m_settings->SetMetronomeOn(on);
    }
    if (on) {
        StartOfPlayingReaction();
    }
    WakeWorkers();
}

// --- Timing controls --------------------------------------------------------

void CChartEditorDlg::OnBpmSpin(int delta) {
    WithTimingLock([&](chart::TimingState& timing) {
        chart::ApplyBpmSpin(timing, delta, m_player.PositionSeconds());
    });
    ShowBpm();
}

void CChartEditorDlg::OnGapSpin(int delta) {
    WithTimingLock([&](chart::TimingState& timing) {
        chart::ApplyGapSpin(timing, delta, m_player.PositionSeconds());
    });
    ShowGap();
}

void CChartEditorDlg::OnGapPlusHalfBeat() {
    WithTimingLock([&](chart::TimingState& timing) {
        chart::ApplyGapPlusHalfBeat(timing, m_player.PositionSeconds());
    });
    ShowGap();
}

void CChartEditorDlg::OnGapMinusHalfBeat() {
    WithTimingLock([&](chart::TimingState& timing) {
        chart::ApplyGapMinusHalfBeat(timing, m_player.PositionSeconds());
    });
    ShowGap();
}

void CChartEditorDlg::OnBpmDouble() {
    WithTimingLock([&](chart::TimingState& timing) {
        chart::ApplyBpmDouble(timing, m_player.PositionSeconds());
    });
    ShowBpm();
}

void CChartEditorDlg::OnBpmHalve() {
    WithTimingLock([&](chart::TimingState& timing) {
        chart::ApplyBpmHalve(timing, m_player.PositionSeconds());
    });
    ShowBpm();
}

void CChartEditorDlg::OnSampleStartSet() {
    m_timing.sampleStartSeconds = chart::SamplePointAt(m_player.PositionSeconds());
    m_sampleStartEdit->setText(FormatSampleTime(m_timing.sampleStartSeconds));
}

void CChartEditorDlg::OnSampleEndSet() {
    m_timing.sampleEndSeconds = chart::SamplePointAt(m_player.PositionSeconds());
    m_sampleEndEdit->setText(FormatSampleTime(m_timing.sampleEndSeconds));
}

// --- Range actions ------------------------------------------------------------

void CChartEditorDlg::OnDoRangeAction() {
    chart::RangeActionRequest request;
    // An editable list: text that names no item means nothing is selected.
    const int index = m_rangeActionList->findText(m_rangeActionList->currentText(),
                                                  Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0) {
        request.action = static_cast<chart::RangeAction>(index);
    }
    request.randomize.jumpProbabilityPercent = m_jumpSpin->Position();
    request.randomize.maxJumpsInARow = m_maxJumpsSpin->Position();
    chart::RangeActionOutcome outcome = chart::RangeActionOutcome::kNoAction;
    EditChart([&](chart::StepChart& steps) {
        outcome = chart::DoRangeAction(
            steps, m_range, request,
            [this](std::string_view text, std::string_view caption) {
                return m_dialogs.AskYesNo(text, caption);
            },
            m_random);
    });
    switch (outcome) {
    case chart::RangeActionOutcome::kInvalidRange:
        m_dialogs.ShowMessage(chart::kRangeInvalidMessage);
        break;
    case chart::RangeActionOutcome::kChartChanged:
        ShowRange();
        break;
    case chart::RangeActionOutcome::kNoAction:
    case chart::RangeActionOutcome::kDeclined:
        break;
    }
}

// --- Exit ---------------------------------------------------------------------

bool CChartEditorDlg::OnCancel() {
    // The close box and Escape take the same road: closeEvent asks.
    return m_closing || close();
}

void CChartEditorDlg::closeEvent(QCloseEvent* event) {
    if (!m_closing) {
        if (!m_dialogs.AskYesNo("Are you sure you want to quit?", "Confirm Exit")) {
            event->ignore();
            return;
        }
        m_player.Halt();
        StopWorkers();
        StoreWindowSettings();
        m_closing = true;
        emit Closed();
    }
    event->accept();
}

// --- Workers --------------------------------------------------------------------

void CChartEditorDlg::StartWorkers() {
    m_stopCounter = 0;
    m_metronome = std::thread([this] { MetronomeLoop(); });
    m_refresh = std::thread([this] { RefreshLoop(); });
}

void CChartEditorDlg::WakeWorkers() {
    {
        std::lock_guard<std::mutex> lock(m_wakeMutex);
        ++m_wakeGeneration;
    }
    m_wake.notify_all();
}

void CChartEditorDlg::StopWorkers() {
    if (!m_metronome.joinable() && !m_refresh.joinable()) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_wakeMutex);
        m_stopCounter = 1;
    }
    m_wake.notify_all();
    // Each worker adds one as it leaves: 1 + 2 workers.
    while (m_stopCounter.load() != 3) {
        std::this_thread::sleep_for(1ms);
    }
    m_metronome.join();
    m_refresh.join();
}

void CChartEditorDlg::MetronomeLoop() {
    while (m_stopCounter.load() == 0) {
        const bool active = m_metronomeOn.load() && m_player.State() == player::PlayState::kPlaying;
        if (active) {
            std::lock_guard<std::mutex> lock(m_timingLock);
            const double beat = chart::BeatSeconds(m_timing.bpm);
            const double position = m_player.PositionSeconds();
            // Song time runs at the playback rate; the lead and the lateness
            // are real time.
            const double rate = RateForSpeed(m_timing.songSpeedPercent);
            double& next = m_timing.nextClickSeconds;
            if (std::isfinite(beat) && beat > 0.0) {
                if (next < position - kClickLateSeconds * rate) {
                    // Missed while nobody was listening: move on a beat per
                    // pass without a burst of late clicks.
                    next += beat;
                } else if (next <
                           position + m_click.ClickLeadSeconds() + kClickMarginSeconds * rate) {
                    m_click.PlayClickAt(next);
                    next += beat;
                }
            }
        }
        std::unique_lock<std::mutex> lock(m_wakeMutex);
        const std::uint64_t generation = m_wakeGeneration;
        m_wake.wait_for(lock, active ? std::chrono::milliseconds(kMetronomePoll) : kIdleWait,
                        [this, generation] {
                            return m_stopCounter.load() != 0 || m_wakeGeneration != generation;
                        });
    }
    m_stopCounter.fetch_add(1);
}

void CChartEditorDlg::RefreshLoop() {
    // Only the song's progress while playing needs a frame clock: every other
    // change repaints the view where it is made. Paused, the worker sleeps
    // until a change of play state wakes it.
    while (m_stopCounter.load() == 0) {
        const bool playing = m_player.State() == player::PlayState::kPlaying;
        {
            std::unique_lock<std::mutex> lock(m_wakeMutex);
            const std::uint64_t generation = m_wakeGeneration;
            m_wake.wait_for(lock, playing ? std::chrono::milliseconds(kRepaintInterval) : kIdleWait,
                            [this, playing, generation] {
                                return m_stopCounter.load() != 0 ||
                                       (!playing && m_wakeGeneration != generation);
                            });
        }
        if (m_stopCounter.load() != 0) {
            break;
        }
        if (playing) {
            QMetaObject::invokeMethod(m_stepView, "update", Qt::QueuedConnection);
        }
    }
    m_stopCounter.fetch_add(1);
}

} // namespace app
