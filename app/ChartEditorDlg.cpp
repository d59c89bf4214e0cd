#include "app/ChartEditorDlg.h"

#include "app/ChartEditorText.h"
#include "app/ChartListPanel.h"
#include "app/ColorLabel.h"
#include "app/CommandIds.h"
#include "app/DialogUnits.h"
#include "app/EditActions.h"
#include "app/KeyRouting.h"
#include "app/LabelFit.h"
#include "app/NoteKindMenu.h"
#include "app/PlaceStatusLine.h"
#include "app/PleaseWaitDlg.h"
#include "app/Settings.h"
#include "app/SpinButton.h"
#include "app/StepKeys.h"
#include "dwi/AtomicFile.h"
#include "dwi/DwiImporter.h"
#include "dwi/DwiSong.h"
#include "dwi/DwiWriter.h"
#include "player/KeyPressTime.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDockWidget>
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
#include <QStatusBar>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <cmath>

namespace app {

namespace {

using namespace window_text;

constexpr std::int32_t kRepeatForever = 1000000;
// Air between a label's text and the box beside it.
constexpr int kLabelGapPixels = 3;
constexpr int kStatusLineHeight = 22;

} // namespace

CChartEditorDlg::CChartEditorDlg(Services services, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowCloseButtonHint),
      m_player(services.player), m_click(services.click), m_dialogs(services.dialogs),
      m_clock(services.clock), m_estimator(services.estimator), m_settings(services.settings),
      m_makeCalibrationPlayer(std::move(services.makeCalibrationPlayer)) {
    setObjectName(QStringLiteral("102"));
    setWindowTitle(QStringLiteral("Beatwright"));
    m_actions = new EditActions({m_editor, m_player, m_dialogs, [this] { return m_range; },
                                 [this](const chart::EditRange& range) {
                                     m_range = range;
                                     ShowRange();
                                 },
                                 [this] { RepaintStepView(); }},
                                this);
    BuildMenus();
    BuildControls();
    BuildChartList();
    if (services.makeStepView) {
        QWidget* view = services.makeStepView(centralWidget(), *this);
        view->setGeometry(m_stepView->geometry());
        view->setObjectName(QStringLiteral("1016"));
        view->stackUnder(m_stepView);
        delete m_stepView;
        m_stepView = view;
    }
    new NoteKindMenu(m_editor, *this);
    if (services.makePlayerControl) {
        QWidget* control = services.makePlayerControl(centralWidget(), m_player);
        control->setGeometry(m_playerControl->geometry());
        control->setObjectName(QStringLiteral("1001"));
        delete m_playerControl;
        m_playerControl = control;
    }
    // The layout's size is the least the window takes and the size it
    // starts at; the step view takes any height added.
    setMinimumSize(sizeHint());
    resize(sizeHint());
    m_stepViewBaseHeight = m_stepView->height();
    m_stepViewBaseWidth = m_stepView->width();
    m_centralBaseWidth = centralWidget()->minimumWidth();
    const int stepViewBottom = m_stepView->y() + m_stepViewBaseHeight;
    for (QWidget* child : centralWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->y() >= stepViewBottom) {
            m_belowStepView.emplace_back(child, child->y());
        }
    }
    connect(m_chartDock, &QDockWidget::visibilityChanged, this, [this] { FitMinimumSize(); });
    qApp->installEventFilter(this);
    ConnectPlayerEvents();
    ConnectTypedBoxes();
    m_keys = std::make_unique<StepKeys>(
        StepKeys::Host{
            m_editor, m_player, [this] { return m_inputOffsetMs; },
            [this] { return chart::RateForSpeed(m_timing.songSpeedPercent); },
            [this] { return m_mode == kStepInput; },
            [this](std::int64_t pressedAtNs, double position) { TapKey(pressedAtNs, position); },
            [this] { SnapToNextSlot(); }, [this] { OnCancel(); }},
        this);
    m_editor.SetListener([this](const edit::ChangeNotice& notice) { OnDocumentChanged(notice); });
    Initialise();
    RestoreSettings();
    // Tapping and step keys work at once, with no box to click away first.
    centralWidget()->setFocusPolicy(Qt::ClickFocus);
    ReturnKeysToWindow();
}

