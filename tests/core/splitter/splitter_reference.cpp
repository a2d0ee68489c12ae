#include "core/splitter/splitter_reference.h"

#include <vector>

#include "core/splitter/splitter.h"

namespace brintale::testing {
namespace {

// The text with, for every unit, the number of the inserted marker it belongs to (or -1).
struct Masked {
    QString text;
    std::vector<int> owner;
    std::vector<qsizetype> entryOf;  // marker number -> entry index
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
    text.remove(QChar(u'\r'));
    Masked m{text, std::vector<int>(text.size(), -1), {}};
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
        std::vector<bool> cut(m.entryOf.size(), false);
        for (qsizetype pos = 0; pos < m.text.size();) {
            if (MatchesAt(m.text, pos, entry)) {
                for (qsizetype k = pos; k < pos + entry.size(); ++k)
                    if (m.owner[k] >= 0) cut[m.owner[k]] = true;
                const int number = int(m.entryOf.size());
                m.entryOf.push_back(i);
                text += marker;
                owner.insert(owner.end(), marker.size(), number);
                pos += entry.size();
            } else {
                text += m.text[pos];
                owner.push_back(m.owner[pos]);
                ++pos;
            }
        }
        // What is left of a marker that was cut into is plain text; this pass's are whole.
        for (int& o : owner)
            if (o >= 0 && std::size_t(o) < cut.size() && cut[o]) o = -1;
        m.text = text;
        m.owner = owner;
    }
    return m;
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
    const Masked m = Mask(std::move(text), entries);
    QStringList sentences;
    QString buffer;
    std::vector<int> owner;
    for (qsizetype k = 0; k < m.text.size(); ++k) {
        buffer += m.text[k];
        owner.push_back(m.owner[k]);
        if (!separators.contains(m.text[k])) continue;
        const QString t = TrimSpaces(buffer);
        if (t != u"\n" && t != u"\t") {
            QString sentence;
            for (qsizetype i = 0; i < buffer.size();) {
                const int number = owner[i];
                qsizetype run = i;
                while (number >= 0 && run < buffer.size() && owner[run] == number) ++run;
                const qsizetype entry = number >= 0 ? m.entryOf[number] : -1;
                if (number >= 0 && run - i == Marker(entry).size()) {
                    sentence += entries[entry];
                    i = run;
                } else {
                    sentence += buffer[i++];
                }
            }
            sentence = TrimSpaces(sentence);
            sentence.remove(QChar(u'\n'));
            sentence.remove(QChar(u'\t'));
            sentences.push_back(sentence);
        }
        buffer.clear();
        owner.clear();
    }
    return sentences;
}

}  // namespace brintale::testing
