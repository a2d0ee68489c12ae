#include "results/results_commands.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

#include "results/results_model.h"
#include "shell/form_fixture.h"

namespace brintale {
namespace {

enum class Gesture { DoubleClick, Delete, ShiftDelete, CtrlDelete, Backspace };

struct Removal {
    const char* name;
    Gesture gesture;
    bool busy;
    int rows;
    int selected;  // 1-based; 0: none
    QStringList left;
};

class RemovalTest : public FormTest, public ::testing::WithParamInterface<Removal> {};

TEST_P(RemovalTest, RemovesTheSelectedRowOnlyWhenItMay) {
    const Removal& c = GetParam();
    Form1& f = Load();
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    const QStringList all = {"One.", "Two.", "Three."};
    for (int r = 0; r < c.rows; ++r) f.results().AppendRow(all[r]);
    f.results().SetHeaderTotal();
    QTreeView* list = f.listView1();
    if (c.selected > 0) list->setCurrentIndex(f.results().index(c.selected - 1));
    if (c.busy) f.SetPointer(Form1::Pointer::Hourglass);
    list->setFocus();
    list->doItemsLayout();

    switch (c.gesture) {
        case Gesture::DoubleClick: {
            // Click where a row is (or would be), as the user does.
            const QRect row = list->visualRect(f.results().index(std::max(c.selected, 1) - 1));
            const QPoint at = row.isValid() ? row.center() + QPoint(40, 0) : QPoint(60, 8);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
            break;
        }
        case Gesture::Delete:
            QTest::keyClick(list, Qt::Key_Delete);
            break;
        case Gesture::ShiftDelete:
            QTest::keyClick(list, Qt::Key_Delete, Qt::ShiftModifier);
            break;
        case Gesture::CtrlDelete:
            QTest::keyClick(list, Qt::Key_Delete, Qt::ControlModifier);
            break;
        case Gesture::Backspace:
            QTest::keyClick(list, Qt::Key_Backspace);
            break;
    }
    QStringList left;
    for (int r = 1; r <= f.results().RowCount(); ++r) left << f.results().RowText(r);
    EXPECT_EQ(left, c.left);
    // The header keeps the total of the last count.
    EXPECT_EQ(f.results().ColumnCaption(1), QStringLiteral("Total Sentence Count: %1").arg(c.rows));
    EXPECT_TRUE(Reports().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Gestures, RemovalTest,
    ::testing::Values(
        Removal{"DoubleClick", Gesture::DoubleClick, false, 3, 2, {"One.", "Three."}},
        Removal{"Delete", Gesture::Delete, false, 3, 3, {"One.", "Two."}},
        Removal{"ShiftDelete", Gesture::ShiftDelete, false, 3, 1, {"Two.", "Three."}},
        Removal{"CtrlDelete", Gesture::CtrlDelete, false, 2, 1, {"Two."}},
        Removal{"BackspaceIsIgnored", Gesture::Backspace, false, 3, 1, {"One.", "Two.", "Three."}},
        Removal{"DeleteWhileBusy", Gesture::Delete, true, 3, 1, {"One.", "Two.", "Three."}},
        Removal{
            "DoubleClickWhileBusy", Gesture::DoubleClick, true, 3, 2, {"One.", "Two.", "Three."}},
        Removal{"DeleteOnEmptyList", Gesture::Delete, false, 0, 0, {}},
        Removal{"DoubleClickOnEmptyList", Gesture::DoubleClick, false, 0, 0, {}},
        Removal{"DeleteWithoutSelection", Gesture::Delete, false, 2, 0, {"One.", "Two."}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FormTest, ClearResultsEmptiesTheListAndRefreshesTheHeader) {
    Form1& f = Load();
    f.pushButton(9)->click();  // before any count
    EXPECT_EQ(f.results().ColumnCaption(1), QStringLiteral("Total Sentence Count: 0"));

    for (const char* s : {"a.", "b.", "c.", "d.", "e."})
        f.results().AppendRow(QString::fromLatin1(s));
    f.results().SetHeaderTotal();
    f.results().RemoveRow(1);
    f.results().RemoveRow(1);
    EXPECT_EQ(f.results().ColumnCaption(1), QStringLiteral("Total Sentence Count: 5"));

    f.SetPointer(Form1::Pointer::Hourglass);  // a save or export is running
    f.pushButton(9)->click();
    EXPECT_EQ(f.results().RowCount(), 3);
    EXPECT_EQ(f.results().ColumnCaption(1), QStringLiteral("Total Sentence Count: 3"));
    EXPECT_EQ(f.pointer(), Form1::Pointer::Hourglass);

    f.SetPointer(Form1::Pointer::Default);
    f.pushButton(9)->click();
    EXPECT_EQ(f.results().RowCount(), 0);
    EXPECT_EQ(f.results().ColumnCaption(1), QStringLiteral("Total Sentence Count: 0"));
    EXPECT_TRUE(Reports().isEmpty());
}

TEST_F(FormTest, ClickingTheHeaderRunsNothing) {
    Form1& f = Load();
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    for (const char* s : {"b.", "a.", "c."}) f.results().AppendRow(QString::fromLatin1(s));
    QHeaderView* header = f.listView1()->header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(20, header->height() / 2));
    EXPECT_EQ(f.results().RowText(1), QStringLiteral("b."));
    EXPECT_EQ(f.results().ColumnCaption(1), QStringLiteral("Result(s)"));
    EXPECT_EQ(f.results().RowCount(), 3);
}

}  // namespace
}  // namespace brintale
