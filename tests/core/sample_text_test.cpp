#include "core/sample_text.h"

#include <gtest/gtest.h>

#include "core/splitter/splitter.h"

namespace brintale {
namespace {

TEST(SampleText, KeepsItsPiecesAndPunctuation) {
    const QStringList pieces = SampleTextPieces();
    ASSERT_EQ(pieces.size(), 3);
    EXPECT_EQ(std::vector({pieces[0].size(), pieces[1].size(), pieces[2].size()}),
              std::vector<qsizetype>({814, 209, 192}));
    for (int i = 1; i < 3; ++i)  // each join falls inside a sentence
        EXPECT_TRUE(pieces[i].startsWith(u' ') && !pieces[i - 1].trimmed().endsWith(u'.')) << i;
    const QString text = SampleText();
    for (QChar c : text) ASSERT_TRUE(c.unicode() >= 0x20 && c.unicode() < 0x7F) << int(c.unicode());
    for (const auto& [mark, n] : {std::pair{u'.', 9}, {u',', 10}, {u':', 2}, {u'!', 0}, {u'?', 0}})
        EXPECT_EQ(text.count(QChar(mark)), n) << char(mark);
    EXPECT_TRUE(text.endsWith(u'.'));
}

TEST(SampleText, GivesNineSentencesWithAndWithoutTheBuiltInAbbreviations) {
    const QStringList builtIn = {"etc.", "vs.", "i.e.", "et al.", "e.g."};
    const QString separators = ComposeSeparatorSet(QStringLiteral(".!?"), true, true);
    const QStringList plain = SplitSentences(SampleText(), separators, {});
    ASSERT_EQ(plain.size(), 9);
    EXPECT_EQ(SplitSentences(SampleText(), separators, builtIn + QStringList{QString()}), plain);
    for (const QString& sentence : plain)
        EXPECT_TRUE(sentence.size() >= 73 && sentence.size() <= 240 && sentence.endsWith(u'.'))
            << sentence.toStdString();
    for (const QString& entry : builtIn)
        EXPECT_FALSE(SampleText().contains(entry, Qt::CaseInsensitive));
}

}  // namespace
}  // namespace brintale
