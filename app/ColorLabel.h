#pragma once

#include <QColor>
#include <QFont>
#include <QFrame>
#include <QString>
#include <QStringList>

namespace app {

// A read-out that paints its own text with its own font and colours. Its
// text is independent of any window text: SetText stores it and the caller
// decides when to repaint.
class CColorLabel : public QFrame {
    Q_OBJECT
public:
    enum Style {
        kLeft = 0,
        kCentre = 1 << 0,
        kRight = 1 << 1,
        kCentreImage = 1 << 2, // one line, vertically centred
    };

    explicit CColorLabel(int style, QWidget* parent = nullptr);

    // Uses a copy of the font with normal weight.
    void SetFont(const QFont& font, bool redraw);
    // Face name (empty: keep the current family) at a point size, turned into
    // a pixel height for the screen's vertical dots per inch.
    void SetFont(const QString& faceName, int pointSize, bool redraw);
    // The first of faceNames whose digits, '.' and ' ' all advance alike at
    // pointSize, so that changing numbers keep their places; the first face
    // when none does. fixedPitch() is no guide: fontconfig calls Noto Sans
    // Mono proportional although its digits are all one width.
    void SetEvenDigitFont(const QStringList& faceNames, int pointSize, bool redraw);
    void SetTextColor(const QColor& colour, bool redraw);
    void SetBkColor(const QColor& colour, bool redraw);
    void SetText(const QString& text) { m_text = text; }

    const QString& Text() const { return m_text; }
    const QFont& LabelFont() const { return m_font; }
    QColor TextColor() const { return m_textColour; }
    QColor BkColor() const { return m_bkColour; }

    // Pixel height of a point size at dotsPerInch, rounded like the
    // platform's integer scaling.
    static int PixelHeightForPoints(int pointSize, int dotsPerInch);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void RedrawNow();

    int m_style;
    QFont m_font;
    QColor m_textColour;
    QColor m_bkColour;
    QString m_text;
};

} // namespace app
