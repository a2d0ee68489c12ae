#pragma once

#include <QString>

#include "core/text_sentences.h"

namespace brintale {

class MainForm;
class SettingsStore;

// How many words make a sentence long: more than this.
inline const QString kKeyLongSentenceWords = QStringLiteral("LongSentenceWords");
inline constexpr int kMaxLongSentenceWords = 9999;

// The stored number, or the default when absent or not a number from 0 to the maximum.
int ReadLongSentenceWords(const SettingsStore& settings);
// Stored at once; a failing store is told once, as the sentence-end options are.
void StoreLongSentenceWords(MainForm& form, int words);

// Whether the long sentences are coloured in the text box; off by default.
inline const QString kKeyHighlightLongSentences = QStringLiteral("HighlightLongSentences");
bool ReadHighlightLongSentences(const SettingsStore& settings);
// Colours them or not, and stores the choice.
void SetHighlightLongSentences(MainForm& form, bool on);

// What a count would now take to end a sentence: the separators, Enter and Tab as the
// window has them, and the stored abbreviations.
SentenceRules CurrentSentenceRules(MainForm& form);

// Ticks the rows of more than `longerThanWords` words, so that the copy and the export give
// the sentences to rewrite; the ticks the user gave the others stay. Nothing while busy.
void TickLongSentences(MainForm& form, int longerThanWords);

}  // namespace brintale
