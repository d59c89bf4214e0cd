#include "app/ColorLabel.h"

#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>

namespace app {

namespace {

constexpr int kPointsPerInch = 72;

bool DigitsAdvanceAlike(const QFont& font) {
    const QFontMetricsF metrics(font);
    const qreal advance = metrics.horizontalAdvance(QLatin1Char('0'));
    for (const QChar c : QStringLiteral("123456789. ")) {
        if (metrics.horizontalAdvance(c) != advance) {
            return false;
        }
    }
    return true;
}

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

void CColorLabel::SetEvenDigitFont(const QStringList& faceNames, int pointSize, bool redraw) {
    for (const QString& faceName : faceNames) {
        SetFont(faceName, pointSize, false);
        if (DigitsAdvanceAlike(m_font)) {
            if (redraw) {
                RedrawNow();
            }
            return;
        }
    }
    SetFont(faceNames.value(0), pointSize, redraw);
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
