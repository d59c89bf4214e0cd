#pragma once

#include <QWidget>

class QLineEdit;

namespace app {

// An up-down control: two arrow halves that notify +1 / -1 with the position
// before the change, on every click and on the Up and Down keys while
// focused, even at the ends of the range. The position itself then moves
// within the range and, with a buddy edit, is written into it.
class CSpinButton : public QWidget {
    Q_OBJECT
public:
    explicit CSpinButton(QWidget* parent = nullptr);

    void SetRange(int minimum, int maximum);
    void SetPosition(int position);
    int Position() const { return m_position; }
    void SetBuddy(QLineEdit* buddy);

    // What a click on the upper (+1) or lower (-1) half does.
    void Step(int delta);

signals:
    void DeltaPos(int positionBefore, int delta);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    int m_minimum = 0;
    int m_maximum = 100;
    int m_position = 0;
    QLineEdit* m_buddy = nullptr;
};

} // namespace app
