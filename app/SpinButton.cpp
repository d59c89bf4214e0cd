#include "app/SpinButton.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOption>
#include <algorithm>

namespace app {

CSpinButton::CSpinButton(QWidget* parent) : QWidget(parent) {
    // Reachable with Tab, but a mouse click does not take the focus away from
    // where the user's keys were going.
    setFocusPolicy(Qt::TabFocus);
}

void CSpinButton::SetRange(int minimum, int maximum) {
    m_minimum = minimum;
    m_maximum = maximum;
    SetPosition(m_position);
}

void CSpinButton::SetPosition(int position) {
    m_position = std::clamp(position, m_minimum, m_maximum);
    if (m_buddy) {
        m_buddy->setText(QString::number(m_position));
    }
}

void CSpinButton::SetBuddy(QLineEdit* buddy) {
    m_buddy = buddy;
    SetPosition(m_position);
}

void CSpinButton::Step(int delta) {
    emit DeltaPos(m_position, delta);
    SetPosition(m_position + delta);
}

void CSpinButton::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    const int half = height() / 2;
    option.rect = QRect(0, 0, width(), half);
    style()->drawPrimitive(QStyle::PE_PanelButtonTool, &option, &painter, this);
    style()->drawPrimitive(QStyle::PE_IndicatorArrowUp, &option, &painter, this);
    option.rect = QRect(0, half, width(), height() - half);
    style()->drawPrimitive(QStyle::PE_PanelButtonTool, &option, &painter, this);
    style()->drawPrimitive(QStyle::PE_IndicatorArrowDown, &option, &painter, this);
}

void CSpinButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        Step(event->position().y() < height() / 2.0 ? 1 : -1);
    }
}

void CSpinButton::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Up) {
        Step(1);
    } else if (event->key() == Qt::Key_Down) {
        Step(-1);
    } else {
        QWidget::keyPressEvent(event);
    }
}

} // namespace app
