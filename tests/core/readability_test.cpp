#include "core/readability.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QTextStream>
#include <cmath>

#include "core/syllable_rule.h"

namespace brintale {
namespace {

TEST(Syllables, OfHardWords) {
    const std::pair<const char*, int> cases[] = {
        // In the dictionary, where a rule goes wrong.
        {"every", 3},
        {"fire", 2},
        {"business", 2},
        {"created", 3},
        {"poem", 2},
        {"queue", 1},
        {"Every", 3},  // case does not matter
        {"don't", 1},
        {"naïve", 2},  // accents are dropped to find the word
        // Not in the dictionary: the rule's.
        {"smartphone", 2},
        {"selfie", 2},
        {"blogging", 2},
        {"podcasting", 3},
        {"unfriended", 3},
        {"hashtags", 2},
        {"crowdfunding", 3},
        // Digits count one each; nothing to read counts nothing.
        {"1984", 4},
        {"3.5", 2},
        {"", 0},
        {"--", 0},
        {"\u043c\u0438\u0440", 1},  // a word of another script counts one
    };
    for (const auto& [word, syllables] : cases)
        EXPECT_EQ(WordSyllables(QString::fromUtf8(word)), syllables) << word;
}

TEST(Syllables, RuleOfCommonEndings) {
    const std::pair<const char*, int> cases[] = {
        {"table", 2},
        {"make", 1},
        {"walked", 1},
        {"wanted", 2},
        {"boxes", 2},
        {"makes", 1},
        {"nation", 2},
        {"yes", 1},
        {"beyond", 2},
        {"the", 1},
        {"idea", 3},
        {"quality", 3},
        {"rhythm", 1},
        {"a", 1},
        {"", 0},
        // A vowel before "-ing" or "-ier", "-led" after a consonant, "-ism", "-ely".
        {"being", 2},
        {"happier", 3},
        {"handled", 2},
        {"tourism", 3},
        {"lovely", 2},
    };
    for (const auto& [word, syllables] : cases) EXPECT_EQ(RuleSyllables(word), syllables) << word;
}

// Every word of the dictionary the table was made from, through the program's own count:
// the words whose pronunciations differ may disagree with the first one, no others.
TEST(Syllables, AgreeWithTheDictionary) {
    QFile file(QStringLiteral(BRINTALE_PRONOUNCING_DICTIONARY));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
    QTextStream in(&file);
    static const QRegularExpression entry(QStringLiteral("^\\(\"([A-Za-z']+)\""));
    static const QRegularExpression stress(QStringLiteral("\\) [0-9]\\)"));
    qsizetype entries = 0, agree = 0;
    while (!in.atEnd()) {
        const QString line = in.readLine();
        const QRegularExpressionMatch m = entry.match(line);
        if (!m.hasMatch()) continue;
        ++entries;
        agree += WordSyllables(m.captured(1)) == line.count(stress) ? 1 : 0;
    }
    const double share = double(agree) / double(entries);
    RecordProperty("agreement", QString::number(100 * share, 'f', 2).toStdString());
    std::printf("syllables agree with the dictionary on %lld of %lld entries (%.2f %%)\n",
                static_cast<long long>(agree), static_cast<long long>(entries), 100 * share);
    EXPECT_GT(entries, 100000);
    EXPECT_GE(share, 0.99);
}

TEST(Readability, CountsOfAText) {
    ReadabilityCounts counts = MeasureSentence(u"The cat sat on the mat.");
    counts.Add(MeasureSentence(u"It was happy, don't you think?"));
    // happy 2, others 1; letters without the apostrophe.
    const ReadabilityCounts expected{2, 12, 13, 39, 0};
    EXPECT_EQ(counts, expected) << counts.words << " " << counts.syllables << " " << counts.letters;
    const ReadabilityCounts poly = MeasureText(u"Beautiful\tinteresting 2026.", 1);
    EXPECT_EQ(poly.polysyllables, 3);
    EXPECT_EQ(poly.letters, 9 + 11 + 4);
}

TEST(Readability, FormulasAgainstHandWorkedValues) {
    // 2 sentences, 20 words, 30 syllables, 90 letters, 4 polysyllables.
    const auto r = Readability({2, 20, 30, 90, 4});
    ASSERT_TRUE(r.has_value());
    EXPECT_NEAR(r->fleschReadingEase, 69.785, 1e-9);  // 206.835 - 10.15 - 126.9
    EXPECT_NEAR(r->fleschKincaidGrade, 6.01, 1e-9);   // 3.9 + 17.7 - 15.59
    EXPECT_NEAR(r->gunningFog, 12.0, 1e-9);           // 0.4 (10 + 20)
    EXPECT_NEAR(r->smog, 11.208143, 1e-6);            // 1.043 sqrt(60) + 3.1291
    EXPECT_NEAR(r->colemanLiau, 7.7, 1e-9);           // 26.46 - 2.96 - 15.8
    EXPECT_NEAR(r->ari, 4.765, 1e-9);                 // 21.195 + 5 - 21.43
    EXPECT_FALSE(Readability({}).has_value());
    EXPECT_FALSE(Readability({3, 0, 0, 0, 0}).has_value());
}

TEST(Readability, GradeMeaningSaysTheYears) {
    EXPECT_TRUE(GradeMeaning(0.2).contains(QStringLiteral("beginning")));
    EXPECT_TRUE(GradeMeaning(6.01).startsWith(QStringLiteral("Grade 6:")));
    EXPECT_TRUE(GradeMeaning(6.01).contains(QStringLiteral("aged 11 to 12")));
    EXPECT_TRUE(GradeMeaning(15.6).startsWith(QStringLiteral("Grade 16:")));
}

}  // namespace
}  // namespace brintale
