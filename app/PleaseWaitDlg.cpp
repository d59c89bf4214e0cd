#include "app/PleaseWaitDlg.h"

#include "app/DialogUnits.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTextDocument>
#include <algorithm>
#include <cmath>

namespace app {

namespace {

QString ProgressTextFor(int percent) {
    return QStringLiteral("Calculating BPM...%1%").arg(percent);
}

} // namespace

CPleaseWaitDlg::CPleaseWaitDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("145"));
    setWindowTitle(QStringLiteral("Please wait..."));
    setFixedSize(DialogRect(0, 0, 159, 63).size());
    m_progress = new QLabel(QStringLiteral("Static"), this);
    m_progress->setObjectName(QStringLiteral("1038"));
    m_progress->setAlignment(Qt::AlignCenter);
    m_progress->setGeometry(DialogRect(7, 27, 145, 8).adjusted(0, -4, 0, 4));
    m_progress->setText(ProgressTextFor(0));
}

void CPleaseWaitDlg::SetPercent(int percent) {
    if (percent == m_percent) {
        return;
    }
    m_percent = percent;
    m_progress->setText(ProgressTextFor(percent));
    m_progress->repaint();
}

void CPleaseWaitDlg::SetText(const QString& text) {
    m_progress->setText(text);
}

QString CPleaseWaitDlg::ProgressText() const {
    return m_progress->text();
}

void CPleaseWaitDlg::closeEvent(QCloseEvent* event) {
    event->ignore();
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("100"));
    setWindowTitle(QStringLiteral("About Beatwright"));
    setFont(DialogFont(font()));

    auto* icon = new QLabel(this);
    icon->setGeometry(DialogRect(11, 17, 20, 20));
    icon->setPixmap(QApplication::windowIcon().pixmap(icon->size()));

    auto* version = new QLabel(QStringLiteral("Beatwright Version 0.81"), this);
    version->setTextFormat(Qt::PlainText);
    version->setGeometry(DialogRect(40, 10, 119, 8).adjusted(0, -2, 0, 2));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("1"));
    ok->setDefault(true);
    ok->setGeometry(DialogRect(178, 7, 50, 16));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* contact = new QPlainTextEdit(this);
    contact->setObjectName(QStringLiteral("1033"));
    contact->setReadOnly(true);
    contact->setGeometry(DialogRect(40, 38, 174, 76));
    contact->setPlainText(QStringLiteral(
        "Please read the README.TXT file that comes with Beatwright: it walks through "
        "opening a song, tapping the tempo, entering steps and saving. Questions and bug "
        "reports are welcome by e-mail to the address given there.\n"
        "If that address no longer answers, look up the project under the name Beatwright; "
        "its page lists the current contact."));
    // The whole text shows without scrolling: where the font sets it taller
    // than the box, box and dialog grow by the difference.
    QTextDocument layout;
    layout.setDefaultFont(contact->font());
    layout.setDocumentMargin(contact->document()->documentMargin());
    layout.setPlainText(contact->toPlainText());
    const int frame = contact->frameWidth();
    layout.setTextWidth(contact->width() - 2 * frame);
    const int needed = static_cast<int>(std::ceil(layout.size().height())) + 2 * frame;
    const int grow = std::max(0, needed - contact->height());
    contact->resize(contact->width(), contact->height() + grow);
    contact->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFixedSize(DialogRect(0, 0, 235, 121).size() + QSize(0, grow));
}

} // namespace app
