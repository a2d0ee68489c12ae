#include "counting/counting_command.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include "results/results_model.h"
#include "shell/form_fixture.h"
#include "shell/text_box.h"

namespace brintale {
namespace {

struct Count {
    const char* name;
    QString text;
    QString ending;
    Qt::CheckState enter;
    Qt::CheckState tab;
    QString abbreviations;  // stored form; null: never stored
    QStringList rows;
};

const QString kSep = QStringLiteral("My_Separatora12");

class CountTest : public FormTest, public ::testing::WithParamInterface<Count> {};

QStringList Rows(const ResultsModel& results) {
    QStringList out;
    for (int r = 1; r <= results.RowCount(); ++r) out << results.RowText(r);
    return out;
}

TEST_P(CountTest, StartCountingFillsTheListAndTheTotal) {
    const Count& c = GetParam();
    if (!c.abbreviations.isNull()) store.Write(kKeyAbbreviations, c.abbreviations);
    Form1& f = Load();
    f.text1()->setPlainText(c.text);
    f.text2()->setText(c.ending);
    f.check3()->setCheckState(c.enter);
    f.check4()->setCheckState(c.tab);
    f.SetPointer(Form1::Pointer::Custom);  // the hand over the button being pressed

    for (int press = 0; press < 2; ++press) {  // a second press gives the same again
        f.pushButton(17)->click();
        EXPECT_EQ(Rows(f.results()), c.rows);
        EXPECT_EQ(f.results().ColumnCaption(1),
                  QStringLiteral("Total Sentence Count: %1").arg(c.rows.size()));
        EXPECT_EQ(f.results().rowCount(), c.rows.size());  // the view has heard of every row
        EXPECT_EQ(f.pointer(), Form1::Pointer::Default);
    }
    for (int r = 1; r <= f.results().RowCount(); ++r) EXPECT_FALSE(f.results().RowCheckMark(r));
    EXPECT_TRUE(Reports().isEmpty());
}

const Qt::CheckState on = Qt::Checked, off = Qt::Unchecked, grey = Qt::PartiallyChecked;
const QString dflt = QStringLiteral(".!?");

INSTANTIATE_TEST_SUITE_P(
    Examples, CountTest,
    ::testing::Values(
        Count{"ThreeSentences",
              "Hi there. How are you?  Fine!",
              dflt,
              on,
              on,
              {},
              {"Hi there.", "How are you?", "Fine!"}},
        Count{"EmptyText", "", dflt, on, on, {}, {}},
        Count{"LastSentenceWithoutEndIsDropped", "Hello. World", dflt, on, on, {}, {"Hello."}},
        Count{"NoSeparatorsAtAll", "One. Two!\nThree\tFour", "", off, off, {}, {}},
        Count{"LinesOnly", "one\r\ntwo\r\n\r\nthree", "", on, off, {}, {"one", "two"}},
        Count{
            "IndentedParagraphs", "One.\r\n\tTwo.\r\n\tThree", dflt, on, off, {}, {"One.", "Two."}},
        Count{"GreyEnterCountsAsCleared",
              "Roses are red\nviolets are blue.",
              dflt,
              grey,
              on,
              {},
              {"Roses are redviolets are blue."}},
        Count{"GreyTabCountsAsCleared", "a\tb.", dflt, off, grey, {}, {"ab."}},
        Count{"StoredAbbreviationsAreMasked",
              "Buy milk, eggs, ETC. today.\r\nThen rest",
              dflt,
              on,
              off,
              QStringLiteral("etc.") + kSep,
              {"Buy milk, eggs, etc. today."}},
        Count{"EmptyPiecesMatchNothing",
              "See etc. and vs. here. Done.",
              dflt,
              on,
              on,
              QStringLiteral("etc.") + kSep + kSep + QStringLiteral("vs.") + kSep,
              {"See etc. and vs. here.", "Done."}},
        Count{"NeverStoredMeansNoAbbreviations",
              "See the list etc. for more.",
              dflt,
              on,
              on,
              {},
              {"See the list etc.", "for more."}},
        Count{"EmptyStoredListMeansNoAbbreviations",
              "Pears etc. Apples.",
              dflt,
              on,
              on,
              QStringLiteral(""),
              {"Pears etc.", "Apples."}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FormTest, AbbreviationsAreReadAfreshAtEveryPress) {
    Form1& f = Load();
    f.text1()->setPlainText(QStringLiteral("Pears etc. Apples."));
    f.pushButton(17)->click();
    EXPECT_EQ(f.results().RowCount(), 2);
    store.Write(kKeyAbbreviations, QStringLiteral("ETC.") + kSep);  // e.g. by another copy
    f.pushButton(17)->click();
    ASSERT_EQ(f.results().RowCount(), 1);
    EXPECT_EQ(f.results().RowText(1), QStringLiteral("Pears ETC. Apples."));
}

TEST_F(FormTest, ChangingAnOptionLeavesTheRowsOnShow) {
    Form1& f = Load();
    f.text1()->setPlainText(QStringLiteral("A. B."));
    f.pushButton(17)->click();
    f.text2()->setText(QStringLiteral("!"));
    f.check3()->click();
    EXPECT_EQ(f.results().RowCount(), 2);
    EXPECT_EQ(store.Read(kKeyEnding), QStringLiteral("!"));
    EXPECT_EQ(store.Read(kKeyEnter), QStringLiteral("0"));
}

}  // namespace
}  // namespace brintale
