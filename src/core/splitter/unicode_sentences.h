#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <functional>

namespace brintale {

// Sentences as a reader counts them: Unicode's sentence rules (UAX #29, through ICU), with
// every abbreviation of the list as a suppressed break. "Wait... what?!" is one sentence,
// "3.5" stays whole and an unterminated tail counts.
//
// Each sentence is its stretch [start, end) of the text (UTF-16 code units) without leading
// and trailing white space; its text has carriage returns removed and every line break and
// tab turned into a space, so that it fits on one line. Stretches of white space alone are
// no sentence.
using UnicodeSentenceSink = std::function<void(QString&& sentence, qsizetype start, qsizetype end)>;

void SplitUnicodeSentences(QStringView text, const QStringList& abbreviations,
                           const UnicodeSentenceSink& sink);
qsizetype CountUnicodeSentences(QStringView text, const QStringList& abbreviations);

}  // namespace brintale
