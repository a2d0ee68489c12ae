#include <QHeaderView>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

#include "core/results_model.h"
#include "windows/window_fixture.h"

namespace brintale {
namespace {

// Removing rows keeps the header of the last count; clearing shows the rows left.
TEST_F(WindowTest, ListGesturesAndClearResults) {
    enum { kDoubleClick = -1, kHeaderClick = -2, kClear = -3 };
    const QStringList three = {"One.", "Two.", "Three."}, none;
    // Name, key or gesture, modifiers, busy, rows, selected row (1-based; 0: none), rows left.
    using Case = std::tuple<const char*, int, Qt::KeyboardModifiers, bool, int, int, QStringList>;
    const Case cases[] = {
        {"double click", kDoubleClick, {}, false, 3, 2, {"One.", "Three."}},
        {"delete", Qt::Key_Delete, {}, false, 3, 3, {"One.", "Two."}},
        {"shift+delete", Qt::Key_Delete, Qt::ShiftModifier, false, 3, 1, {"Two.", "Three."}},
        {"backspace is ignored", Qt::Key_Backspace, {}, false, 3, 1, three},
        {"delete while busy", Qt::Key_Delete, {}, true, 3, 1, three},
        {"delete on an empty list", Qt::Key_Delete, {}, false, 0, 0, none},
        {"delete without selection", Qt::Key_Delete, {}, false, 2, 0, {"One.", "Two."}},
        {"header click sorts nothing", kHeaderClick, {}, false, 3, 0, three},
        {"clear while busy", kClear, {}, true, 3, 1, three},
        {"clear", kClear, {}, false, 3, 1, none},
    };
    MainWindow& f = Load();
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    QTreeView* list = f.resultsView();
    const QString lastCount = QStringLiteral("Total Sentence Count: 99");
    for (const auto& [name, key, modifiers, busy, rows, selected, expected] : cases) {
        SCOPED_TRACE(name);
        f.results().Clear();
        for (const QString& row : three.first(rows)) f.results().Append(row);
        f.results().SetColumnCaption(lastCount);
        list->doItemsLayout();
        const QPoint at = list->visualRect(f.results().index(selected - 1)).center();
        if (selected > 0) QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        f.SetPointer(busy ? MainForm::Pointer::Hourglass : MainForm::Pointer::Default);
        if (key == kHeaderClick)
            QTest::mouseClick(list->header()->viewport(), Qt::LeftButton, {}, QPoint(20, 5));
        else if (key == kClear)
            f.button(MainButton::ClearResults)->click();
        else if (key != kDoubleClick)
            QTest::keyClick(list, Qt::Key(key), modifiers);
        else
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        QStringList left;
        for (int r = 1; r <= f.results().Count(); ++r) left << f.results().TextAt(r);
        EXPECT_EQ(left, expected);
        EXPECT_EQ(f.results().CaptionOf(1),
                  key == kClear ? HeaderTotalText(expected.size()) : lastCount);
        EXPECT_EQ(f.IsBusy(), busy);
    }
    EXPECT_TRUE(Reports().isEmpty());
}

}  // namespace
}  // namespace brintale
