#include "app/TypedNumberBox.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <cmath>

namespace app {

namespace {

constexpr char kTypedNumberProperty[] = "beatwrightTypedNumber";

} // namespace

TypedNumberBox* TypedNumberBox::Attach(QLineEdit* box, std::function<bool(const QString&)> apply,
                                       std::function<void()> done) {
    return new TypedNumberBox(box, std::move(apply), std::move(done));
}

TypedNumberBox::TypedNumberBox(QLineEdit* box, std::function<bool(const QString&)> apply,
                               std::function<void()> done)
    : QObject(box), m_box(box), m_apply(std::move(apply)), m_done(std::move(done)) {
    box->setReadOnly(false);
    box->setFocusPolicy(Qt::ClickFocus);
    box->setProperty(kTypedNumberProperty, true);
    box->installEventFilter(this);
}

bool TypedNumberBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_box) {
        return false;
    }
    switch (event->type()) {
    case QEvent::FocusIn:
        m_shown = m_box->text();
        break;
    case QEvent::FocusOut:
        Commit();
        break;
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            Commit();
            m_done();
            return true;
        }
        if (key == Qt::Key_Escape) {
            m_box->setText(m_shown);
            m_done();
            return true;
        }
        break;
    }
    default:
        break;
    }
    return false;
}

void TypedNumberBox::Commit() {
    const QString typed = m_box->text();
    if (typed == m_shown) {
        return;
    }
    if (!m_apply(typed)) {
        m_box->setText(m_shown);
        return;
    }
    // The owner shows the value as it took it (rounded, clamped).
    m_shown = m_box->text();
}

bool IsTypedNumberBox(const QWidget* widget) {
    return widget != nullptr && widget->property(kTypedNumberProperty).toBool();
}

std::optional<double> ParseTypedNumber(const QString& text, double minimum, double maximum) {
    bool ok = false;
    const double value = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value) || value < minimum || value > maximum) {
        return std::nullopt;
    }
    return value;
}

std::optional<int> ParseTypedWhole(const QString& text, int minimum, int maximum) {
    bool ok = false;
    const int value = QLocale::c().toInt(text.trimmed(), &ok);
    if (!ok || value < minimum || value > maximum) {
        return std::nullopt;
    }
    return value;
}

} // namespace app
