// The progress dialog as the running program shows it, beside Qt's own boxes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "platform/qt_services.h"

namespace brintale {
namespace {

class QtProgressTest : public ::testing::Test {
  protected:
    void SetUp() override {
        window.resize(400, 300);
        window.show();
    }
    void TearDown() override { progress.Finish(); }

    // Runs the task's steps for a while, as a command's loop does between its events.
    void Work(int ms) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms) {
            progress.Advance(++done);
            QApplication::processEvents();
            QTest::qWait(10);
        }
    }

    // Every dialog shown at this moment, by its kind.
    static QStringList Shown() {
        QStringList out;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (!w->isVisible() || !qobject_cast<QDialog*>(w)) continue;
            out << (qobject_cast<QMessageBox*>(w) ? QStringLiteral("box")
                                                  : QStringLiteral("progress"));
        }
        return out;
    }

    QWidget window;
    QtProgress progress;
    QtPrompts prompts{&progress};
    int done = 0;
};

// Up once the task has run for half a second; never over a box, neither while the box is up
// nor after its own delay runs out meanwhile; back once the box is gone; gone at the end.
TEST_F(QtProgressTest, NeverStandsOverABox) {
    progress.Start(&window, QStringLiteral("Saving 9 rows\u2026"), 1000, true);
    Work(100);
    EXPECT_EQ(Shown(), QStringList());
    QStringList duringBox;
    QTimer::singleShot(0, &window, [&] {
        duringBox << Shown().join(u'+');
        QTimer::singleShot(800, &window, [&] {
            duringBox << Shown().join(u'+');
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                box->accept();
        });
    });
    prompts.Message(&window, QStringLiteral("Brintale"), QStringLiteral("Said during the task."),
                    Prompts::Icon::None);
    EXPECT_EQ(duringBox, QStringList({"box", "box"}));
    Work(200);
    EXPECT_EQ(Shown(), QStringList({"progress"}));
    ASSERT_TRUE(progress.dialog());
    EXPECT_TRUE(progress.dialog()->isModal());

    // Up already: a box puts it away until the box is answered.
    QTimer::singleShot(300, &window, [&] {
        duringBox << Shown().join(u'+');
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            box->button(QMessageBox::Yes)->click();
    });
    EXPECT_TRUE(prompts.AskYesNo(&window, QStringLiteral("Brintale"), QStringLiteral("Go on?")));
    EXPECT_EQ(duringBox.last(), "box");
    Work(150);
    EXPECT_EQ(Shown(), QStringList({"progress"}));
    progress.Finish();
    EXPECT_EQ(Shown(), QStringList());
    EXPECT_EQ(progress.dialog(), nullptr);
}

// A modal dialog that did not come through the prompts keeps it hidden as well.
TEST_F(QtProgressTest, WaitsForAnyOtherModalDialog) {
    QDialog other(&window);
    other.setModal(true);
    other.show();
    progress.Start(&window, QStringLiteral("Exporting 3 rows\u2026"), 3, true);
    Work(700);
    EXPECT_EQ(progress.dialog(), nullptr);
    other.hide();
    Work(150);
    EXPECT_NE(progress.dialog(), nullptr);
}

// Cancel, Escape and the close button stop a task that can stop; one that cannot offers no
// Cancel, and neither Escape nor closing hides it while its task runs.
TEST_F(QtProgressTest, CancelStopsOnlyWhatCanStop) {
    const std::function<void(QWidget*)> cancel[] = {
        [](QWidget* d) {
            for (auto* b : d->findChildren<QPushButton*>())
                if (b->text() == QStringLiteral("Cancel")) QTest::mouseClick(b, Qt::LeftButton);
        },
        [](QWidget* d) { QTest::keyClick(d, Qt::Key_Escape); },
        [](QWidget* d) { d->close(); },
    };
    for (const bool cancellable : {true, false}) {
        for (std::size_t way = 0; way < std::size(cancel); ++way) {
            SCOPED_TRACE(testing::Message()
                         << (cancellable ? "cancellable" : "fixed") << ", way " << way);
            progress.Start(&window, QStringLiteral("Saving\u2026"), 100, cancellable);
            Work(650);
            QWidget* dialog = progress.dialog();
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->findChildren<QPushButton*>().size(), cancellable ? 1 : 0);
            EXPECT_FALSE(progress.Cancelled());
            cancel[way](dialog);
            QApplication::processEvents();
            EXPECT_EQ(progress.Cancelled(), cancellable);
            EXPECT_TRUE(dialog->isVisible());  // until the task ends
            progress.Finish();
            EXPECT_EQ(Shown(), QStringList());
        }
    }
}

}  // namespace
}  // namespace brintale
