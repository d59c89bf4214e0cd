#include "app/ColorLabel.h"

#include <QFontDatabase>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>

namespace app {

namespace {

constexpr int kPointsPerInch = 72;

} // namespace

CColorLabel::CColorLabel(int style, QWidget* parent)
    : QFrame(parent), m_style(style), m_font(font()),
      m_textColour(palette().color(QPalette::ButtonText)),
      m_bkColour(palette().color(QPalette::Button)) {
    m_font.setWeight(QFont::Normal);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

int CColorLabel::PixelHeightForPoints(int pointSize, int dotsPerInch) {
    const long product = static_cast<long>(pointSize) * dotsPerInch;
    return static_cast<int>((product + kPointsPerInch / 2) / kPointsPerInch);
}

void CColorLabel::SetFont(const QFont& font, bool redraw) {
    m_font = font;
    m_font.setWeight(QFont::Normal);
    if (redraw) {
        RedrawNow();
    }
}

void CColorLabel::SetFont(const QString& faceName, int pointSize, bool redraw) {
    QFont font = m_font;
    if (!faceName.isEmpty()) {
        font.setFamily(faceName.left(31));
    }
    font.setPixelSize(PixelHeightForPoints(pointSize, logicalDpiY()));
    SetFont(font, redraw);
}

void CColorLabel::SetTextColor(const QColor& colour, bool redraw) {
    m_textColour = colour;
    if (redraw) {
        RedrawNow();
    }
}

void CColorLabel::SetBkColor(const QColor& colour, bool redraw) {
    m_bkColour = colour;
    if (redraw) {
        RedrawNow();
    }
}

void CColorLabel::RedrawNow() {
    repaint();
}

void CColorLabel::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), m_bkColour);
    painter.setPen(m_textColour);
    painter.setFont(m_font);
    int flags = Qt::AlignLeft;
    if (m_style & kCentre) {
        flags = Qt::AlignHCenter;
    } else if (m_style & kRight) {
        flags = Qt::AlignRight;
    }
    flags |= (m_style & kCentreImage) ? (Qt::AlignVCenter | Qt::TextSingleLine)
                                      : (Qt::AlignTop | Qt::TextWordWrap);
    painter.drawText(contentsRect(), flags, m_text);
    drawFrame(&painter);
}

} // namespace app
