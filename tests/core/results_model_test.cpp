#include "core/results_model.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include "core/failure.h"

namespace brintale {
namespace {

TEST(ResultsModel, RowsAreNumberedFromZeroAndTickedOnlyThroughTheCheckBox) {
    ResultsModel model;
    model.Append(QStringLiteral("First."));
    model.Append(QStringLiteral("Second."));
    EXPECT_TRUE(model.setData(model.index(1), Qt::Checked, Qt::CheckStateRole));
    EXPECT_FALSE(model.setData(model.index(1), QStringLiteral("x"), Qt::EditRole));
    EXPECT_EQ(std::pair(model.IsTickedAt(0), model.IsTickedAt(1)), std::pair(false, true));
    EXPECT_EQ(model.CellTextAt(1, 0), QStringLiteral("Second."));
    EXPECT_THROW(model.TextAt(-1), Failure);
    EXPECT_THROW(model.CellTextAt(0, 1), Failure);  // the list has no sub-items
    EXPECT_THROW(model.RemoveAt(2), Failure);
    EXPECT_THROW(model.CaptionOf(1), Failure);
}

TEST(ResultsModel, AppendsDuringACountReachTheViewsOnceAtTheEnd) {
    ResultsModel model;
    model.Append(QStringLiteral("before"));
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    model.BeginAppending();
    for (int i = 0; i < 1000; ++i) model.Append(QString::number(i));
    EXPECT_EQ(model.TextAt(1000), QStringLiteral("999"));  // the named operations see all
    EXPECT_EQ(model.rowCount(), 1);
    model.EndAppending();
    ASSERT_EQ(inserted.size(), 1);
    EXPECT_EQ(std::pair(inserted[0][1].toInt(), inserted[0][2].toInt()), std::pair(1, 1000));
    // Any other change while appending first tells the views of the rows held back.
    model.BeginAppending();
    model.Append(QStringLiteral("x"));
    model.RemoveAt(0);
    EXPECT_EQ(model.rowCount(), 1001);
    model.Clear();
    model.Append(QStringLiteral("z"));
    model.EndAppending();
    EXPECT_EQ(model.rowCount(), 1);
}

TEST(ResultsModel, RowsKeepTheirStretchAndTickInOneChange) {
    ResultsModel model;
    model.Append(QStringLiteral("Known."), 3, 9);
    model.Append(QStringLiteral("Unknown."));
    model.Append(QStringLiteral("Last one."), 10, 19);
    EXPECT_EQ(std::pair(model.StretchAt(0).start, model.StretchAt(0).end), std::pair(3ll, 9ll));
    EXPECT_FALSE(model.StretchAt(1).known());
    model.RemoveAt(1);  // the others keep theirs
    EXPECT_EQ(model.StretchAt(1).start, 10);
    EXPECT_THROW(model.StretchAt(2), Failure);

    model.SetTickedAt(0, true);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.TickWhere([](const QString& text) { return text.startsWith(u'L'); });
    EXPECT_EQ(std::pair(model.IsTickedAt(0), model.IsTickedAt(1)), std::pair(true, true));
    ASSERT_EQ(changed.size(), 1);
    EXPECT_EQ(changed[0][1].value<QModelIndex>().row(), 1);
    model.TickWhere([](const QString&) { return true; });  // nothing left to change
    EXPECT_EQ(changed.size(), 1);
}

// Qt's own checks of a model, which fail the test through a warning, across every kind of
// change the list makes.
TEST(ResultsModel, KeepsQtsRulesForAModelThroughEveryChange) {
    ResultsModel model;
    QStringList failures;
    static QStringList* sink = nullptr;
    sink = &failures;
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext&, const QString& message) {
            if (type != QtDebugMsg && type != QtInfoMsg) sink->append(message);
        });
    {
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::Warning);
        for (int i = 0; i < 5; ++i) model.Append(QString::number(i), i, i + 1);
        {
            ResultsModel::Appending appending(model);
            for (int i = 0; i < 100; ++i) model.Append(QStringLiteral("held"));
            model.SetTickedAt(2, true);  // shows the rows held so far first
            model.Append(QStringLiteral("after"));
        }
        EXPECT_EQ(model.rowCount(), 106);
        EXPECT_TRUE(model.setData(model.index(3), Qt::Checked, Qt::CheckStateRole));
        model.SetAllTicked(true);
        model.SetAllTicked(false);
        model.TickWhere([](const QString& text) { return text == u"held"; });
        model.SetHeaderTotal();
        model.RemoveAt(0);
        model.RemoveAt(model.rowCount() - 1);
        EXPECT_EQ(model.rowCount(), 104);
        model.Clear();
        model.Clear();
        model.Append(QStringLiteral("again"));
    }
    qInstallMessageHandler(previous);
    EXPECT_EQ(failures.join(u'\n').toStdString(), "");
    EXPECT_EQ(model.rowCount(), 1);
}

}  // namespace
}  // namespace brintale

namespace brintale {
namespace {

// The tip shows the sentence as typed, never as markup, and wraps; a huge one is cut.
TEST(ResultsModel, RowTipIsTheWholeSentenceEscaped) {
    const QString open = QStringLiteral("<p style='white-space:pre-wrap'>");
    const struct {
        QString sentence;
        QString tip;
    } cases[] = {
        {"Plain.", open + "Plain.</p>"},
        {"<b>bold</b> & \"q\"  x", open + "&lt;b&gt;bold&lt;/b&gt; &amp; &quot;q&quot;  x</p>"},
        {QString(4001, u'a'), open + QString(4000, u'a') + QChar(0x2026) + "</p>"},
    };
    ResultsModel model;
    for (const auto& c : cases) model.Append(c.sentence);
    for (int r = 0; r < int(std::size(cases)); ++r) {
        EXPECT_EQ(model.data(model.index(r), Qt::ToolTipRole).toString(), cases[r].tip);
    }
}

}  // namespace
}  // namespace brintale
