#include "app/KeyRouting.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <utility>

namespace app {

bool TakesTypedText(const QWidget* widget) {
    // The Range Action list's field: Space there was a space and a cleared row.
    if (const auto* combo = qobject_cast<const QComboBox*>(widget)) {
        return combo->isEditable();
    }
    if (const auto* line = qobject_cast<const QLineEdit*>(widget)) {
        return !line->isReadOnly();
    }
    if (const auto* plain = qobject_cast<const QPlainTextEdit*>(widget)) {
        return !plain->isReadOnly();
    }
    if (const auto* rich = qobject_cast<const QTextEdit*>(widget)) {
        return !rich->isReadOnly();
    }
    return false;
}

} // namespace app

namespace app {

void ReleaseHoldBack::Hold(const Release& release) {
    m_held.push_back(release);
}

bool ReleaseHoldBack::IsRepeat(int key, bool keypad, unsigned long timestampMs) {
    // The server stamps both halves of a pair with the same millisecond.
    constexpr unsigned long kSameStampMs = 1;
    if (timestampMs == 0) {
        return false;
    }
    for (auto it = m_held.begin(); it != m_held.end(); ++it) {
        const unsigned long apart = timestampMs >= it->timestampMs ? timestampMs - it->timestampMs
                                                                   : it->timestampMs - timestampMs;
        if (it->key == key && it->keypad == keypad && apart <= kSameStampMs) {
            m_held.erase(it);
            return true;
        }
    }
    return false;
}

std::vector<ReleaseHoldBack::Release> ReleaseHoldBack::TakeAll() {
    return std::exchange(m_held, {});
}

} // namespace app
