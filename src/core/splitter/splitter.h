#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <ostream>
#include <vector>

namespace brintale {

// The separator text as typed, then a line feed and a tab when their options are on.
QString ComposeSeparatorSet(const QString& separatorText, bool lineFeed, bool tab);

// Step 1: every carriage return removed.
QString RemoveCarriageReturns(QString text);

// Step 2: the text with every listed abbreviation replaced by its marker, and the
// knowledge of which stretches are markers the masking inserted.
//
// The masked text is not spelled out: it is `text` with each element of `markers` standing
// in place of the stretch [position, position + length) of `text`. Carriage returns left in
// `text` count as absent everywhere, exactly as if step 1 had removed them, so callers need
// not copy a large text to strip them first.
struct MaskedText {
    QString text;
    // A marker the masking inserted, or the part [from, to) of one that a later entry cut
    // into (such a part is plain text from then on). In text order, never overlapping, and
    // from < to always.
    struct Marker {
        qsizetype position = 0;
        qsizetype length = 0;
        qsizetype entry = 0;
        std::int32_t from = 0;
        std::int32_t to = 0;
    };
    std::vector<Marker> markers;
    QStringList entries;
    // Where a marker's units came from, when a later entry matched across markers (only the
    // masking pass by pass fills it, one per marker): the stretch of the text its match
    // covered, and whether that match took in text alone, so that the entry's units stand
    // for the text's units one by one. Empty: each marker came from [position, position +
    // length), text alone.
    struct Origin {
        qsizetype start = 0;
        qsizetype end = 0;
        bool textAlone = true;
    };
    std::vector<Origin> origins;
};

// Handed each sentence the moment its buffer closes.
using SentenceSink = std::function<void(QString&& sentence)>;

// A sentence and its stretch of the text it came from: [start, end) in UTF-16 units, from
// its first to its last character once leading and trailing spaces are removed, in the text
// as given (carriage returns and abbreviations as the text had them). Apart from a marker
// that a separator or a later entry cut apart, the sentence is its stretch with carriage
// returns, line feeds and tabs removed and each abbreviation's units respelled as the list
// has them. An empty sentence sits at the end of its buffer, start == end.
struct LocatedSentence {
    QString text;
    qsizetype start = 0;
    qsizetype end = 0;
    bool operator==(const LocatedSentence&) const = default;
    friend void PrintTo(const LocatedSentence& s, std::ostream* out) {
        *out << '[' << s.start << ',' << s.end << ") \"" << s.text.toStdString() << '"';
    }
};
using LocatedSentenceSink = std::function<void(QString&& sentence, qsizetype start, qsizetype end)>;

// Handed the sentences of a text that comes a piece at a time (SentenceStream, and the
// counter's own readers), each with its stretch placed in the whole text.
class SentenceReceiver {
  public:
    virtual ~SentenceReceiver() = default;
    // A sentence ended: its text (the rest of it after parts) and its stretch. The text is
    // lent until the call returns.
    virtual void Sentence(QStringView text, std::int64_t start, std::int64_t end) = 0;
    // The first units, or the next, of a sentence too long to hold that has not ended yet.
    virtual void SentencePart(QStringView) {}
    // The text ended inside the sentence whose start went out in parts.
    virtual void AbandonSentence() {}
};

// The longest the masked text may grow, in code units, for a text of textLength units
// (carriage returns included): four times the text, and never less than the text and
// 1 Mi units more. Ordinary lists stay well below it on any text; a list whose entries
// match inside each other's markers doubles the text with each such entry and meets it.
constexpr qsizetype MaskedTextLimit(qsizetype textLength) {
    return std::max(4 * textLength, textLength + (qsizetype{1} << 20));
}

// Throws Failure, before making it, when after any entry the masked text would be longer
// than MaskedTextLimit(text.size()).
MaskedText MaskAbbreviations(QString text, const QStringList& abbreviations);

// Steps 3 and 4 over a masked text. A sink that throws stops the scan; the masked text is
// untouched and can be scanned again.
void ScanSentences(const MaskedText& masked, QStringView separators, const SentenceSink& sink);
void ScanSentences(const MaskedText& masked, QStringView separators,
                   const LocatedSentenceSink& sink);

// How many sentences ScanSentences would hand out, without making any of them.
std::size_t CountSentences(const MaskedText& masked, QStringView separators);

// All four steps; text may still hold carriage returns.
void SplitSentences(QString text, QStringView separators, const QStringList& abbreviations,
                    const SentenceSink& sink);
void SplitSentences(QString text, QStringView separators, const QStringList& abbreviations,
                    const LocatedSentenceSink& sink);
QStringList SplitSentences(QString text, QStringView separators, const QStringList& abbreviations);
std::vector<LocatedSentence> SplitLocatedSentences(QString text, QStringView separators,
                                                   const QStringList& abbreviations);
std::size_t CountSentences(QString text, QStringView separators, const QStringList& abbreviations);

}  // namespace brintale
