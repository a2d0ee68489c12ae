// What both windows show and how they take the keyboard, control by control.
#include <QCoreApplication>
#include <QGuiApplication>
#include <QTest>
#include <QWindow>

#include "windows/abbreviations_dialog.h"
#include "windows/window_fixture.h"

namespace brintale {
namespace {

// The title a desktop shows: its platform plugins (xcb, wayland) add " — " and the
// application's display name, once one is set, to every title that does not end in it.
QString ShownTitle(QWidget* window) {
    const QString title = window->windowHandle()->title();
    const QString name = QGuiApplication::applicationDisplayName();
    if (name == QCoreApplication::applicationName() || title.endsWith(name)) return title;
    return title + QStringLiteral(" \u2014 ") + name;
}

TEST_F(WindowTest, EachWindowShowsItsOwnTitleAlone) {
    MainWindow& main = Load();
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    EXPECT_EQ(ShownTitle(&main), QStringLiteral("Brintale Software"));
    AbbreviationsDialog dialog(fakes.services, store, &main);
    dialog.RunStartup();
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(ShownTitle(&dialog), QStringLiteral("Ignore These Abbreviations"));
}

}  // namespace
}  // namespace brintale
