#include "commands/show_in_text.h"

#include <QTextCursor>
#include <QTreeView>

#include "commands/command_fixture.h"
#include "commands/counting.h"
#include "core/results_model.h"
#include "widgets/text_box.h"

namespace brintale {
namespace {

TEST_F(CommandTest, ACountKeepsTheListItUsedAndHowAReaderCountsIt) {
    EXPECT_FALSE(form.session().lastCount.done);
    form.textBox()->setPlainText(QStringLiteral("One etc. two.\r\nThree"));
    form.session().lastCount.changedSince = true;
    StartCounting(form);
    EXPECT_TRUE(form.session().lastCount.done);
    EXPECT_FALSE(form.session().lastCount.changedSince);
    // "One etc. two." and "Three", "etc." suppressed as the list says.
    EXPECT_EQ(form.session().lastCount.readerCount.result(), 2);
    EXPECT_EQ(form.session().lastCount.number, 1u);
    EXPECT_EQ(form.session().lastCount.abbreviations,
              SplitAbbreviationsForCount(JoinAbbreviations(kBuiltInAbbreviations)));
    store.Write(kKeyAbbreviations, QString());
    StartCounting(form);
    EXPECT_TRUE(form.session().lastCount.abbreviations.isEmpty());
}

// The text box's selection after choosing each row, for rows with known stretches.
TEST_F(CommandTest, ShowSentenceInTextSelectsTheRowsStretch) {
    struct Row {
        QString text;
        qsizetype start, end;
    };
    struct Case {
        const char* name;
        QString text;
        std::vector<Row> rows;
        bool changedSince;
        QStringList selected;  // per row; empty: the selection stays as it was
    };
    const Case cases[] = {
        {"line breaks as typed",
         "One.\r\nTwo!\r\n",
         {{"One.", 0, 4}, {"Two!", 5, 9}},
         false,
         {"One.", "Two!"}},
        {"leading spaces",
         "   Lead. \tNext one.",
         {{"Lead.", 3, 8}, {"Next one.", 10, 19}},
         false,
         {"Lead.", "Next one."}},
        {"across a line break", "A\nb. C.", {{"A b.", 0, 4}}, false, {QStringLiteral("A\u2029b.")}},
        {"past the end stops there", "Short.", {{"Short.", 0, 99}}, false, {"Short."}},
        {"no stretch", "Hi. Yo.", {{"Hi.", -1, -1}}, false, {""}},
        {"text changed since", "Hi. Yo.", {{"Hi.", 0, 3}, {"Yo.", 4, 7}}, true, {"", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        form.textBox()->setPlainText(c.text);
        form.results().Clear();
        for (const Row& row : c.rows) form.results().Append(row.text, row.start, row.end);
        form.session().lastCount = {true, {}, c.changedSince, {}, 1};
        for (int r = 0; r < static_cast<int>(c.rows.size()); ++r) {
            form.textBox()->setTextCursor(QTextCursor(form.textBox()->document()));
            form.resultsView()->setCurrentIndex(form.results().index(r));
            ShowSentenceInText(form);
            EXPECT_EQ(form.textBox()->textCursor().selectedText(), c.selected[r]) << r;
        }
    }
    // No row chosen: nothing.
    form.resultsView()->selectionModel()->clear();
    form.textBox()->setTextCursor(QTextCursor(form.textBox()->document()));
    form.session().lastCount.changedSince = false;
    ShowSentenceInText(form);
    EXPECT_FALSE(form.textBox()->textCursor().hasSelection());
}

// Each row keeps its sentence's stretch of the text as the box gives it, a loaded file's lone
// carriage returns and leading spaces included.
TEST_F(CommandTest, RowsKeepTheirStretchOfTheCountedText) {
    const QString texts[] = {QStringLiteral("  One. Two!\r\nThree"),
                             QStringLiteral("A b.\rC d.\r E."), QStringLiteral("x\r\r.y. z.")};
    for (const QString& given : texts) {
        SCOPED_TRACE(given.toStdString());
        form.textBox()->Load(given);
        const QString counted = form.textBox()->text();
        StartCounting(form);
        ASSERT_GT(form.results().rowCount(), 0);
        for (int row = 0; row < form.results().rowCount(); ++row) {
            const auto stretchAt = form.results().StretchAt(row);
            const qsizetype start = stretchAt.start, end = stretchAt.end;
            QString stretch = counted.mid(start, end - start);
            stretch.remove(u'\r');
            EXPECT_EQ(stretch, form.results().TextAt(row)) << row;
        }
    }
}

}  // namespace
}  // namespace brintale
