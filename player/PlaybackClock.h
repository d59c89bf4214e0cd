#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace player {

// One stretch of song audio that the listener hears without a break: from
// heardAtNs (steady clock) on, song frames startFrame..endFrame go by at
// songFramesPerNs. Between audio callbacks readers extrapolate along it.
struct ClockPiece {
    std::int64_t heardAtNs = 0;
    double startFrame = 0.0;
    double endFrame = 0.0;
    double songFramesPerNs = 0.0;
};

// What the audio callback publishes after each buffer: the latest pieces of
// the playback segment `generation`, oldest first. Pieces tile the steady
// clock in order and each is clamped at its end, so a position computed from
// them never runs backwards: a gap (underrun, end of song) holds the
// position, a late correction of the clock moves it forward.
struct ClockSnapshot {
    // Enough for the last 150 ms or more at any buffer size the outputs
    // use (a piece per buffer, 10 ms at the least), so a key press read
    // late by a busy window still finds the position it was made at.
    static constexpr int kPieces = 16;

    std::uint32_t generation = 0;
    int count = 0;
    std::array<ClockPiece, kPieces> pieces{};

    // The song frame heard at nowNs; none before the segment's first piece
    // is heard.
    std::optional<double> FrameAt(std::int64_t nowNs) const {
        for (int i = count - 1; i >= 0; --i) {
            const ClockPiece& piece = pieces[static_cast<std::size_t>(i)];
            if (piece.heardAtNs <= nowNs) {
                const double frame =
                    piece.startFrame +
                    static_cast<double>(nowNs - piece.heardAtNs) * piece.songFramesPerNs;
                return frame < piece.endFrame ? frame : piece.endFrame;
            }
        }
        return std::nullopt;
    }

    void Append(const ClockPiece& piece) {
        if (count == kPieces) {
            for (int i = 1; i < kPieces; ++i) {
                pieces[static_cast<std::size_t>(i - 1)] = pieces[static_cast<std::size_t>(i)];
            }
            --count;
        }
        pieces[static_cast<std::size_t>(count)] = piece;
        ++count;
    }
};

} // namespace player