CChartEditorDlg::~CChartEditorDlg() {
    // The dock is hidden as the window's children go, after this is gone.
    disconnect(m_chartDock, nullptr, this, nullptr);
    // Focus moves as the window closes inside ~QWidget, after this is gone.
    disconnect(qApp, nullptr, this, nullptr);
    qApp->removeEventFilter(this);
    m_player.SetEvents({});
    StopWorkers();
}

void CChartEditorDlg::BuildControls() {
    auto* central = new QWidget(this);
    central->setMinimumSize(DialogRect(0, 0, 357, 295).size());
    central->setFont(DialogFont(central->font()));
    setCentralWidget(central);
    statusBar()->addWidget(new PlaceStatusLine(
        m_player, [this] { return m_editor.Timing(); }, this));
    // One known height, so that the client area keeps its place whatever the
    // desktop's style makes of a status bar.
    statusBar()->setFixedHeight(
        std::max(kStatusLineHeight, statusBar()->fontMetrics().height() + 6));

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
                            const std::function<void()>& handler) {
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
           [this] { OnTimingControl(chart::ApplyGapPlusHalfBeat); });
    button("Gap Minus HalfBeat", 1015, DialogRect(114, 155, 72, 14),
           [this] { OnTimingControl(chart::ApplyGapMinusHalfBeat); });
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
             {"BASIC", "LIGHT", "ANOTHER", "TRICK", "STANDARD", "MANIAC", "SSR", "HEAVY",
              // Names charts in files also carry, after the list's own.
              "BEGINNER", "SMANIAC"},
             false);
    QStringList ratings;
    // 1 to 10 first, as the list always began; a file holds up to 99.
    for (int rating = 1; rating <= static_cast<int>(edit::SongEditor::kMaxRating); ++rating) {
        ratings << QString::number(rating);
    }
    m_footRatingList = list(1026, DialogRect(164, 211, 48, 59), ratings, false);
    // The longest difficulty ("SMANIAC") shows whole, short of the Range fields.
    const int listsRight = DialogRect(218, 0, 0, 0).x();
    for (QComboBox* combo : {m_difficultyList, m_footRatingList}) {
        const int fit = std::min(combo->sizeHint().width(), listsRight - combo->x());
        combo->resize(std::max(combo->width(), fit), combo->height());
    }
    label("Range Start", DialogRect(220, 196, 40, 8));
    m_rangeStartEdit = readOnlyEdit(1027, DialogRect(261, 195, 24, 14));
    label("Range End", DialogRect(289, 196, 36, 8));
    m_rangeEndEdit = readOnlyEdit(1028, DialogRect(325, 195, 24, 14));
    m_rangeActionList = list(1029, DialogRect(263, 211, 48, 62),
                             {"+1 HalfBeat", "-1 HalfBeat", "Clear", "Randomize"}, true);
    label("Range Action", DialogRect(220, 213, 44, 8));
    QWidget* doIt =
        button("Do it!", 1030, DialogRect(315, 211, 25, 12), [this] { OnDoRangeAction(); });
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
    button("X2", 1035, DialogRect(75, 138, 11, 14),
           [this] { OnTimingControl(chart::ApplyBpmDouble); });
    button("X.5", 1036, DialogRect(87, 138, 13, 14),
           [this] { OnTimingControl(chart::ApplyBpmHalve); });
    label("Sample Start", DialogRect(7, 229, 42, 8));
    m_sampleStartEdit = readOnlyEdit(1039, DialogRect(52, 227, 40, 14));
    label("Sample End", DialogRect(114, 229, 38, 8));
    button("Set", 1040, DialogRect(93, 227, 17, 14), [this] { OnSampleSet(true); });
    // Its left end moves 3 units right: no room is left between the first
    // "Set" and this box for the label of a face wider than the layout's.
    m_sampleEndEdit = readOnlyEdit(1041, DialogRect(155, 227, 37, 14));
    button("Set", 1042, DialogRect(194, 227, 17, 14), [this] { OnSampleSet(false); });

    // The snap: the grid of entry, Enter, the range and the step view.
    label("Snap", DialogRect(262, 257, 18, 8));
    QStringList snaps;
    for (edit::Snap snap : edit::kAllSnaps) {
        const std::string_view name = edit::SnapName(snap);
        snaps << QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
    }
    m_snapList = list(0, DialogRect(282, 255, 40, 100), snaps, false);
    m_snapList->setObjectName(QStringLiteral("snap"));
    m_snapList->setCurrentIndex(static_cast<int>(edit::kStartSnap));

    FitLabelsBesideControls(central, kLabelGapPixels);

    m_jumpSpin->SetBuddy(m_jumpEdit);
    m_maxJumpsSpin->SetBuddy(m_maxJumpsEdit);
    connect(m_bpmSpin, &CSpinButton::DeltaPos, this, [this](int, int delta) {
        OnTimingControl([delta](chart::TimingState& timing, double position) {
            chart::ApplyBpmSpin(timing, delta, position);
        });
    });
    connect(m_gapSpin, &CSpinButton::DeltaPos, this, [this](int, int delta) {
        OnTimingControl([delta](chart::TimingState& timing, double position) {
            chart::ApplyGapSpin(timing, delta, position);
        });
    });
    connect(m_snapList, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0 && index < static_cast<int>(edit::kAllSnaps.size())) {
            SetSnap(edit::kAllSnaps[static_cast<std::size_t>(index)]);
        }
    });
    // The song's texts and the selected chart's difficulty and rating are
    // the document's: each change is a command. Typing in one visit of a
    // box is one undo step.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now == m_titleEdit) {
            m_titleMergeId = NewMergeId();
        } else if (now == m_artistEdit) {
            m_artistMergeId = NewMergeId();
        }
    });
    connect(m_titleEdit, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (!m_showingDocument) {
            m_editor.SetTitle(ToStd(text), m_titleMergeId);
        }
    });
    connect(m_artistEdit, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (!m_showingDocument) {
            m_editor.SetArtist(ToStd(text), m_artistMergeId);
        }
    });
    connect(m_difficultyList, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!m_showingDocument && index >= 0) {
            m_editor.SetDifficulty(ToStd(m_difficultyList->itemText(index)));
        }
    });
    connect(m_footRatingList, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!m_showingDocument && index >= 0) {
            m_editor.SetRating(m_footRatingList->itemText(index).toUInt());
        }
    });
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
    m_rangeActionList->setCurrentIndex(0);
    m_range = chart::EditRange{};
    ShowRange();
    m_actions->SelectNone();
    for (CSpinButton* spin : {m_jumpSpin, m_maxJumpsSpin}) {
        spin->SetRange(1, 100);
        spin->SetPosition(1);
    }
    // The start's document: one empty single chart, as the lists show it.
    chart::Song song;
    chart::SongChart single;
    single.difficulty = ToStd(m_difficultyList->itemText(0));
    song.charts.push_back(std::move(single));
    m_editor.Reset(std::move(song));
    m_sampleStartEdit->setText(QStringLiteral("0.0"));
    m_sampleEndEdit->setText(QStringLiteral("5.0"));
    SetInstructions(kOpenMusicText);

    // A face of even digits stands in for the old terminal font of the
    // read-outs: the system's fixed font, else a usual monospace one.
    const QStringList faces{QFontDatabase::systemFont(QFontDatabase::FixedFont).family(),
                            QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Liberation Mono"),
                            QStringLiteral("Noto Sans Mono"), QStringLiteral("Noto Mono")};
    m_bpmReadout->SetEvenDigitFont(faces, 35, true);
    m_elapsedReadout->SetEvenDigitFont(faces, 16, true);
    m_lastHitReadout->SetEvenDigitFont(faces, 16, true);
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

} // namespace app
