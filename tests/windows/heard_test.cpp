// The main window as a screen reader hears it, beyond what its controls say of themselves.
#include <QAccessible>
#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

#include "core/product.h"
#include "widgets/text_box.h"
#include "windows/window_fixture.h"

namespace brintale {
namespace {

using namespace Qt::StringLiterals;

QAccessibleInterface* Heard(QObject* object) {
    return QAccessible::queryAccessibleInterface(object);
}

TEST_F(WindowTest, TheWindowIsAFrameAndTheListIsNamedByItsTotal) {
    MainWindow& window = Load();
    EXPECT_EQ(Heard(&window)->role(), QAccessible::Window);
    QAccessibleInterface* list = Heard(window.resultsView());
    EXPECT_EQ(list->text(QAccessible::Name), u"Result(s)"_s);
    window.textBox()->setPlainText(u"One. Two! Three?"_s);
    QTest::mouseClick(window.button(MainButton::StartCounting), Qt::LeftButton);
    EXPECT_EQ(list->text(QAccessible::Name), u"Total Sentence Count: 3"_s);
    QTest::mouseClick(window.button(MainButton::ClearResults), Qt::LeftButton);
    EXPECT_EQ(list->text(QAccessible::Name), u"Total Sentence Count: 0"_s);
}

// A stored 2 shows the box in its third state, which counts as not ticked: it is heard as
// mixed, and not as checked as well.
TEST_F(WindowTest, ARestoredThirdStateIsHeardAsMixedOnly) {
    const struct {
        const char* stored;
        bool checked;
        bool mixed;
    } cases[] = {{"0", false, false}, {"1", true, false}, {"2", false, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        store.Write(kKeyEnter, QString::fromLatin1(c.stored));
        store.Write(kKeyTab, QString::fromLatin1(c.stored));
        MainWindow& window = Load();
        for (QCheckBox* box : {window.lineBreakEnds(), window.tabEnds()}) {
            const QAccessible::State state = Heard(box)->state();
            EXPECT_EQ(bool(state.checked), c.checked) << box->text().toStdString();
            EXPECT_EQ(bool(state.checkStateMixed), c.mixed) << box->text().toStdString();
        }
    }
}

// The Help button is described by what it does: it names where questions go.
TEST_F(WindowTest, HelpIsDescribedByWhatItShows) {
    MainWindow& window = Load();
    const QString description = window.button(MainButton::Help)->accessibleDescription();
    EXPECT_FALSE(description.contains(u"how to use"_s, Qt::CaseInsensitive));
    EXPECT_TRUE(description.contains(u"contact page"_s)) << description.toStdString();
    QTest::mouseClick(window.button(MainButton::Help), Qt::LeftButton);
    ASSERT_EQ(fakes.prompts.calls.size(), 1u);
    EXPECT_TRUE(fakes.prompts.calls[0].text.endsWith(kContactPage));
}

}  // namespace
}  // namespace brintale
