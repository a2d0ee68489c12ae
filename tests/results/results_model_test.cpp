#include "results/results_model.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

#include "shell/failure.h"

namespace brintale {
namespace {

TEST(ResultsModel, RowsAreAddedClearAndReadOneBased) {
    ResultsModel model;
    model.AppendRow(QStringLiteral("First."));
    model.AppendRow(QStringLiteral("Second."));
    EXPECT_EQ(model.RowCount(), 2);
    EXPECT_EQ(model.RowText(1), QStringLiteral("First."));
    EXPECT_EQ(model.RowCellText(2, 1), QStringLiteral("Second."));
    EXPECT_FALSE(model.RowCheckMark(1));
    EXPECT_EQ(model.data(model.index(1), Qt::CheckStateRole).toInt(), Qt::Unchecked);

    // The user ticks a row through the view.
    EXPECT_TRUE(model.flags(model.index(1)) & Qt::ItemIsUserCheckable);
    EXPECT_FALSE(model.flags(model.index(1)) & Qt::ItemIsEditable);
    EXPECT_TRUE(model.setData(model.index(1), Qt::Checked, Qt::CheckStateRole));
    EXPECT_TRUE(model.RowCheckMark(2));
    EXPECT_FALSE(model.setData(model.index(1), QStringLiteral("x"), Qt::EditRole));
    EXPECT_EQ(model.RowText(2), QStringLiteral("Second."));
}

TEST(ResultsModel, OutOfRangeQuestionsFail) {
    ResultsModel model;
    model.AppendRow(QStringLiteral("Only."));
    EXPECT_THROW(model.RowText(0), Failure);
    EXPECT_THROW(model.RowText(2), Failure);
    EXPECT_THROW(model.RowCheckMark(2), Failure);
    EXPECT_THROW(model.RowCellText(1, 2), Failure);  // no sub-items
    EXPECT_THROW(model.ColumnCaption(2), Failure);
    EXPECT_THROW(model.RemoveRow(2), Failure);
    EXPECT_EQ(model.RowCount(), 1);
}

TEST(ResultsModel, HeaderTotalIsThePlainRowCount) {
    ResultsModel model;
    EXPECT_EQ(model.ColumnCaption(1), QStringLiteral("Result(s)"));
    model.SetHeaderTotal();
    EXPECT_EQ(model.ColumnCaption(1), QStringLiteral("Total Sentence Count: 0"));
    for (int i = 0; i < 1234; ++i) model.AppendRow(QStringLiteral("x."));
    model.SetHeaderTotal();
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(),
              QStringLiteral("Total Sentence Count: 1234"));
}

TEST(ResultsModel, AppendsDuringACountReachTheViewsOnceAtTheEnd) {
    ResultsModel model;
    model.AppendRow(QStringLiteral("before"));
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    {
        ResultsModel::Appending appending(model);
        for (int i = 0; i < 1000; ++i) model.AppendRow(QString::number(i));
        // The named operations see every row; the views only the rows they were told of.
        EXPECT_EQ(model.RowCount(), 1001);
        EXPECT_EQ(model.RowText(1001), QStringLiteral("999"));
        EXPECT_EQ(model.rowCount(), 1);
        EXPECT_FALSE(model.data(model.index(5)).isValid());
    }
    ASSERT_EQ(inserted.size(), 1);
    EXPECT_EQ(inserted[0][1].toInt(), 1);
    EXPECT_EQ(inserted[0][2].toInt(), 1000);
    EXPECT_EQ(model.rowCount(), 1001);
    EXPECT_EQ(model.data(model.index(1000)).toString(), QStringLiteral("999"));
}

TEST(ResultsModel, ChangesDuringAppendingKeepTheViewsInStep) {
    ResultsModel model;
    model.BeginAppending();
    for (const char* s : {"a", "b", "c"}) model.AppendRow(QString::fromLatin1(s));
    model.SetCheckMark(3, true);
    EXPECT_EQ(model.rowCount(), 3);
    model.AppendRow(QStringLiteral("d"));
    model.RemoveRow(1);
    EXPECT_EQ(model.rowCount(), 3);
    model.AppendRow(QStringLiteral("e"));
    model.ClearRows();
    EXPECT_EQ(model.rowCount(), 0);
    model.AppendRow(QStringLiteral("f"));
    model.EndAppending();
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.RowText(1), QStringLiteral("f"));
}

}  // namespace
}  // namespace brintale
