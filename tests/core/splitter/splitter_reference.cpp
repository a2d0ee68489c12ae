#include "core/splitter/splitter_reference.h"

#include <vector>

#include "core/splitter/splitter.h"

namespace brintale::testing {
namespace {

using Span = std::pair<qsizetype, qsizetype>;

// The text with, for every unit, the number of the inserted marker it belongs to (or -1)
// and where in the text as given it came from.
struct Masked {
    QString text;
    std::vector<int> owner;
    std::vector<Span> span;
    std::vector<bool> isText;                    // a unit of the text itself, not of any marker
    std::vector<qsizetype> entryOf;              // marker number -> entry index
    std::vector<Span> markerSpan;                // marker number -> the stretch its match covered
    std::vector<std::vector<qsizetype>> places;  // marker number -> its match's units, if text
    std::vector<bool> cut;                       // marker number -> cut into by a later entry
};

bool SameFolded(QChar a, QChar b) {
    return QChar::toCaseFolded(char32_t(a.unicode())) == QChar::toCaseFolded(char32_t(b.unicode()));
}

bool MatchesAt(const QString& text, qsizetype pos, const QString& entry) {
    if (pos + entry.size() > text.size()) return false;
    for (qsizetype k = 0; k < entry.size(); ++k)
        if (!SameFolded(text[pos + k], entry[k])) return false;
    return true;
}

QString Marker(qsizetype entry) { return QStringLiteral("Abbreviation_") + QString::number(entry); }

// How many times the entry matches in a pass over the text.
qsizetype Matches(const QString& text, const QString& entry) {
    qsizetype matches = 0;
    for (qsizetype pos = 0; pos < text.size();) {
        if (MatchesAt(text, pos, entry)) {
            ++matches;
            pos += entry.size();
        } else {
            ++pos;
        }
    }
    return matches;
}

Masked Mask(QString text, const QStringList& entries) {
    const qsizetype limit = brintale::MaskedTextLimit(text.size());
    Masked m;
    for (qsizetype k = 0; k < text.size(); ++k) {
        if (text[k] == u'\r') continue;
        m.text += text[k];
        m.owner.push_back(-1);
        m.span.emplace_back(k, k + 1);
        m.isText.push_back(true);
    }
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QString& entry = entries[i];
        if (entry.isEmpty()) continue;
        const QString marker = Marker(i);
        const qsizetype matches = Matches(m.text, entry);
        if (m.text.size() + matches * (marker.size() - entry.size()) > limit)
            throw ReferenceRefused{};
        if (matches == 0) continue;
        QString text;
        std::vector<int> owner;
        std::vector<Span> span;
        std::vector<bool> isText;
        std::vector<bool> cut(m.entryOf.size(), false);
        for (qsizetype pos = 0; pos < m.text.size();) {
            if (MatchesAt(m.text, pos, entry)) {
                const qsizetype end = pos + entry.size();
                std::vector<qsizetype> places;
                for (qsizetype k = pos; k < end; ++k) {
                    if (m.owner[k] >= 0) cut[m.owner[k]] = true;
                    places.push_back(m.span[k].first);
                }
                bool textAlone = true;
                for (qsizetype k = pos; k < end; ++k) textAlone = textAlone && m.isText[k];
                const int number = int(m.entryOf.size());
                m.entryOf.push_back(i);
                m.markerSpan.emplace_back(m.span[pos].first, m.span[end - 1].second);
                m.places.push_back(textAlone ? places : std::vector<qsizetype>());
                text += marker;
                owner.insert(owner.end(), marker.size(), number);
                span.insert(span.end(), marker.size(), m.markerSpan.back());
                isText.insert(isText.end(), marker.size(), false);
                pos = end;
            } else {
                text += m.text[pos];
                owner.push_back(m.owner[pos]);
                span.push_back(m.span[pos]);
                isText.push_back(m.isText[pos]);
                ++pos;
            }
        }
        // What is left of a marker that was cut into is plain text; this pass's are whole.
        for (int& o : owner)
            if (o >= 0 && std::size_t(o) < cut.size() && cut[o]) o = -1;
        m.cut.resize(m.entryOf.size(), false);
        for (std::size_t k = 0; k < cut.size(); ++k) m.cut[k] = m.cut[k] || cut[k];
        m.text = text;
        m.owner = owner;
        m.span = span;
        m.isText = isText;
    }
    return m;
}

// Whether the unit at k of the masked text ends a buffer: a separator is a character, so a
// surrogate pair ends one at its second unit when the separators hold the pair, and half of
// a pair never does.
bool EndsBuffer(const QString& text, qsizetype k, const QString& separators) {
    const QChar u = text[k];
    if (!u.isSurrogate()) return separators.contains(u);
    if (u.isLowSurrogate() && k > 0 && text[k - 1].isHighSurrogate())
        return separators.contains(text.mid(k - 1, 2));
    if (u.isHighSurrogate() && k + 1 < text.size() && text[k + 1].isLowSurrogate()) return false;
    // Alone in the text: a separator when the separators have it alone too.
    for (qsizetype i = 0; i < separators.size(); ++i) {
        if (separators[i] != u) continue;
        const bool paired = u.isHighSurrogate()
                                ? i + 1 < separators.size() && separators[i + 1].isLowSurrogate()
                                : i > 0 && separators[i - 1].isHighSurrogate();
        if (!paired) return true;
    }
    return false;
}

QString TrimSpaces(const QString& s) {
    qsizetype a = 0, b = s.size();
    while (a < b && s[a] == u' ') ++a;
    while (b > a && s[b - 1] == u' ') --b;
    return s.mid(a, b - a);
}

}  // namespace

