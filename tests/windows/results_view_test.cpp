#include <QHeaderView>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QTreeView>

#include "core/results_model.h"
#include "windows/window_fixture.h"

namespace brintale {
namespace {

using namespace Qt::StringLiterals;

// Removing rows keeps the header of the last count; clearing shows the rows left.
TEST_F(WindowTest, ListGesturesAndClearResults) {
    enum { kDoubleClick = -1, kHeaderClick = -2, kClear = -3 };
    const QStringList three = {"One.", "Two.", "Three."}, none;
    struct Case {
        const char* name;
        int key;  // or a gesture
        Qt::KeyboardModifiers modifiers;
        bool busy;
        int rows;
        int selected;  // 1-based; 0: none
        QStringList left;
    };
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
        const QPoint lastRow = list->visualRect(f.results().index(rows - 1)).center();
        if (selected > 0) QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QSignalSpy removed(&f.results(), &QAbstractItemModel::rowsRemoved);
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
        for (int r = 0; r < f.results().rowCount(); ++r) left << f.results().TextAt(r);
        EXPECT_EQ(left, expected);
        // The view heard of a removed row and lays out the rows that are left.
        const bool removedOne = key != kClear && expected.size() < rows;
        EXPECT_EQ(removed.size(), removedOne ? 1 : 0);
        EXPECT_EQ(list->indexAt(lastRow).isValid(), expected.size() == rows && rows > 0);
        EXPECT_EQ(f.results().CaptionOf(0),
                  key == kClear ? HeaderTotalText(expected.size()) : lastCount);
        EXPECT_EQ(f.IsBusy(), busy);
    }
    EXPECT_TRUE(Reports().isEmpty());
}

// The user ticks a row by clicking its check box, and clears it the same way; a click on the
// text only selects the row.
TEST_F(WindowTest, ARowIsTickedByClickingItsCheckBox) {
    MainWindow& f = Load();
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    QTreeView* list = f.resultsView();
    for (const QString& row : {u"One."_s, u"Two."_s}) f.results().Append(row);
    list->doItemsLayout();
    const QModelIndex second = f.results().index(1);
    // Where the view's style draws the row's check box.
    QStyleOptionViewItem option;
    option.initFrom(list->viewport());
    option.rect = list->visualRect(second);
    option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    option.text = second.data().toString();
    const QPoint box = list->style()
                           ->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list)
                           .center();
    const QPoint text = option.rect.center();
    const std::pair<QPoint, bool> clicks[] = {
        {text, false}, {box, true}, {text, true}, {box, false}};
    for (const auto& [at, ticked] : clicks) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        EXPECT_EQ(f.results().IsTickedAt(1), ticked);
        EXPECT_FALSE(f.results().IsTickedAt(0));
    }
    EXPECT_EQ(f.results().rowCount(), 2);
}

}  // namespace
}  // namespace brintale
