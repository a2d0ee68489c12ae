#pragma once

#include <QString>
#include <QStringList>

namespace brintale::bench {

// A deterministic English-like text of about `units` UTF-16 code units: mixed-case
// abbreviations in about a fifth of the sentences, decimals, CR LF line ends, tabs and an
// unterminated tail.
QString EnglishLikeText(qsizetype units);

// The five built-in abbreviations, and a list of 100 common ones that starts with them.
QStringList FiveAbbreviations();
QStringList HundredAbbreviations();

// `count` entries, distinct letter case aside: two to seven letters and a full stop, some
// with a full stop after the first letter, some capitalised; the same for every run.
QStringList DistinctAbbreviations(int count);

}  // namespace brintale::bench
