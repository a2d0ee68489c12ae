// The steps composed; each lives in its own file.

#include "core/splitter/splitter.h"

#include <utility>

#include "core/failure.h"
#include "core/splitter/splitter_detail.h"
#include "core/splitter/splitter_units.h"

namespace brintale {

QString ComposeSeparatorSet(const QString& separatorText, bool lineFeed, bool tab) {
    QString set = separatorText;
    if (lineFeed) set += QChar(detail::kLineFeed);
    if (tab) set += QChar(detail::kTab);
    return set;
}

QString RemoveCarriageReturns(QString text) {
    if (text.contains(QChar(detail::kCarriageReturn))) text.remove(QChar(detail::kCarriageReturn));
    return text;
}

void SplitSentences(QString text, QStringView separators, const QStringList& abbreviations,
                    const SentenceSink& sink) {
    ScanSentences(MaskAbbreviations(std::move(text), abbreviations), separators, sink);
}

void SplitSentences(QString text, QStringView separators, const QStringList& abbreviations,
                    const LocatedSentenceSink& sink) {
    ScanSentences(MaskAbbreviations(std::move(text), abbreviations), separators, sink);
}

std::vector<LocatedSentence> SplitLocatedSentences(QString text, QStringView separators,
                                                   const QStringList& abbreviations) {
    return detail::ScanLocatedSentenceList(MaskAbbreviations(std::move(text), abbreviations),
                                           separators);
}

QStringList SplitSentences(QString text, QStringView separators, const QStringList& abbreviations) {
    return detail::ScanSentenceList(MaskAbbreviations(std::move(text), abbreviations), separators);
}

std::size_t CountSentences(QString text, QStringView separators, const QStringList& abbreviations) {
    return CountSentences(MaskAbbreviations(std::move(text), abbreviations), separators);
}

void detail::CheckHeld(qsizetype held, qsizetype limit) {
    if (limit > 0 && held > limit)
        throw Failure(QStringLiteral("The text runs on for more than %1 characters made only of "
                                     "the abbreviations' letters, with no place to cut it for "
                                     "counting in parts.")
                          .arg(limit));
}

}  // namespace brintale
