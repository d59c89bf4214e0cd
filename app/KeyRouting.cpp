#include "app/KeyRouting.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace app {

bool TakesTypedText(const QWidget* widget) {
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
