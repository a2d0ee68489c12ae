#include "commands/counting.h"

#include <QCheckBox>
#include <QLineEdit>
#include <random>

#include "commands/command_fixture.h"
#include "commands/session.h"
#include "core/results_model.h"
#include "core/splitter/splitter.h"
#include "widgets/box_content.h"
#include "widgets/text_box.h"

namespace brintale {
namespace {

QStringList Rows(const ResultsModel& results) {
    QStringList out;
    for (int r = 0; r < results.rowCount(); ++r) out << results.TextAt(r);
    return out;
}

std::vector<LocatedSentence> Located(const ResultsModel& results) {
    std::vector<LocatedSentence> out;
    for (int r = 0; r < results.rowCount(); ++r) {
        const ResultsModel::Stretch s = results.StretchAt(r);
        out.push_back({results.TextAt(r), s.start, s.end});
    }
    return out;
}

// The command's own part: the options that make the separators, the stored list, carriage
// returns, the header and the pointer. The splitting itself is checked on the splitter.
TEST_F(CommandTest, StartCountingFillsTheListAndTheTotal) {
    const Qt::CheckState on = Qt::Checked, off = Qt::Unchecked, grey = Qt::PartiallyChecked;
    const QString sep = kAbbreviationDelimiter, stops = QStringLiteral(".!?");
    const QString gap = "etc." + sep + sep + "vs." + sep;  // an empty piece between two
    struct Case {
        const char* name;
        QString text, ending;
        Qt::CheckState enter, tab;
        QString abbreviations;  // stored form; null: left as it is
        QStringList rows;
    };
    // One window for all: the list is never stored before the first case that stores one,
    // and each case shows that the list is read afresh and that changing the options leaves
    // the rows of the last count on show.
    const Case cases[] = {
        {"greeting", "Hi. Are you?  Fine! Bye", stops, on, on, {}, {"Hi.", "Are you?", "Fine!"}},
        {"empty text", "", stops, on, on, {}, {}},
        {"lines only", "one\r\ntwo\r\n\r\nthree", "", on, off, {}, {"one", "two"}},
        {"tabs only", "a\tb\tc", "", off, on, {}, {"a", "b"}},
        {"grey enter is cleared", "red\nblue.", stops, grey, on, {}, {"redblue."}},
        {"grey tab is cleared", "a\tb.", stops, off, grey, {}, {"ab."}},
        // Until the list is stored, the built-in entries the list window shows apply.
        {"never stored",
         "Pears etc. vs. i.e. Apples.",
         stops,
         on,
         on,
         {},
         {"Pears etc. vs. i.e. Apples."}},
        {"stored list", "Eggs ETC. now.\r\nThen", stops, on, off, "etc." + sep, {"Eggs etc. now."}},
        {"empty pieces", "etc. vs. ok. Done.", stops, on, on, gap, {"etc. vs. ok.", "Done."}},
        {"stored empty", "Pears etc. Apples.", stops, on, on, "", {"Pears etc.", "Apples."}},
        // Only the space is trimmed: a no-break space reaches the splitter as it was typed.
        {"no-break space",
         QStringLiteral("Hi.\u00a0Bye. "),
         stops,
         on,
         on,
         {},
         {"Hi.", QStringLiteral("\u00a0Bye.")}},
    };
    testing::FakeMainForm& f = form;
    QStringList shown;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.abbreviations.isNull()) store.Write(kKeyAbbreviations, c.abbreviations);
        f.textBox()->setPlainText(c.text);
        f.separatorsEdit()->setText(c.ending);
        f.lineBreakEnds()->setCheckState(c.enter);
        f.tabEnds()->setCheckState(c.tab);
        EXPECT_EQ(Rows(f.results()), shown);
        shown = c.rows;
        f.SetPointer(MainForm::Pointer::Custom);   // the hand over the button being pressed
        for (int press = 0; press < 2; ++press) {  // a second press gives the same again
            StartCounting(f);
            EXPECT_EQ(Rows(f.results()), c.rows);
            EXPECT_EQ(f.results().CaptionOf(0), HeaderTotalText(c.rows.size()));
            EXPECT_EQ(f.results().rowCount(), c.rows.size());  // the view heard of every row
            EXPECT_EQ(f.pointer(), MainForm::Pointer::Default);
        }
        for (int r = 0; r < f.results().rowCount(); ++r) EXPECT_FALSE(f.results().IsTickedAt(r));
    }
    EXPECT_TRUE(Reports().isEmpty());
}

