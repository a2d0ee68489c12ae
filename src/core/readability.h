#pragma once

#include <QString>
#include <QStringView>
#include <optional>

namespace brintale {

// The syllables of one English word: the pronouncing dictionary's count for the words it
// holds, a rule's for the rest; each digit counts one. At least 1 for a word with a letter
// or a digit, 0 for none.
int WordSyllables(QStringView word);

// What the readability formulas are made of, summed over sentences.
struct ReadabilityCounts {
    qsizetype sentences = 0;
    qsizetype words = 0;  // as CountWords counts them
    qsizetype syllables = 0;
    qsizetype letters = 0;        // letters and digits inside words
    qsizetype polysyllables = 0;  // words of three syllables or more

    void Add(const ReadabilityCounts& other);
    bool operator==(const ReadabilityCounts&) const = default;
};

// The counts of one sentence.
ReadabilityCounts MeasureSentence(QStringView sentence);
// The counts of a stretch of text taken as the given number of sentences.
ReadabilityCounts MeasureText(QStringView text, qsizetype sentences);

// The six scores by their published formulas; nullopt without sentences or words.
struct ReadabilityScores {
    double fleschReadingEase = 0;
    double fleschKincaidGrade = 0;
    double gunningFog = 0;
    double smog = 0;
    double colemanLiau = 0;
    double ari = 0;
};
std::optional<ReadabilityScores> Readability(const ReadabilityCounts& counts);

// One plain line on what a school grade such as the Flesch–Kincaid one means for a reader.
QString GradeMeaning(double grade);

}  // namespace brintale
