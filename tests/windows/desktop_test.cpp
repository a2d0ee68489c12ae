// The main window as a desktop program: keys, names for screen readers, the focus frame and
// the room a larger window gives.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>
#include <algorithm>
#include <cmath>
#include <map>

#include "commands/counting.h"
#include "core/results_model.h"
#include "widgets/text_box.h"
#include "windows/abbreviations_dialog.h"
#include "windows/window_fixture.h"

namespace brintale {
namespace {

using namespace Qt::StringLiterals;

class DesktopWindow : public WindowTest {
  protected:
    MainWindow& Shown() {
        MainWindow& f = Load();
        f.show();
        QApplication::setActiveWindow(&f);
        EXPECT_TRUE(QTest::qWaitForWindowActive(&f));
        return f;
    }
};

TEST_F(DesktopWindow, TabTypesATabAndCtrlTabLeavesTheTextBox) {
    MainWindow& f = Shown();
    TextBox* box = f.textBox();
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Tab);
    EXPECT_EQ(box->text(), u"\t"_s);
    EXPECT_TRUE(box->hasFocus());
    QTest::keyClick(box, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_TRUE(f.button(MainButton::LoadTextFromFile)->hasFocus());
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(f.button(MainButton::LoadSampleText)->hasFocus());  // last in the chain
    EXPECT_EQ(box->text(), u"\t"_s);
    EXPECT_TRUE(box->toolTip().contains(u"Ctrl+Tab"_s));
    EXPECT_TRUE(box->accessibleDescription().contains(u"Ctrl+Shift+Tab"_s));
}

// Return and keypad Enter press a focused button as Space does, in both windows.
TEST_F(DesktopWindow, ReturnAndEnterPressTheFocusedButton) {
    MainWindow& f = Shown();
    AbbreviationsDialog dialog(fakes.services, store, &f);
    dialog.RunStartup();
    QPushButton* const buttons[] = {f.button(MainButton::ClearResults),
                                    dialog.button(AbbreviationsButton::DeleteSelected)};
    for (QPushButton* button : buttons) {
        SCOPED_TRACE(button->objectName().toStdString());
        QSignalSpy clicks(button, &QPushButton::clicked);
        const std::pair<Qt::Key, Qt::KeyboardModifiers> keys[] = {
            {Qt::Key_Space, {}},
            {Qt::Key_Return, {}},
            {Qt::Key_Enter, Qt::KeypadModifier},
            {Qt::Key_Return, Qt::ControlModifier},  // no press: a shortcut's key
        };
        for (const auto& [key, modifiers] : keys) QTest::keyClick(button, key, modifiers);
        EXPECT_EQ(clicks.count(), 3);
    }
}

// Each shortcut clicks its button; Ctrl+Shift+C only in the list, Ctrl+Q closes.
TEST_F(DesktopWindow, ShortcutsClickTheirButtons) {
    MainWindow& f = Shown();
    const struct {
        QWidget* where;
        QKeySequence keys;
        MainButton button;
        int clicks;
    } cases[] = {
        {f.textBox(), QKeySequence(u"Ctrl+O"_s), MainButton::LoadTextFromFile, 1},
        {f.textBox(), QKeySequence(u"Ctrl+S"_s), MainButton::SaveResultsAsTextFile, 1},
        {f.textBox(), QKeySequence(u"Ctrl+Return"_s), MainButton::StartCounting, 1},
        {f.resultsView(), QKeySequence(u"F5"_s), MainButton::StartCounting, 1},
        {f.separatorsEdit(), QKeySequence(u"F1"_s), MainButton::Help, 1},
        {f.resultsView(), QKeySequence(u"Ctrl+Shift+C"_s), MainButton::CopyResultsToClipboard, 1},
        {f.textBox(), QKeySequence(u"Ctrl+Shift+C"_s), MainButton::CopyResultsToClipboard, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys.toString().toStdString());
        QSignalSpy clicks(f.button(c.button), &QPushButton::clicked);
        c.where->setFocus();
        QTest::keySequence(c.where, c.keys);
        EXPECT_EQ(clicks.count(), c.clicks);
    }
    f.textBox()->setFocus();
    QTest::keySequence(f.textBox(), QKeySequence(u"Ctrl+Q"_s));
    EXPECT_FALSE(f.isVisible());
}

TEST_F(DesktopWindow, ShiftF10OpensTheListMenuAsTheMenuKeyDoes) {
    MainWindow& f = Shown();
    f.results().Append(u"One."_s);
    f.resultsView()->setFocus();
    f.resultsView()->setCurrentIndex(f.results().index(0));
    QTest::keyClick(f.resultsView(), Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_TRUE(f.listMenu()->isVisible());
    EXPECT_TRUE(f.checkAllAction()->isEnabled());
    f.listMenu()->close();
}

// Every control a screen reader can reach has a name and a description; rows say whether
// they are ticked.
TEST_F(DesktopWindow, EveryControlHasANameAndDescription) {
    MainWindow& f = Shown();
    AbbreviationsDialog dialog(fakes.services, store, &f);
    dialog.RunStartup();
    for (QWidget* window : {static_cast<QWidget*>(&f), static_cast<QWidget*>(&dialog)}) {
        for (QWidget* w : window->findChildren<QWidget*>()) {
            const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<TextBox*>(w) ||
                                 qobject_cast<QLineEdit*>(w) ||
                                 qobject_cast<QAbstractItemView*>(w) || qobject_cast<QGroupBox*>(w);
            if (!control || qobject_cast<QHeaderView*>(w)) continue;
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
            ASSERT_NE(a, nullptr);
            SCOPED_TRACE(w->objectName().toStdString());
            EXPECT_FALSE(a->text(QAccessible::Name).isEmpty());
            EXPECT_FALSE(a->text(QAccessible::Description).isEmpty());
        }
    }
    f.results().Append(u"One."_s);
    f.results().Append(u"Two."_s);
    f.results().SetTickedAt(1, true);
    f.resultsView()->doItemsLayout();
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(f.resultsView());
    ASSERT_EQ(list->childCount(), 3);  // the caption, then the rows
    for (int row = 0; row < 2; ++row) {
        QAccessibleInterface* item = list->child(row + 1);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->role(), QAccessible::CheckBox);
        EXPECT_TRUE(item->state().checkable);
        EXPECT_EQ(bool(item->state().checked), row == 1);
    }
}

// A finished count is told to screen readers: the list is named by its new header and the
// status line, which nobody sees, says it. (Whether the change events reach the bus is for
// scripts/check-accessibility: without a screen reader Qt sends none.)
TEST_F(DesktopWindow, AFinishedCountIsAnnounced) {
    MainWindow& f = Shown();
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(f.resultsView());
    EXPECT_EQ(list->text(QAccessible::Name), u"Result(s)"_s);
    f.textBox()->setPlainText(u"One. Two."_s);
    f.button(MainButton::StartCounting)->click();
    EXPECT_EQ(list->text(QAccessible::Name), u"Total Sentence Count: 2"_s);
    EXPECT_EQ(f.statusLabel()->text(), u"Total Sentence Count: 2"_s);
    EXPECT_TRUE(f.statusLabel()->isVisible());  // a hidden widget is hidden from readers too
    EXPECT_TRUE(f.statusLabel()->size().isEmpty());
    // A count however started is heard, once it is over.
    f.textBox()->setPlainText(u"One."_s);
    StartCounting(f);
    EXPECT_EQ(f.statusLabel()->text(), u"Total Sentence Count: 1"_s);
    f.textBox()->setPlainText(u"A. B. C."_s);
    QTest::keyClick(f.textBox(), Qt::Key_F5);
    EXPECT_EQ(f.statusLabel()->text(), u"Total Sentence Count: 3"_s);
}

// Relative luminance and the contrast of two colours.
double Luminance(QColor c) {
    const auto channel = [](double v) {
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}
double Contrast(QColor a, QColor b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The focus frame stands out from what is around it, and moves or resizes nothing.
TEST_F(DesktopWindow, FocusFrameIsClearlyVisible) {
    MainWindow& f = Shown();
    QPushButton* button = f.button(MainButton::StartCounting);
    const QRect before = button->geometry();
    const QImage plain = button->grab().toImage();
    button->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(button->hasFocus());
    const QImage focused = button->grab().toImage();
    EXPECT_EQ(button->geometry(), before);
    // Along the middle of the top edge, three pixels in: frame on focus, bevel without.
    const int x = focused.width() / 2;
    const QColor frame = focused.pixelColor(x, 3), inside = focused.pixelColor(x, 6);
    EXPECT_GE(Contrast(frame, inside), 3.0);
    EXPECT_GE(Contrast(frame, plain.pixelColor(x, 3)), 3.0);
}

// At a fractional scale (QT_FONT_DPI=144 makes 1.5) the text box and the list still show
// their right and bottom frame edges.
TEST_F(DesktopWindow, FramesKeepAllFourEdgesAtAFractionalScale) {
    MainWindow& f = Shown();
    for (QWidget* w :
         {static_cast<QWidget*>(f.textBox()), static_cast<QWidget*>(f.resultsView())}) {
        SCOPED_TRACE(w->objectName().toStdString());
        QImage image((QSizeF(w->size()) * 1.5).toSize(), QImage::Format_ARGB32);
        image.setDevicePixelRatio(1.5);
        image.fill(Qt::white);
        w->render(&image);
        const auto edge = [&](bool column, int at) {
            int framed = 0, length = column ? image.height() : image.width();
            for (int i = length / 4; i < 3 * length / 4; ++i) {
                const QColor c = column ? image.pixelColor(at, i) : image.pixelColor(i, at);
                framed += c.lightness() < 235;
            }
            return framed >= length / 2 - 2;
        };
        EXPECT_TRUE(edge(true, 0));
        EXPECT_TRUE(edge(true, image.width() - 1) || edge(true, image.width() - 2));
        EXPECT_TRUE(edge(false, 0));
        EXPECT_TRUE(edge(false, image.height() - 1) || edge(false, image.height() - 2));
    }
}

// A larger window gives its room to the text box and the list; the buttons keep their
// sizes and their places relative to each other, and the results column widens.
TEST_F(DesktopWindow, ALargerWindowGrowsTheTextBoxAndTheList) {
    MainWindow& f = Shown();
    const QSize designed = f.size();
    EXPECT_EQ(f.minimumSize(), designed);
    std::map<QPushButton*, QRect> buttons;
    for (QPushButton* b : f.findChildren<QPushButton*>()) buttons[b] = b->geometry();
    const QRect text = f.textBox()->geometry(), list = f.resultsView()->geometry();
    const int column = f.resultsView()->header()->sectionSize(0);
    f.resize(designed + QSize(300, 200));
    QApplication::processEvents();
    EXPECT_EQ(f.textBox()->geometry(), text.adjusted(0, 0, 300, 100));
    EXPECT_EQ(f.resultsView()->geometry(), list.adjusted(0, 100, 300, 200));
    EXPECT_EQ(f.resultsView()->header()->sectionSize(0), column + 300);
    const QPoint moved = f.button(MainButton::StartCounting)->pos() -
                         buttons[f.button(MainButton::StartCounting)].topLeft();
    EXPECT_EQ(moved, QPoint(0, 100));
    for (const auto& [b, was] : buttons) {
        SCOPED_TRACE(b->objectName().toStdString());
        EXPECT_EQ(b->size(), was.size());
        const int down = was.top() > list.top() ? 200 : was.top() > text.top() ? 100 : 0;
        EXPECT_EQ(b->pos(), was.topLeft() + QPoint(0, down));
    }
    EXPECT_FALSE(f.scrollArea()->verticalScrollBar()->isVisible());
    f.resize(designed);
    QApplication::processEvents();
    EXPECT_EQ(f.textBox()->geometry(), text);
    EXPECT_EQ(f.resultsView()->header()->sectionSize(0), column);
}

}  // namespace
}  // namespace brintale
