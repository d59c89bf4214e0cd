// The window's layout as the user sees it. Fixed faults: labels ran into
// their controls or were cut off, the Range Action box cut its texts, the BPM
// spin stood apart from its box, and the About and instruction texts
// scrolled.
#include "WindowFixture.h"
#include "app/PleaseWaitDlg.h"
#include "app/SpinButton.h"

#include <QComboBox>
#include <QGroupBox>
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

// The window's own control that a click at a point of `central` reaches.
QWidget* ControlAt(QWidget* central, QPoint point) {
    QWidget* hit = central->childAt(point);
    while (hit && hit->parentWidget() != central) {
        hit = hit->parentWidget();
    }
    return hit;
}

// Controls carry their id as object name; labels and the group frame (drawn
// behind, taking no clicks) carry none.
std::vector<QWidget*> Controls(QWidget* central) {
    std::vector<QWidget*> controls;
    for (QWidget* child : central->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!child->objectName().isEmpty() && child->isVisible()) {
            controls.push_back(child);
        }
    }
    return controls;
}

// Every control is whole and clickable where it stands (none lies on
// another), and every label's text shows whole, clear of the controls by
// at least kGap pixels: a text that runs into its box reads as cut off.
TEST_F(Window, NoControlCoversAnotherAndEveryLabelShowsWhole) {
    constexpr int kGap = 2;
    QWidget* central = window->centralWidget();
    const std::vector<QWidget*> controls = Controls(central);
    ASSERT_GT(controls.size(), 30u);
    for (std::size_t i = 0; i < controls.size(); ++i) {
        for (std::size_t j = i + 1; j < controls.size(); ++j) {
            EXPECT_FALSE(controls[i]->geometry().intersects(controls[j]->geometry()))
                << controls[i]->objectName().toStdString() << " and "
                << controls[j]->objectName().toStdString();
        }
        const QRect rect = controls[i]->geometry();
        EXPECT_TRUE(central->rect().contains(rect)) << controls[i]->objectName().toStdString();
        EXPECT_EQ(ControlAt(central, rect.center()), controls[i])
            << controls[i]->objectName().toStdString() << " is not what a click there reaches";
    }
    const auto labels = central->findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
    int checked = 0;
    for (const QLabel* label : labels) {
        if (!label->objectName().isEmpty()) {
            continue;
        }
        ++checked;
        const QRect text = TextRect(*label);
        const std::string name = label->text().toStdString();
        EXPECT_TRUE(label->geometry().contains(text)) << name;
        for (const QWidget* control : controls) {
            EXPECT_FALSE(text.adjusted(-kGap, 0, kGap, 0).intersects(control->geometry()))
                << name << " runs into " << control->objectName().toStdString() << ": text "
                << text.left() << "-" << text.right() << ", control from "
                << control->geometry().left();
        }
    }
    EXPECT_EQ(checked, 17);
}

// The closed Range Action box shows each action's whole text from its start.
TEST_F(Window, RangeActionBoxShowsWholeItemTexts) {
    auto* list = Control<QComboBox>(1029);
    QLineEdit* field = list->lineEdit();
    ASSERT_NE(field, nullptr);
    // QLineEdit keeps 2 pixels of its own on each side of the text.
    constexpr int kLineEditMargin = 2;
    const QMargins margins = field->textMargins();
    const int room =
        field->contentsRect().width() - margins.left() - margins.right() - 2 * kLineEditMargin;
    for (int i = 0; i < list->count(); ++i) {
        list->setCurrentIndex(i);
        EXPECT_EQ(field->text(), list->itemText(i));
        EXPECT_LE(field->fontMetrics().horizontalAdvance(field->text()), room)
            << field->text().toStdString();
        EXPECT_EQ(field->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    }
}

// The BPM spin sits at the right end of the BPM box, and a click on its
// upper half steps the tempo up by 0.1.
TEST_F(Window, BpmSpinIsAttachedToItsBoxAndAnswersClicks) {
    auto* spin = Control<app::CSpinButton>(1011);
    const QRect box = Control(1010)->geometry();
    EXPECT_EQ(spin->geometry().left(), box.right() + 1);
    EXPECT_EQ(spin->geometry().top(), box.top());
    EXPECT_EQ(spin->height(), box.height());
    LoadSong(150.0f);
    QTest::mouseClick(spin, Qt::LeftButton, Qt::NoModifier, QPoint(spin->width() / 2, 2));
    EXPECT_EQ(Text(1010), "150.1");
}

// Each of the instruction box's texts shows whole, without a scroll bar.
TEST_F(Window, InstructionTextsFitTheirBox) {
    auto* box = Control<QPlainTextEdit>(1008);
    const auto fits = [&] {
        QApplication::processEvents();
        return box->verticalScrollBar()->maximum() == 0;
    };
    EXPECT_TRUE(fits()) << Text(1008).toStdString();
    player.silent = true;
    LoadSong();
    EXPECT_TRUE(fits()) << Text(1008).toStdString();
    Press(Qt::Key_A);
    EXPECT_TRUE(fits()) << Text(1008).toStdString();
    window->OnCommand(32779);
    EXPECT_TRUE(fits()) << Text(1008).toStdString();
    window->OnCommand(32780);
    EXPECT_TRUE(fits()) << Text(1008).toStdString();
}

TEST(AboutBox, ShowsItsWholeTextWithoutScrolling) {
    app::CAboutDlg about;
    about.show();
    QApplication::processEvents();
    auto* text = about.findChild<QPlainTextEdit*>(QStringLiteral("1033"));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->verticalScrollBar()->maximum(), 0);
    EXPECT_TRUE(about.rect().contains(text->geometry()));
}

// An imported title longer than its box shows its start, as typed text
// would, not its end.
TEST_F(Window, ImportedLongTitleShowsItsStart) {
    LoadSong();
    Import(WriteFile(TempFolder("window_long_title"), "long.dwi",
                     "#TITLE:The Beginning Of A Title Far Too Long For Its Box;\r\n"
                     "#ARTIST:An Artist With A Name As Long As The Title Is;\r\n#BPM:120;\r\n"));
    for (int id : {1023, 1024}) {
        auto* edit = Control<QLineEdit>(id);
        ASSERT_GT(edit->fontMetrics().horizontalAdvance(edit->text()), edit->width()) << id;
        EXPECT_EQ(edit->cursorPosition(), 0) << id;
    }
}

// The window's least size is its layout's; the step view takes the height
// the window gains.
TEST_F(Window, TheStepViewTakesTheHeightTheWindowGains) {
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
