#include "commands/long_sentences.h"

#include "commands/command_fixture.h"
#include "core/results_model.h"

namespace brintale {
namespace {

// The long rows are ticked; a row ticked by hand keeps its tick, long or not.
TEST_F(CommandTest, TickLongSentencesTicksTheLongOnesAndKeepsTheOtherTicks) {
    // Words: 1, 3, 5, 0 and 4 ("3.5" and "don't" are a word each).
    const QStringList rows = {"One.", "Two more words.", "It costs 3.5 dollars, really.", "...",
                              "Don't stop me now."};
    struct Case {
        const char* name;
        int longerThan;
        bool busy;
        std::vector<bool> ticked;
    };
    const Case cases[] = {
        {"more than three", 3, false, {true, false, true, false, true}},
        {"more than zero", 0, false, {true, true, true, false, true}},
        {"more than all", 5, false, {true, false, true, false, false}},
        {"busy changes nothing", 0, true, {true, false, true, false, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        form.results().Clear();
        for (const QString& row : rows) form.results().Append(row);
        form.results().SetTickedAt(0, true);  // by hand: a short row and a long one
        form.results().SetTickedAt(2, true);
        form.SetPointer(c.busy ? MainForm::Pointer::Hourglass : MainForm::Pointer::Default);
        TickLongSentences(form, c.longerThan);
        std::vector<bool> ticked;
        for (int r = 0; r < form.results().rowCount(); ++r)
            ticked.push_back(form.results().IsTickedAt(r));
        EXPECT_EQ(ticked, c.ticked);
    }
}

TEST_F(CommandTest, LongSentenceWordsAreStoredAndReadBack) {
    const std::pair<QString, int> stored[] = {
        {{}, 25},  // absent
        {"30", 30},    {" 7 ", 7}, {"0", 0},     {"9999", 9999},
        {"10000", 25}, {"-1", 25}, {"many", 25}, {"", 25},
    };
    for (const auto& [text, words] : stored) {
        if (!text.isNull()) store.Write(kKeyLongSentenceWords, text);
        EXPECT_EQ(ReadLongSentenceWords(store), words) << text.toStdString();
    }
    StoreLongSentenceWords(form, 12);
    EXPECT_EQ(store.Read(kKeyLongSentenceWords), QStringLiteral("12"));
    EXPECT_TRUE(Reports().isEmpty());
}

}  // namespace
}  // namespace brintale
