#include "input/sample_text.h"

#include <gtest/gtest.h>

#include "counting/splitter.h"

namespace brintale {
namespace {

TEST(SampleText, HasItsThreePieces) {
    const QStringList pieces = SampleTextPieces();
    ASSERT_EQ(pieces.size(), 3);
    EXPECT_EQ(pieces[0].size(), 814);
    EXPECT_EQ(pieces[1].size(), 209);
    EXPECT_EQ(pieces[2].size(), 192);
    EXPECT_EQ(SampleText(), pieces.join(QString()));
    for (int i = 1; i < 3; ++i) {
        EXPECT_TRUE(pieces[i].startsWith(u' ')) << "piece " << i;
        // The join falls inside a sentence: no full stop just before it.
        EXPECT_FALSE(pieces[i - 1].trimmed().endsWith(u'.')) << "piece " << i - 1;
    }
}

TEST(SampleText, IsPlainAsciiProseWithItsPunctuation) {
    const QString text = SampleText();
    ASSERT_EQ(text.size(), 1215);
    for (QChar c : text) ASSERT_TRUE(c.unicode() >= 0x20 && c.unicode() < 0x7F) << int(c.unicode());
    EXPECT_EQ(text.count(u'.'), 9);
    EXPECT_EQ(text.count(u','), 10);
    EXPECT_EQ(text.count(u':'), 2);
    EXPECT_EQ(text.count(u'!'), 0);
    EXPECT_EQ(text.count(u'?'), 0);
    EXPECT_TRUE(text.endsWith(u'.'));
    for (const char* builtIn : {"etc.", "vs.", "i.e.", "et al.", "e.g."})
        EXPECT_FALSE(text.contains(QLatin1String(builtIn), Qt::CaseInsensitive)) << builtIn;
}

TEST(SampleText, GivesNineSentencesWithAndWithoutTheBuiltInAbbreviations) {
    const QString separators = ComposeSeparatorSet(QStringLiteral(".!?"), true, true);
    const QStringList lists[] = {{}, {"etc.", "vs.", "i.e.", "et al.", "e.g.", ""}};
    const QStringList plain = SplitSentences(SampleText(), separators, lists[0]);
    for (const QStringList& abbreviations : lists) {
        const QStringList sentences = SplitSentences(SampleText(), separators, abbreviations);
        ASSERT_EQ(sentences.size(), 9);
        EXPECT_EQ(sentences, plain);
        for (const QString& sentence : sentences) {
            EXPECT_GE(sentence.size(), 73) << sentence.toStdString();
            EXPECT_LE(sentence.size(), 240) << sentence.toStdString();
            EXPECT_TRUE(sentence.endsWith(u'.'));
        }
    }
}

}  // namespace
}  // namespace brintale
