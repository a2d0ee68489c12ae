// The main window on a 1920x1080 screen at twice the scale, too small for its designed size:
// it fits the screen and every control can be scrolled into view. Runs with
// QT_SCALE_FACTOR=2 and an offscreen screen of that size (see CMakeLists.txt).
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTreeView>

#include "widgets/look.h"
#include "widgets/text_box.h"
#include "windows/window_fixture.h"

namespace brintale {
namespace {

TEST_F(WindowTest, OnAScreenTooSmallTheWindowFitsAndScrollsToEveryControl) {
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_EQ(screen->availableGeometry().size(), QSize(960, 540)) << "not the doubled screen";
    MainWindow& f = Load();
    const QSize designed = f.size();
    FitOnScreen(&f);
    CenterOnScreen(&f);
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    EXPECT_TRUE(screen->availableGeometry().contains(f.frameGeometry()))
        << f.frameGeometry().width() << "x" << f.frameGeometry().height();
    EXPECT_LT(f.height(), designed.height());
    // The controls keep their designed places on the content.
    EXPECT_EQ(f.content()->size(), designed);
    EXPECT_EQ(f.textBox()->geometry(), QRect(8, 8, 520, 148));

    QScrollArea* area = f.scrollArea();
    const QRect visible = area->viewport()->rect();
    int controls = 0;
    for (QWidget* w : f.content()->findChildren<QWidget*>()) {
        const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<TextBox*>(w) ||
                             qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractItemView*>(w) ||
                             qobject_cast<QGroupBox*>(w);
        if (!control || !w->isVisibleTo(&f) || w->parentWidget() != f.content()) continue;
        ++controls;
        SCOPED_TRACE(w->objectName().toStdString());
        area->ensureWidgetVisible(w, 0, 0);
        const QRect shown(w->mapTo(area->viewport(), QPoint(0, 0)), w->size());
        EXPECT_TRUE(visible.contains(shown))
            << shown.x() << "," << shown.y() << " " << shown.width() << "x" << shown.height()
            << " in " << visible.width() << "x" << visible.height();
    }
    EXPECT_EQ(controls, 13);  // ten buttons, the text box, the frame and the list
    // Tabbing brings the focused control into view too.
    area->verticalScrollBar()->setValue(0);
    f.resultsView()->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    EXPECT_TRUE(visible.contains(
        QRect(f.resultsView()->mapTo(area->viewport(), QPoint(0, 0)), f.resultsView()->size())));
}

}  // namespace
}  // namespace brintale
