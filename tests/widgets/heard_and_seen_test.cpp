// What a screen reader hears of windows and check boxes, and how the separators' frame looks.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QImage>

#include "widgets/accessible_widgets.h"
#include "widgets/look.h"

namespace brintale {
namespace {

using namespace Qt::StringLiterals;

TEST(Heard, AWindowIsAFrameAndItsPartsAreNot) {
    HearWindowsAsShown();
    QWidget window;
    auto* part = new QWidget(&window);
    QDialog dialog;
    const struct {
        QWidget* widget;
        QAccessible::Role role;
    } cases[] = {
        {&window, QAccessible::Window},
        {part, QAccessible::Client},
        {&dialog, QAccessible::Dialog},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.role);
        EXPECT_EQ(QAccessible::queryAccessibleInterface(c.widget)->role(), c.role);
    }
}

// Each of the three states is heard as exactly one: checked, mixed, or neither.
TEST(Heard, ACheckBoxIsHeardInOneStateAtATime) {
    HearWindowsAsShown();
    QCheckBox box(u"&Enter"_s);
    QAccessibleInterface* heard = QAccessible::queryAccessibleInterface(&box);
    ASSERT_NE(heard, nullptr);
    EXPECT_EQ(heard->role(), QAccessible::CheckBox);
    EXPECT_EQ(heard->text(QAccessible::Name), u"Enter"_s);
    const struct {
        Qt::CheckState state;
        bool checked;
        bool mixed;
    } cases[] = {
        {Qt::Unchecked, false, false},
        {Qt::Checked, true, false},
        {Qt::PartiallyChecked, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.state);
        box.setCheckState(c.state);
        EXPECT_TRUE(heard->state().checkable);
        EXPECT_EQ(bool(heard->state().checked), c.checked);
        EXPECT_EQ(bool(heard->state().checkStateMixed), c.mixed);
    }
    // The reader's Toggle clicks it, as Space does.
    box.setTristate(false);
    box.setCheckState(Qt::Unchecked);
    QAccessibleActionInterface* action = heard->actionInterface();
    ASSERT_NE(action, nullptr);
    ASSERT_TRUE(action->actionNames().contains(QAccessibleActionInterface::toggleAction()));
    action->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(box.checkState(), Qt::Checked);
}

// Inside its frame a white group shows the white of the window, so that its white check boxes
// stand on no patch of another shade; the frame itself is still drawn.
TEST(Seen, TheGroupFrameShowsTheWindowsColourInside) {
    QWidget window;
    window.resize(400, 200);
    PaintBackground(&window, Qt::white);
    auto* group = new QGroupBox(u"Characters That Separate Sentences"_s, &window);
    group->setGeometry(10, 10, 380, 180);
    PaintBackground(group, Qt::white);
    auto* box = new QCheckBox(u"Enter"_s, group);
    box->setGeometry(20, 60, 80, 20);
    PaintBackground(box, Qt::white);
    ShowFocusClearly(&window);
    const QImage image = window.grab().toImage();
    ASSERT_FALSE(image.isNull());
    const qreal scale = image.devicePixelRatio();
    const auto at = [&](int x, int y) {
        return QColor(image.pixel(qRound(x * scale), qRound(y * scale))).name().toStdString();
    };
    for (const QPoint p : {QPoint(200, 120), QPoint(300, 170), QPoint(110, 70), QPoint(30, 150)})
        EXPECT_EQ(at(p.x(), p.y()), "#ffffff") << p.x() << "," << p.y();
    bool edge = false;
    for (int x = 8; x < 16; ++x) edge = edge || at(x, 120) != "#ffffff";
    EXPECT_TRUE(edge) << "no frame drawn at the group's left edge";
}

}  // namespace
}  // namespace brintale
