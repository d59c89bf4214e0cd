#include "app/CalibrationDlg.h"

#include "chart/InputCalibration.h"
#include "player/ClickTrack.h"
#include "player/KeyPressTime.h"
#include "player/MediaPlayer.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cmath>

namespace app {

namespace {

constexpr int kMaxOffsetMs = 1000; // as Settings keeps it

} // namespace

CalibrationDlg::CalibrationDlg(player::MediaPlayer& clicks, double inputOffsetMs, QWidget* parent)
    : QDialog(parent), m_clicks(clicks) {
    setWindowTitle(QStringLiteral("Calibrate Timing"));
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(
        QStringLiteral("Press Start and tap any key on every click you hear (120 BPM), "
                       "%1 times or more. The median lateness of your taps becomes the input "
                       "offset, taken off every step and every tapped Gap.")
            .arg(chart::kMinCalibrationTaps),
        this);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    m_result = new QLabel(this);
    layout->addWidget(m_result);

    auto* form = new QFormLayout();
    m_offsetMs = new QSpinBox(this);
    m_offsetMs->setRange(-kMaxOffsetMs, kMaxOffsetMs);
    m_offsetMs->setSuffix(QStringLiteral(" ms"));
    m_offsetMs->setValue(static_cast<int>(std::lround(inputOffsetMs)));
    form->addRow(QStringLiteral("Input offset:"), m_offsetMs);
    layout->addLayout(form);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_startStop = buttons->addButton(QStringLiteral("Start"), QDialogButtonBox::ActionRole);
    QPushButton* reset = buttons->addButton(QDialogButtonBox::Reset);
    // Taps are keys: no button may take the keyboard (Space would press it).
    for (QAbstractButton* button : buttons->buttons()) {
        button->setFocusPolicy(Qt::NoFocus);
    }
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_startStop, &QPushButton::clicked, this,
            [this] { m_running ? StopClicks() : StartClicks(); });
    connect(reset, &QPushButton::clicked, this, &CalibrationDlg::Reset);
    ShowResult();
}

CalibrationDlg::~CalibrationDlg() {
    m_clicks.Halt();
}

double CalibrationDlg::InputOffsetMs() const {
    return m_offsetMs->value();
}

void CalibrationDlg::StartClicks() {
    m_tapSongSeconds.clear();
    m_clicks.SetPositionSeconds(0.0);
    m_clicks.Play();
    m_running = true;
    m_startStop->setText(QStringLiteral("Stop"));
    m_offsetMs->setEnabled(false);
    setFocus();
    ShowResult();
}

void CalibrationDlg::StopClicks() {
    m_clicks.Halt();
    m_running = false;
    m_startStop->setText(QStringLiteral("Start"));
    m_offsetMs->setEnabled(true);
}

void CalibrationDlg::Reset() {
    StopClicks();
    m_tapSongSeconds.clear();
    m_offsetMs->setValue(0);
    ShowResult();
}

void CalibrationDlg::keyPressEvent(QKeyEvent* event) {
    if (!m_running || event->isAutoRepeat()) {
        QDialog::keyPressEvent(event);
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        StopClicks();
        return;
    }
    const std::int64_t pressNs =
        player::KeyPressTime::PressedAtNs(event->timestamp(), player::KeyPressTime::NowNs());
    m_tapSongSeconds.push_back(m_clicks.PositionSecondsAt(pressNs));
    ShowResult();
    event->accept();
}

QString CalibrationDlg::ResultText() const {
    return m_result->text();
}

void CalibrationDlg::ShowResult() {
    const auto result =
        chart::Calibrate(m_tapSongSeconds, player::CalibrationTrack::kFirstClickSeconds,
                         player::CalibrationTrack::kIntervalSeconds);
    if (!result) {
        m_result->setText(m_running ? QStringLiteral("Taps: %1 of %2")
                                          .arg(m_tapSongSeconds.size())
                                          .arg(chart::kMinCalibrationTaps)
                                    : QString());
        return;
    }
    m_result->setText(QStringLiteral("Measured: %1 ms late (spread \u00b1%2 ms, %3 taps)")
                          .arg(result->offsetMs, 0, 'f', 1)
                          .arg(result->spreadMs, 0, 'f', 1)
                          .arg(result->taps));
    m_offsetMs->setValue(static_cast<int>(std::lround(result->offsetMs)));
}

} // namespace app
