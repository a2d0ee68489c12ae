// The results list as a screen reader meets it: the caption, then a check box a row.
#include "widgets/check_list_view.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QLineEdit>
#include <QStyle>
#include <QTest>
#include <QVBoxLayout>

#include "core/results_model.h"

namespace brintale {
namespace {

using namespace Qt::StringLiterals;

class CheckList : public ::testing::Test {
  protected:
    CheckList() {
        view.setModel(&model);
        for (const QString& s : {u"One."_s, u"Two!"_s, u"Three?"_s}) model.Append(s);
        model.SetTickedAt(1, true);
        view.resize(300, 200);
        view.show();
        list = QAccessible::queryAccessibleInterface(&view);
    }

    ResultsModel model;
    CheckListView view;
    QAccessibleInterface* list = nullptr;
};

TEST_F(CheckList, TheCaptionComesFirstThenACheckBoxARow) {
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->role(), QAccessible::List);
    ASSERT_EQ(list->childCount(), 4);
    QAccessibleInterface* caption = list->child(0);
    EXPECT_EQ(caption->role(), QAccessible::ColumnHeader);
    EXPECT_EQ(caption->text(QAccessible::Name), model.CaptionOf(0));
    const struct {
        QString name;
        bool ticked;
    } rows[] = {{u"One."_s, false}, {u"Two!"_s, true}, {u"Three?"_s, false}};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        QAccessibleInterface* row = list->child(i + 1);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->role(), QAccessible::CheckBox);
        EXPECT_EQ(row->text(QAccessible::Name), rows[i].name);
        EXPECT_TRUE(row->state().checkable);
        EXPECT_EQ(bool(row->state().checked), rows[i].ticked);
        EXPECT_EQ(list->indexOfChild(row), i + 1);
        EXPECT_EQ(row->parent(), list);
        EXPECT_EQ(row, list->child(i + 1)) << "a row keeps its interface while it stands";
        const QRect r = row->rect();
        EXPECT_EQ(list->childAt(r.center().x(), r.center().y()), row);
    }
    EXPECT_EQ(list->child(4), nullptr);
}

TEST_F(CheckList, TheToggleActionTicksAndUnticks) {
    QAccessibleActionInterface* action = list->child(1)->actionInterface();
    ASSERT_NE(action, nullptr);
    ASSERT_EQ(action->actionNames(), QStringList{QAccessibleActionInterface::toggleAction()});
    action->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(model.IsTickedAt(0));
    EXPECT_TRUE(list->child(1)->state().checked);
    action->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_FALSE(model.IsTickedAt(0));
}

TEST_F(CheckList, RowsAreNumberedAfreshWhenTheListChanges) {
    ASSERT_EQ(list->child(1)->text(QAccessible::Name), u"One."_s);
    model.RemoveAt(0);
    ASSERT_EQ(list->childCount(), 3);
    EXPECT_EQ(list->child(1)->text(QAccessible::Name), u"Two!"_s);
    EXPECT_TRUE(list->child(1)->state().checked);
    model.Clear();
    EXPECT_EQ(list->childCount(), 1);
    model.Append(u"Four."_s);
    EXPECT_EQ(list->child(1)->text(QAccessible::Name), u"Four."_s);
    EXPECT_FALSE(list->child(1)->state().checked);
}

// The list is heard by its caption, which tells the total, also once the rows are cleared.
TEST_F(CheckList, TheListIsNamedByItsCaptionWhateverItHolds) {
    model.SetHeaderTotal();
    EXPECT_EQ(list->text(QAccessible::Name), u"Total Sentence Count: 3"_s);
    model.Clear();
    model.SetHeaderTotal();
    EXPECT_EQ(list->text(QAccessible::Name), u"Total Sentence Count: 0"_s);
    model.SetColumnCaption(u"Result(s)"_s);
    EXPECT_EQ(list->text(QAccessible::Name), u"Result(s)"_s);
}

// Rows leave room around their check boxes, so that the boxes of neighbouring rows stand
// apart at every font size.
TEST_F(CheckList, RowsGiveTheirCheckBoxesRoom) {
    for (const qreal points : {6.0, 9.0, 14.0, 24.0}) {
        SCOPED_TRACE(points);
        QFont font = view.font();
        font.setPointSizeF(points);
        font.setBold(true);
        view.setFont(font);
        view.doItemsLayout();
        QStyleOptionViewItem option;
        option.initFrom(&view);
        const int box = view.style()->pixelMetric(QStyle::PM_IndicatorHeight, &option, &view);
        const int line = QFontMetrics(font).height();
        const int row = view.visualRect(model.index(0, 0)).height();
        EXPECT_GE(row, std::max(box, line) + 4);
    }
}

// A row is focused only while the list has the focus.
TEST(CheckListFocus, ARowIsFocusedOnlyWhileTheListHasTheFocus) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* view = new CheckListView;
    auto* edit = new QLineEdit;
    layout->addWidget(view);
    layout->addWidget(edit);
    ResultsModel model;
    view->setModel(&model);
    model.Append(u"One."_s);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    view->setFocus();
    view->setCurrentIndex(model.index(0, 0));
    QAccessibleInterface* row = QAccessible::queryAccessibleInterface(view)->child(1);
    ASSERT_NE(row, nullptr);
    EXPECT_TRUE(row->state().focused);
    edit->setFocus();
    ASSERT_TRUE(edit->hasFocus());
    EXPECT_FALSE(row->state().focused);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(view)->focusChild(), nullptr);
}

}  // namespace
}  // namespace brintale