// Each row keeps its sentence's stretch of the counted text, so that it can be found there:
// the slice of the text, line breaks removed and the entry as listed, is the row.
TEST_F(CommandTest, StartCountingKeepsWhereEachSentenceLies) {
    testing::FakeMainForm& f = form;
    store.Write(kKeyAbbreviations, "etc." + kAbbreviationDelimiter);
    f.separatorsEdit()->setText(QStringLiteral(".!?"));
    f.lineBreakEnds()->setCheckState(Qt::Unchecked);
    const std::pair<QString, std::vector<std::pair<qsizetype, qsizetype>>> cases[] = {
        {QStringLiteral("  Eggs ETC. now.\nThen \U0001F600 rest! tail"), {{2, 16}, {16, 30}}},
        {QStringLiteral("One\r\ntwo etc. three.\r\n\r\nFour? five"), {}},
        {QStringLiteral("One\rtwo etc. three.\r\rFour? five"), {{0, 19}, {21, 26}}},  // as loaded
    };
    for (const auto& [text, stretches] : cases) {
        // A loaded text keeps its lone carriage returns.
        f.textBox()->setPlainText(TextForBox(text));
        StartCounting(f);
        ASSERT_EQ(f.results().rowCount(), 2);
        const QString counted = f.textBox()->text();
        if (!text.contains(u"\r\n")) {  // the box makes CR LF one break
            EXPECT_EQ(counted, text);
        }
        for (int r = 0; r < 2; ++r) {
            const ResultsModel::Stretch s = f.results().StretchAt(r);
            if (!stretches.empty()) {
                EXPECT_EQ(std::pair(s.start, s.end), stretches[r]);
            }
            QString found = counted.mid(s.start, s.end - s.start);
            found.remove(QChar(u'\n')).remove(QChar(u'\r'));
            EXPECT_EQ(found.replace(QStringLiteral("ETC."), QStringLiteral("etc.")),
                      f.results().TextAt(r));
        }
    }
    EXPECT_TRUE(Reports().isEmpty());
}

// The count tells that it is over once, when the header holds its total, so that the total
// can be announced however the count was started; the same total again is news too.
TEST_F(CommandTest, StartCountingSignalsItsEndWithTheTotalInTheHeader) {
    testing::FakeMainForm& f = form;
    QStringList heard;
    QObject::connect(&f.session(), &Session::counted, [&] { heard << f.results().CaptionOf(0); });
    f.textBox()->setPlainText(QStringLiteral("One. Two. Three."));
    StartCounting(f);
    EXPECT_EQ(heard, QStringList{HeaderTotalText(3)});
    EXPECT_EQ(f.session().lastCount.sentences, 3);
    EXPECT_TRUE(Reports().isEmpty());
    f.textBox()->setPlainText(QStringLiteral("One."));
    StartCounting(f);
    StartCounting(f);
    EXPECT_EQ(heard, (QStringList{HeaderTotalText(3), HeaderTotalText(1), HeaderTotalText(1)}));
}

// An empty sentence beside a lone carriage return lies where the splitter puts it, never
// with its start after its end (show-in-text could not find such a row).
TEST_F(CommandTest, StartCountingPlacesEmptySentencesBesideLoneCarriageReturns) {
    testing::FakeMainForm& f = form;
    store.Write(kKeyAbbreviations, QString());
    f.tabEnds()->setCheckState(Qt::Unchecked);
    struct Case {
        QString text, ending;
        bool enter;
        std::vector<LocatedSentence> rows;
    };
    const Case cases[] = {
        {QStringLiteral(" \r"), QStringLiteral(". "), false, {{"", 1, 1}}},
        {QStringLiteral("\r "), QStringLiteral(". "), false, {{"", 2, 2}}},
        {QStringLiteral("a.\r."), QStringLiteral("."), false, {{"a.", 0, 2}, {".", 3, 4}}},
        {QStringLiteral("a\r\r\n"), QString(), true, {{"a", 0, 3}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        f.textBox()->setPlainText(TextForBox(c.text));
        f.separatorsEdit()->setText(c.ending);
        f.lineBreakEnds()->setCheckState(c.enter ? Qt::Checked : Qt::Unchecked);
        StartCounting(f);
        EXPECT_EQ(Located(f.results()), c.rows);
    }
    EXPECT_TRUE(Reports().isEmpty());
}

// The rows are the splitter's, stretches and all, whatever mix of line breaks the text has.
TEST_F(CommandTest, StartCountingAgreesWithTheSplitterOnRandomLineBreaks) {
    testing::FakeMainForm& f = form;
    const QString stored = "e." + kAbbreviationDelimiter;
    store.Write(kKeyAbbreviations, stored);
    const QStringList abbreviations = SplitAbbreviationsForCount(stored);
    f.tabEnds()->setCheckState(Qt::Unchecked);
    const QString pieces[] = {"a", "e.", ".", " ", "\r", "\n", "\r\n", "\t"};
    std::mt19937 random(18);
    for (int round = 0; round < 3000; ++round) {
        QString text;
        const int length = static_cast<int>(random() % 9);
        for (int i = 0; i < length; ++i) text += pieces[random() % std::size(pieces)];
        const bool enter = random() % 2 == 0;
        f.textBox()->setPlainText(TextForBox(text));
        f.separatorsEdit()->setText(QStringLiteral(". "));
        f.lineBreakEnds()->setCheckState(enter ? Qt::Checked : Qt::Unchecked);
        StartCounting(f);
        const QString counted = f.textBox()->text();
        const QString separators = enter ? QStringLiteral(". \n") : QStringLiteral(". ");
        SCOPED_TRACE(QString(counted).replace(u'\r', QStringLiteral("\\r")).toStdString());
        ASSERT_EQ(Located(f.results()), SplitLocatedSentences(counted, separators, abbreviations));
    }
    EXPECT_TRUE(Reports().isEmpty());
}

}  // namespace
}  // namespace brintale
