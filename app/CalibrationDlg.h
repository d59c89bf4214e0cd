#pragma once

#include <QDialog>
#include <cstdint>
#include <vector>

class QLabel;
class QPushButton;
class QSpinBox;

namespace player {
class MediaPlayer;
}

namespace app {

// "Options > Calibrate Timing...": plays a 120 BPM click track
// (player::CalibrationTrack, already loaded in `clicks`), takes a key press
// on every click, and measures the median lateness of the presses against
// the clicks as heard (the player's position is latency-corrected). The
// result shows with its spread and fills the manual field, which holds the
// input offset the dialog returns; Reset sets it to 0.
class CalibrationDlg : public QDialog {
    Q_OBJECT
public:
    CalibrationDlg(player::MediaPlayer& clicks, double inputOffsetMs, QWidget* parent = nullptr);
    ~CalibrationDlg() override;

    double InputOffsetMs() const;
    // Taps taken since the last Start.
    int Taps() const { return static_cast<int>(m_tapSongSeconds.size()); }
    QString ResultText() const;
    bool Running() const { return m_running; }
    void StartClicks();
    void StopClicks();
    void Reset();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ShowResult();

    player::MediaPlayer& m_clicks;
    std::vector<double> m_tapSongSeconds;
    bool m_running = false;
    QLabel* m_result = nullptr;
    QPushButton* m_startStop = nullptr;
    QSpinBox* m_offsetMs = nullptr;
};

} // namespace app
