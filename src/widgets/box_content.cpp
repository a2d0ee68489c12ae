#include "widgets/box_content.h"

#include <utility>

namespace brintale {

namespace {

// Unassigned and ignorable by default: fonts draw nothing for them.
constexpr char16_t kMarkedCarriageReturn = 0xFFF0;  // each of these three before a break
constexpr char16_t kMarkedLineSeparator = 0xFFF1;
constexpr char16_t kMarkedParagraphSeparator = 0xFFF2;
constexpr char16_t kMarkedAsItIs = 0xFFF3;  // before a marker that the text itself holds
constexpr char16_t kMarkedFrameStart = 0xFFF4;
constexpr char16_t kMarkedFrameEnd = 0xFFF5;
constexpr char16_t kFrameStart = 0xFDD0;  // the box takes these two for breaks
constexpr char16_t kFrameEnd = 0xFDD1;

bool IsMarker(char16_t c) { return c >= kMarkedCarriageReturn && c <= kMarkedFrameEnd; }

bool IsBoxBreak(char16_t c) { return c == QChar::LineSeparator || c == QChar::ParagraphSeparator; }

// Whether the text holds anything that TextForBox changes; branch-free, so that the compiler
// can test many characters at once, which keeps a load of a large file quick.
bool NeedsMarkers(const char16_t* text, qsizetype size) {
    const auto in = [](char16_t c, unsigned first, unsigned count) {
        return static_cast<unsigned>(static_cast<char16_t>(c - first) < count);
    };
    unsigned found = 0;
    for (qsizetype i = 0; i + 1 < size; ++i) {
        const char16_t c = text[i];
        found |= (static_cast<unsigned>(c == u'\r') & static_cast<unsigned>(text[i + 1] != u'\n')) |
                 in(c, QChar::LineSeparator, 2) | in(c, kFrameStart, 2) |
                 in(c, kMarkedCarriageReturn, kMarkedFrameEnd - kMarkedCarriageReturn + 1);
    }
    if (size > 0) {
        const char16_t last = text[size - 1];
        found |= static_cast<unsigned>(last == u'\r' || IsBoxBreak(last) || last == kFrameStart ||
                                       last == kFrameEnd || IsMarker(last));
    }
    return found != 0;
}

}  // namespace

QString TextForBox(QString text) {
    const qsizetype size = text.size();
    const char16_t* in = reinterpret_cast<const char16_t*>(text.constData());
    if (!NeedsMarkers(in, size)) return text;
    qsizetype added = 0;
    bool changed = false;
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = in[i];
        if (c != u'\r' && c < QChar::LineSeparator) continue;
        if (c == u'\r') {
            if (i + 1 < size && in[i + 1] == u'\n')
                ++i;
            else
                ++added;
        } else if (IsBoxBreak(c) || IsMarker(c)) {
            ++added;
        } else if (c == kFrameStart || c == kFrameEnd) {
            changed = true;
        }
    }
    if (added == 0 && !changed) return text;

    QString out(size + added, Qt::Uninitialized);
    char16_t* o = reinterpret_cast<char16_t*>(out.data());
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = in[i];
        switch (c) {
            case u'\r':
                if (i + 1 < size && in[i + 1] == u'\n') {
                    *o++ = c;
                } else {
                    *o++ = kMarkedCarriageReturn;
                    *o++ = u'\n';
                }
                break;
            case QChar::LineSeparator:
                *o++ = kMarkedLineSeparator;
                *o++ = u'\n';
                break;
            case QChar::ParagraphSeparator:
                *o++ = kMarkedParagraphSeparator;
                *o++ = u'\n';
                break;
            case kFrameStart:
                *o++ = kMarkedFrameStart;
                break;
            case kFrameEnd:
                *o++ = kMarkedFrameEnd;
                break;
            default:
                if (IsMarker(c)) *o++ = kMarkedAsItIs;
                *o++ = c;
                break;
        }
    }
    return out;
}

QString TextFromBox(QString raw) {
    char16_t* const start = reinterpret_cast<char16_t*>(raw.data());
    const char16_t* const end = start + raw.size();
    // Up to the first marker nothing moves: the box's own breaks become line feeds in place.
    char16_t* out = start;
    for (; out != end && !IsMarker(*out); ++out) {
        if (IsBoxBreak(*out) || *out == kFrameStart || *out == kFrameEnd) *out = u'\n';
    }
    for (const char16_t* in = out; in != end; ++in) {
        char16_t c = *in;
        switch (c) {
            case QChar::LineSeparator:
            case QChar::ParagraphSeparator:
            case kFrameStart:  // frame marks of the document
            case kFrameEnd:
                c = u'\n';
                break;
            case kMarkedCarriageReturn:
            case kMarkedLineSeparator:
            case kMarkedParagraphSeparator:
                c = c == kMarkedCarriageReturn  ? u'\r'
                    : c == kMarkedLineSeparator ? char16_t(QChar::LineSeparator)
                                                : char16_t(QChar::ParagraphSeparator);
                // The break that shows it; one the user has deleted leaves the character.
                if (in + 1 != end && IsBoxBreak(in[1])) ++in;
                break;
            case kMarkedFrameStart:
                c = kFrameStart;
                break;
            case kMarkedFrameEnd:
                c = kFrameEnd;
                break;
            case kMarkedAsItIs:
                if (in + 1 == end || !IsMarker(in[1])) continue;  // its marker was deleted
                c = *++in;
                break;
            default:
                break;
        }
        *out++ = c;
    }
    raw.truncate(out - start);
    return raw;
}

qsizetype BoxPosition(QStringView raw, const std::vector<qsizetype>& skipped, qsizetype offset) {
    auto skip = skipped.begin();
    qsizetype produced = 0;  // characters of TextFromBox(raw) before position i
    qsizetype i = 0;
    for (const qsizetype n = raw.size(); i < n && produced < offset; ++i) {
        while (skip != skipped.end() && *skip < i) ++skip;
        if (skip != skipped.end() && *skip == i) continue;
        const char16_t c = raw[i].unicode();
        // As TextFromBox reads them: a marker and the break after it are one character; a
        // marker of a marker is one with it.
        if ((c == kMarkedCarriageReturn || c == kMarkedLineSeparator ||
             c == kMarkedParagraphSeparator) &&
            i + 1 < n && IsBoxBreak(raw[i + 1].unicode()))
            ++i;
        else if (c == kMarkedAsItIs) {
            if (i + 1 < n && IsMarker(raw[i + 1].unicode()))
                ++i;
            else
                continue;
        }
        ++produced;
    }
    return i;
}

}  // namespace brintale
