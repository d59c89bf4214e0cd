#pragma once

// Texts and number formats the main window's parts share.
#include <QString>
#include <cstdint>
#include <string>

namespace app::window_text {

inline const QString kOpenMusicText = QStringLiteral("Open a music file from the main menu.");
inline const QString kSongOpenedText =
    QStringLiteral("Use the controls to adjust the BPM/Gap or start tapping keys to manually "
                   "calculate the BPM/Gap.");
inline const QString kTapModeText =
    QStringLiteral("Press any key to begin tapping out the BPM/tempo");
inline const QString kFirstTapText =
    QStringLiteral("Fine tune BPM/Gap with the controls below, then select \"Step Data Input\" "
                   "from the Mode menu to disable keypresses being interpreted as tempo entry.");
inline const QString kStepModeText =
    QStringLiteral("Use the arrow keys to enter step data into the scrolling window on the "
                   "right.  Use space key to erase step data at current location.");
inline const QString kWithoutSoundText =
    QStringLiteral("The chart is open without its song: no playback; the wheel and the keys move "
                   "through it. Open Music File gives it one.");
inline const QString kSilentText = QStringLiteral("No audio device: the song plays silently.");
inline const QString kOwnTimingText =
    QStringLiteral("This chart has its own timing (from the .ssc file); the song's BPM and Gap do "
                   "not move it.");
inline const QString kZeroReadout = QStringLiteral("000.0");
inline constexpr char kDwiFilter[] = "DWI Files (*.dwi)";
inline constexpr char kChartFilter[] =
    "Step Charts (*.dwi *.sm *.ssc);;DWI Files (*.dwi);;SM Files (*.sm);;SSC Files (*.ssc)";

inline QString FormatBpm(float bpm) {
    return QString::asprintf("%3.1f", static_cast<double>(bpm));
}
inline QString FormatGap(float gap) {
    return QString::asprintf("%1.2f", static_cast<double>(gap));
}
inline QString FormatCell(std::int32_t cell) {
    return QString::number(static_cast<std::uint32_t>(cell));
}
inline QString FormatSampleTime(float seconds) {
    return QString::asprintf("%3.2f", static_cast<double>(seconds));
}
inline std::string ToStd(const QString& text) {
    return text.toUtf8().toStdString();
}
inline QString FromStd(const std::string& text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace app::window_text
