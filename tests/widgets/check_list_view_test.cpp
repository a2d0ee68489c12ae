// The results list as a screen reader meets it: the caption, then a check box a row.
#include "widgets/check_list_view.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleActionInterface>

#include "core/results_model.h"

namespace brintale {
namespace {

using namespace Qt::StringLiterals;

class CheckList : public ::testing::Test {
  protected:
    CheckList() {
        view.setModel(&model);
        for (const QString& s : {u"One."_s, u"Two!"_s, u"Three?"_s}) model.Append(s);
        model.SetTickedAt(2, true);
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
    EXPECT_EQ(caption->text(QAccessible::Name), model.CaptionOf(1));
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
    EXPECT_TRUE(model.IsTickedAt(1));
    EXPECT_TRUE(list->child(1)->state().checked);
    action->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_FALSE(model.IsTickedAt(1));
}

TEST_F(CheckList, RowsAreNumberedAfreshWhenTheListChanges) {
    ASSERT_EQ(list->child(1)->text(QAccessible::Name), u"One."_s);
    model.RemoveAt(1);
    ASSERT_EQ(list->childCount(), 3);
    EXPECT_EQ(list->child(1)->text(QAccessible::Name), u"Two!"_s);
    EXPECT_TRUE(list->child(1)->state().checked);
    model.Clear();
    EXPECT_EQ(list->childCount(), 1);
    model.Append(u"Four."_s);
    EXPECT_EQ(list->child(1)->text(QAccessible::Name), u"Four."_s);
    EXPECT_FALSE(list->child(1)->state().checked);
}

}  // namespace
}  // namespace brintale
