#include "core/splitter/unicode_sentences.h"

#include <unicode/brkiter.h>
#include <unicode/filteredbrk.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <limits>
#include <memory>

#include "core/failure.h"

namespace brintale {

namespace {

bool IsSpace(QChar c) { return c.isSpace() || c == u'\r' || c == u'\n'; }

void Check(UErrorCode status, const char* what) {
    if (U_FAILURE(status))
        throw Failure(
            QStringLiteral("Unicode sentence rules: %1 (%2)")
                .arg(QString::fromLatin1(what), QString::fromLatin1(u_errorName(status))));
}

icu::UnicodeString Icu(const QString& text) {
    return icu::UnicodeString(reinterpret_cast<const UChar*>(text.utf16()),
                              static_cast<int32_t>(text.size()));
}

// The list matches regardless of case, as the counting by separators does; ICU compares
// exactly, so the usual spellings are suppressed each.
std::unique_ptr<icu::BreakIterator> SentenceIterator(const QStringList& abbreviations) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> plain(
        icu::BreakIterator::createSentenceInstance(icu::Locale::getRoot(), status));
    Check(status, "no sentence iterator");
    if (abbreviations.isEmpty()) return plain;
    std::unique_ptr<icu::FilteredBreakIteratorBuilder> builder(
        icu::FilteredBreakIteratorBuilder::createEmptyInstance(status));
    Check(status, "no filter");
    for (const QString& entry : abbreviations) {
        const QString trimmed = entry.trimmed();
        if (trimmed.isEmpty()) continue;
        QString title = trimmed.toLower();
        title[0] = title[0].toUpper();
        for (const QString& spelling : {trimmed, trimmed.toLower(), trimmed.toUpper(), title}) {
            builder->suppressBreakAfter(Icu(spelling), status);
            Check(status, "abbreviation refused");
        }
    }
    std::unique_ptr<icu::BreakIterator> filtered(
        builder->wrapIteratorWithFilter(plain.release(), status));
    Check(status, "no filtered iterator");
    return filtered;
}

QString OneLine(QStringView stretch) {
    QString line;
    line.reserve(stretch.size());
    for (const QChar c : stretch) {
        if (c == u'\r') continue;
        line += (c == u'\n' || c == u'\t') ? QChar(u' ') : c;
    }
    return line;
}

template <class OnSentence>
void Segment(QStringView text, const QStringList& abbreviations, OnSentence&& onSentence) {
    if (text.size() > std::numeric_limits<int32_t>::max())
        throw Failure(QStringLiteral("The text is too long for the Unicode sentence rules."));
    std::unique_ptr<icu::BreakIterator> iterator = SentenceIterator(abbreviations);
    // An alias of the text, not a copy.
    const icu::UnicodeString alias(false, reinterpret_cast<const UChar*>(text.data()),
                                   static_cast<int32_t>(text.size()));
    iterator->setText(alias);
    qsizetype from = iterator->first();
    for (qsizetype to = iterator->next(); to != icu::BreakIterator::DONE;
         from = to, to = iterator->next()) {
        qsizetype start = from, end = to;
        while (start < end && IsSpace(text[start])) ++start;
        while (end > start && IsSpace(text[end - 1])) --end;
        if (start < end) onSentence(start, end);
    }
}

}  // namespace

void SplitUnicodeSentences(QStringView text, const QStringList& abbreviations,
                           const UnicodeSentenceSink& sink) {
    Segment(text, abbreviations, [&](qsizetype start, qsizetype end) {
        sink(OneLine(text.sliced(start, end - start)), start, end);
    });
}

qsizetype CountUnicodeSentences(QStringView text, const QStringList& abbreviations) {
    qsizetype count = 0;
    Segment(text, abbreviations, [&](qsizetype, qsizetype) { ++count; });
    return count;
}

}  // namespace brintale
