// The window's layout as the user sees it. Fixed faults: labels ran into
// their controls or were cut off, the Range Action box cut its texts, the BPM
// spin stood apart from its box, the About and instruction texts scrolled,
// and an imported long title showed its end.
#include "WindowFixture.h"
#include "app/PleaseWaitDlg.h"

#include <QLabel>
#include <QScrollBar>

namespace {

// Where a label's text lies inside the window: across, its advance placed by
// the alignment; down, the ink of its letters below the top.
QRect TextRect(const QLabel& label) {
    const QFontMetrics metrics = label.fontMetrics();
    const int width = metrics.horizontalAdvance(label.text());
    const QRect box = label.geometry();
    const int left = (label.alignment() & Qt::AlignHCenter) ? box.center().x() - width / 2
                     : (label.alignment() & Qt::AlignRight) ? box.right() - width + 1
                                                            : box.left();
    const QRect ink = metrics.tightBoundingRect(label.text());
    return QRect(left, box.top() + metrics.ascent() + ink.top(), width, ink.height());
}

// Every label's text shows whole, clear of the controls by at least kGap
// pixels: a text that runs into its box reads as cut off. The closed Range
// Action box shows each action's whole text from its start; the BPM spin
// sits at the right end of its box.
TEST_F(Window, ControlsAndLabelsShowWholeAndApart) {
    constexpr int kGap = 2;
    QWidget* central = window->centralWidget();
    std::vector<QWidget*> controls;
    for (QWidget* child : central->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!child->objectName().isEmpty() && child->isVisible()) {
            controls.push_back(child);
        }
    }
    int labels = 0;
    for (const QLabel* label : central->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
        if (!label->objectName().isEmpty()) {
            continue;
        }
        ++labels;
        const QRect text = TextRect(*label);
        EXPECT_TRUE(label->geometry().contains(text)) << label->text().toStdString();
        for (const QWidget* control : controls) {
            EXPECT_FALSE(text.adjusted(-kGap, 0, kGap, 0).intersects(control->geometry()))
                << label->text().toStdString() << " runs into "
                << control->objectName().toStdString();
        }
    }
    EXPECT_EQ(labels, 17);

    auto* list = Control<QComboBox>(1029);
    QLineEdit* field = list->lineEdit();
    // QLineEdit keeps 2 pixels of its own on each side of the text.
    constexpr int kLineEditMargin = 2;
    const int room = field->contentsRect().width() - field->textMargins().left() -
                     field->textMargins().right() - 2 * kLineEditMargin;
    for (int i = 0; i < list->count(); ++i) {
        list->setCurrentIndex(i);
        EXPECT_LE(field->fontMetrics().horizontalAdvance(field->text()), room)
            << field->text().toStdString();
        EXPECT_EQ(field->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    }

    auto* spin = Control<app::CSpinButton>(1011);
    const QRect box = Control(1010)->geometry();
    EXPECT_EQ(spin->geometry(), QRect(box.right() + 1, box.top(), spin->width(), box.height()));
    LoadSong(150.0f);
    QTest::mouseClick(spin, Qt::LeftButton, Qt::NoModifier, QPoint(spin->width() / 2, 2));
    EXPECT_EQ(Text(1010), "150.1") << "the upper half steps up";
}

// The instruction box shows each of its texts whole, without a scroll bar,
// as the About box does its own.
TEST_F(Window, TextsShowWholeAndTheStepViewTakesTheHeight) {
    auto* box = Control<QPlainTextEdit>(1008);
    player.silent = true;
    const std::function<void()> steps[] = {[] {}, [&] { LoadSong(); }, [&] { Press(Qt::Key_A); },
                                           [&] { window->OnCommand(32779); },
                                           [&] { window->OnCommand(32780); }};
    for (const auto& step : steps) {
        step();
        QApplication::processEvents();
        EXPECT_EQ(box->verticalScrollBar()->maximum(), 0) << Text(1008).toStdString();
    }
    app::CAboutDlg about;
    about.show();
    QApplication::processEvents();
    auto* text = about.findChild<QPlainTextEdit*>(QStringLiteral("1033"));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->verticalScrollBar()->maximum(), 0);
    EXPECT_TRUE(about.rect().contains(text->geometry()));

    // An imported title longer than its box shows its start, as typed text
    // would. The step view takes the height the window gains; the window's
    // least size is its layout's.
    Import(WriteFile(TempFolder("window_long_title"), "long.dwi",
                     "#TITLE:The Beginning Of A Title Far Too Long For Its Box;\r\n"
                     "#ARTIST:An Artist With A Name As Long As The Title Is;\r\n#BPM:120;\r\n"));
    for (int id : {1023, 1024}) {
        auto* edit = Control<QLineEdit>(id);
        ASSERT_GT(edit->fontMetrics().horizontalAdvance(edit->text()), edit->width()) << id;
        EXPECT_EQ(edit->cursorPosition(), 0) << id;
    }
    const QSize start = window->size();
    const int viewHeight = window->StepView()->height();
    window->resize(start.width() + 50, start.height() + 120);
    QCoreApplication::processEvents();
    EXPECT_EQ(window->StepView()->height(), viewHeight + 120);
    window->resize(start.width() - 40, start.height() - 40);
    QCoreApplication::processEvents();
    EXPECT_EQ(window->size(), start);
    EXPECT_EQ(window->StepView()->height(), viewHeight);
}

} // namespace