ReferenceMasked ReferenceMask(QString text, const QStringList& entries) {
    const Masked m = Mask(std::move(text), entries);
    ReferenceMasked out{m.text, {}};
    for (qsizetype k = 0; k < m.text.size(); ++k)
        if (m.owner[k] >= 0 && (k == 0 || m.owner[k - 1] != m.owner[k]))
            out.wholeMarkers.emplace_back(k, Marker(m.entryOf[m.owner[k]]).size());
    return out;
}

QStringList ReferenceSplit(QString text, const QString& separators, const QStringList& entries) {
    QStringList sentences;
    for (const ReferenceSentence& s : ReferenceSplitLocated(std::move(text), separators, entries))
        sentences.push_back(s.text);
    return sentences;
}

std::vector<ReferenceSentence> ReferenceSplitLocated(QString text, const QString& separators,
                                                     const QStringList& entries) {
    const Masked m = Mask(std::move(text), entries);
    std::vector<ReferenceSentence> sentences;
    qsizetype from = 0;  // the buffer: [from, k] of the masked text
    for (qsizetype k = 0; k < m.text.size(); ++k) {
        if (!EndsBuffer(m.text, k, separators)) continue;
        const QString buffer = m.text.mid(from, k + 1 - from);
        const QString t = TrimSpaces(buffer);
        if (t != u"\n" && t != u"\t") {
            // The buffer restored, each unit with its stretch.
            QString restored;
            std::vector<Span> spans;
            bool cutMarker = false;
            for (qsizetype i = from; i <= k;) {
                const int number = m.owner[i];
                qsizetype run = i;
                while (number >= 0 && run <= k && m.owner[run] == number) ++run;
                const qsizetype entry = number >= 0 ? m.entryOf[number] : -1;
                if (number >= 0 && run - i == Marker(entry).size()) {
                    const std::vector<qsizetype>& places = m.places[number];
                    for (qsizetype u = 0; u < entries[entry].size(); ++u)
                        spans.push_back(places.empty() ? m.markerSpan[number]
                                                       : Span(places[u], places[u] + 1));
                    restored += entries[entry];
                    cutMarker = cutMarker || places.empty();
                    i = run;
                } else {
                    cutMarker = cutMarker || !m.isText[i];
                    spans.push_back(m.span[i]);
                    restored += m.text[i++];
                }
            }
            qsizetype a = 0, b = restored.size();
            while (a < b && restored[a] == u' ') ++a;
            while (b > a && restored[b - 1] == u' ') --b;
            ReferenceSentence sentence;
            sentence.text = restored.mid(a, b - a);
            sentence.text.remove(QChar(u'\n'));
            sentence.text.remove(QChar(u'\t'));
            sentence.start = a < b ? spans[a].first : spans.back().second;
            sentence.end = a < b ? spans[b - 1].second : spans.back().second;
            sentence.cutMarker = cutMarker;
            sentences.push_back(sentence);
        }
        from = k + 1;
    }
    return sentences;
}

}  // namespace brintale::testing
