#pragma once

class QWidget;

namespace app {

// Whether keys sent to `widget` are text the user is typing into it: an
// editable line or text box, or the edit field of an editable drop-down.
// Read-only boxes only show values and type nothing.
bool TakesTypedText(const QWidget* widget);

} // namespace app

#include <cstdint>
#include <vector>

namespace app {

// The desktop's key auto-repeat reaches an X11 program as a release and a
// press of the held key with one time stamp. Qt marks the pair as
// auto-repeat only when both are queued as the release is read, so some
// pairs come unmarked and a held key would look let go and pressed again.
// Releases are therefore held back until it is clear that no such press
// follows (kWaitMs; the pair's press comes at once, a person's next press
// of the same key tens of milliseconds later at the earliest).
class ReleaseHoldBack {
public:
    static constexpr int kWaitMs = 25;

    struct Release {
        int key = 0;
        bool keypad = false;
        unsigned long timestampMs = 0; // the event's stamp, the pair's match
        double songSeconds = 0.0;      // where the release lies in the song
    };

    void Hold(const Release& release);
    // A press of key stamped timestampMs: true when it is the auto-repeat of
    // a held-back release, which is then dropped with it. Events without a
    // stamp (0) pair with nothing.
    bool IsRepeat(int key, bool keypad, unsigned long timestampMs);
    // The held-back releases, oldest first; none are held after.
    std::vector<Release> TakeAll();
    bool Empty() const { return m_held.empty(); }

private:
    std::vector<Release> m_held;
};

} // namespace app
