#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

class QLineEdit;
class QWidget;

namespace app {

// Lets a box that shows a number take a typed one. Only a click gives it
// the keys (never Tab or start-up: the keyboard belongs to tapping and step
// input); what is typed is text, never a tap or a step. Enter or leaving the
// box applies the text; Escape puts the shown value back. Text the box's
// owner refuses leaves the old value shown.
class TypedNumberBox : public QObject {
public:
    // apply: takes the typed text, false refuses it. done: after Enter or
    // Escape, gives the keys back to the window.
    static TypedNumberBox* Attach(QLineEdit* box, std::function<bool(const QString&)> apply,
                                  std::function<void()> done);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TypedNumberBox(QLineEdit* box, std::function<bool(const QString&)> apply,
                   std::function<void()> done);
    void Commit();

    QLineEdit* m_box;
    std::function<bool(const QString&)> m_apply;
    std::function<void()> m_done;
    QString m_shown; // the value before the user typed
};

// Whether the keys sent to `widget` belong to a TypedNumberBox.
bool IsTypedNumberBox(const QWidget* widget);

// The number typed, in the read-outs' notation ('.' as the decimal point),
// when it is one and lies within [minimum, maximum].
std::optional<double> ParseTypedNumber(const QString& text, double minimum, double maximum);
std::optional<int> ParseTypedWhole(const QString& text, int minimum, int maximum);

} // namespace app
