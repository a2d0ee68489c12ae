#include "core/splitter/unicode_sentences.h"

#include <gtest/gtest.h>

namespace brintale {
namespace {

TEST(UnicodeSentences, CountAsAReaderWould) {
    const QStringList none, builtIn = {"etc.", "vs.", "i.e.", "et al.", "e.g."};
    const struct {
        const char* text;
        QStringList abbreviations;
        QStringList sentences;
    } cases[] = {
        {"Hello world. Wait... what?! It costs 3.5 dollars. A line without a full stop",
         none,
         {"Hello world.", "Wait... what?!", "It costs 3.5 dollars.", "A line without a full stop"}},
        {"Apples, pears etc. Then more.", builtIn, {"Apples, pears etc. Then more."}},
        {"Apples, pears etc. Then more.", none, {"Apples, pears etc.", "Then more."}},
        {"Pears ETC. Then.", builtIn, {"Pears ETC. Then."}},  // any case, as the list matches
        {"Smith et al. Found it.", builtIn, {"Smith et al. Found it."}},
        {"  \r\n\t ", none, {}},
        {"", none, {}},
        {"One.\r\nTwo\tparts.\n\nThree", none, {"One.", "Two parts.", "Three"}},
        {"Is it? Yes!", none, {"Is it?", "Yes!"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const QString text = QString::fromUtf8(c.text);
        QStringList sentences;
        SplitUnicodeSentences(text, c.abbreviations,
                              [&](QString&& sentence, qsizetype start, qsizetype end) {
                                  // The stretch is the sentence as the text has it.
                                  QString stretch = text.mid(start, end - start);
                                  stretch.remove(u'\r').replace(u'\n', u' ').replace(u'\t', u' ');
                                  EXPECT_EQ(stretch, sentence);
                                  sentences << sentence;
                              });
        EXPECT_EQ(sentences, c.sentences);
        EXPECT_EQ(CountUnicodeSentences(text, c.abbreviations), c.sentences.size());
    }
}

}  // namespace
}  // namespace brintale
