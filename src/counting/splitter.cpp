// Placeholder until the splitter lands.
#include "counting/splitter.h"

namespace brintale {

QString ComposeSeparatorSet(const QString& separatorText, bool lineFeed, bool tab) {
    QString set = separatorText;
    if (lineFeed) set += QChar(u'\n');
    if (tab) set += QChar(u'\t');
    return set;
}

QString RemoveCarriageReturns(QString text) { return text.remove(QChar(u'\r')); }

MaskedText MaskAbbreviations(QString text, const QStringList& abbreviations) {
    return MaskedText{std::move(text), {}, abbreviations};
}

void ScanSentences(const MaskedText&, QStringView, const SentenceSink&) {}

void SplitSentences(QString text, QStringView separators, const QStringList& abbreviations,
                    const SentenceSink& sink) {
    ScanSentences(MaskAbbreviations(RemoveCarriageReturns(std::move(text)), abbreviations),
                  separators, sink);
}

QStringList SplitSentences(QString text, QStringView separators, const QStringList& abbreviations) {
    QStringList out;
    SplitSentences(std::move(text), separators, abbreviations,
                   [&](QString&& s) { out.push_back(std::move(s)); });
    return out;
}

std::size_t CountSentences(QString text, QStringView separators, const QStringList& abbreviations) {
    std::size_t n = 0;
    SplitSentences(std::move(text), separators, abbreviations, [&](QString&&) { ++n; });
    return n;
}

}  // namespace brintale
