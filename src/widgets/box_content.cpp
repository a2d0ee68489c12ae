#include "widgets/box_content.h"

#include <algorithm>
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

bool IsMarkedBreak(char16_t c) {
    return c == kMarkedCarriageReturn || c == kMarkedLineSeparator ||
           c == kMarkedParagraphSeparator;
}

// The two characters a text may hold that the box shows as breaks of its own.
bool IsSeparator(char16_t c) { return c == QChar::LineSeparator || c == QChar::ParagraphSeparator; }

// A break as the box holds it: a line feed before the text goes in, U+2029 after.
bool IsBreak(char16_t c) { return c == u'\n' || IsSeparator(c); }

// What the box's text reads back as a line feed: its breaks and the document's frame marks.
bool ReadsAsLineFeed(char16_t c) { return IsBreak(c) || c == kFrameStart || c == kFrameEnd; }

// What a scan of the text found: something TextForBox changes, a carriage return at all.
enum Found : unsigned { kNeedsMarkers = 1, kCarriageReturn = 2 };

// One pass, branch-free, so that the compiler can test many characters at once, which keeps a
// load of a large file quick.
unsigned ScanForMarkers(const char16_t* text, qsizetype size) {
    const auto in = [](char16_t c, unsigned first, unsigned count) {
        return static_cast<unsigned>(static_cast<char16_t>(c - first) < count);
    };
    unsigned found = 0, cr = 0;
    for (qsizetype i = 0; i + 1 < size; ++i) {
        const char16_t c = text[i];
        cr |= static_cast<unsigned>(c == u'\r');
        found |= (static_cast<unsigned>(c == u'\r') & static_cast<unsigned>(text[i + 1] != u'\n')) |
                 in(c, QChar::LineSeparator, 2) | in(c, kFrameStart, 2) |
                 in(c, kMarkedCarriageReturn, kMarkedFrameEnd - kMarkedCarriageReturn + 1);
    }
    if (size > 0) {
        const char16_t last = text[size - 1];
        cr |= static_cast<unsigned>(last == u'\r');
        found |= static_cast<unsigned>(last == u'\r' || IsSeparator(last) || last == kFrameStart ||
                                       last == kFrameEnd || IsMarker(last));
    }
    return (found != 0 ? kNeedsMarkers : 0u) | (cr != 0 ? kCarriageReturn : 0u);
}

// In place: CR LF becomes one line feed; in a text long enough for it to matter, the line
// breaks inside a paragraph shorter than kMinParagraph become soft breaks. The breaks are
// found with QStringView::indexOf, which tests many characters at once, and the text between
// them moves only once a CR LF has been joined. Gives the length of the longest line left,
// or -1 when it did not look.
qsizetype JoinShortLines(QString& text, bool crlf) {
    // After the markers a carriage return stands only before a line feed.
    const bool join = text.size() >= kMinParagraph;
    if (!join && !crlf) return -1;
    const qsizetype size = text.size();
    // One line: nothing to write, and a text shared with the caller stays shared.
    if (!QStringView(text).contains(u'\n')) return size;
    char16_t* const data = reinterpret_cast<char16_t*>(text.data());
    const QStringView all(data, size);
    qsizetype in = 0, out = 0, paragraph = 0, line = 0, longest = 0;
    while (in < size) {
        qsizetype at = all.indexOf(u'\n', in);
        if (at < 0) at = size;
        // A carriage return before the line feed goes with it.
        const bool joined = crlf && at < size && at > in && data[at - 1] == u'\r';
        const qsizetype lineEnd = joined ? at - 1 : at;
        if (out != in) std::copy(data + in, data + lineEnd, data + out);
        out += lineEnd - in;
        paragraph += lineEnd - in;
        line += lineEnd - in;
        if (at == size) break;
        const bool hard = !join || paragraph >= kMinParagraph;
        data[out++] = hard ? u'\n' : char16_t(QChar::LineSeparator);
        if (hard) {
            paragraph = 0;
            longest = std::max(longest, line);
            line = 0;
        } else {
            ++line;
        }
        in = at + 1;
    }
    if (out != size) text.truncate(out);
    return std::max(longest, line);
}

// Where to cut the line that starts at `from`: after the last space before kLongLine
// characters, or, with no space in the second half, at the length itself.
qsizetype CutAt(const QString& text, qsizetype from) {
    const qsizetype limit = from + kLongLine;
    for (qsizetype i = limit - 1; i > from + kLongLine / 2; --i) {
        if (text[i].isSpace()) return i + 1;
    }
    // Never between the halves of a surrogate pair, nor between a marker and what it marks.
    return UnitStart(text, text[limit].isLowSurrogate() ? limit - 1 : limit);
}

// Reads the box's raw text, without cuts, as the text it stands for, in place. Calls
// jump(markedEnd, textEnd) after each stretch where the two stop going one for one.
template <typename OnJump>
QString Decode(QString raw, OnJump jump) {
    char16_t* const start = reinterpret_cast<char16_t*>(raw.data());
    const char16_t* const end = start + raw.size();
    // Up to the first marker nothing moves: the box's own breaks become line feeds in place.
    char16_t* out = start;
    for (; out != end && !IsMarker(*out); ++out) {
        if (ReadsAsLineFeed(*out)) *out = u'\n';
    }
    for (const char16_t* in = out; in != end; ++in) {
        char16_t c = *in;
        const char16_t* const unit = in;
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
                if (in + 1 != end && IsBreak(in[1])) ++in;
                break;
            case kMarkedFrameStart:
                c = kFrameStart;
                break;
            case kMarkedFrameEnd:
                c = kFrameEnd;
                break;
            case kMarkedAsItIs:
                if (in + 1 == end || !IsMarker(in[1])) {  // its marker was deleted
                    jump(in + 1 - start, out - start);
                    continue;
                }
                c = *++in;
                break;
            default:
                break;
        }
        *out++ = c;
        if (in != unit) jump(in + 1 - start, out - start);
    }
    raw.truncate(out - start);
    return raw;
}

}  // namespace

namespace {

QString MarkBreaks(QString text, unsigned found) {
    const qsizetype size = text.size();
    const char16_t* in = reinterpret_cast<const char16_t*>(text.constData());
    if (!(found & kNeedsMarkers)) return text;
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
        } else if (IsSeparator(c) || IsMarker(c)) {
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

}  // namespace

QString TextForBox(QString text) {
    const unsigned found =
        ScanForMarkers(reinterpret_cast<const char16_t*>(text.constData()), text.size());
    return MarkBreaks(std::move(text), found);
}

QString TextFromBox(QString raw) {
    return Decode(std::move(raw), [](qsizetype, qsizetype) {});
}

BoxContent EncodeForBox(QString text) {
    const unsigned found =
        ScanForMarkers(reinterpret_cast<const char16_t*>(text.constData()), text.size());
    text = MarkBreaks(std::move(text), found);
    const qsizetype longest = JoinShortLines(text, found & kCarriageReturn);
    if (longest >= 0 && longest <= kLongLine) return {std::move(text), {}};
    // Only line feeds break blocks now: the other breaks are marked, CR LF joined.
    BoxContent content;
    QString& shown = content.raw;
    const qsizetype n = text.size();
    qsizetype copied = 0;
    for (qsizetype lineStart = 0; lineStart < n;) {
        qsizetype lineEnd = text.indexOf(u'\n', lineStart);
        if (lineEnd < 0) lineEnd = n;
        while (lineEnd - lineStart > kLongLine) {
            const qsizetype cut = CutAt(text, lineStart);
            if (shown.isEmpty()) shown.reserve(n + n / (kLongLine / 2) + 16);
            shown.append(QStringView(text).sliced(copied, cut - copied));
            content.cuts.push_back(shown.size());
            shown.append(u'\n');
            copied = lineStart = cut;
        }
        lineStart = lineEnd + 1;
    }
    if (content.cuts.empty()) {
        shown = std::move(text);
    } else {
        shown.append(QStringView(text).sliced(copied));
    }
    return content;
}

qsizetype BlockStartAfter(QStringView text, qsizetype from, qsizetype limit) {
    // Each part must be large enough to have its short lines joined, as the whole has.
    limit = std::min(limit, text.size() - kMinParagraph);
    // JoinShortLines over the marked text, counted on the text as it is: a character the
    // markers double counts twice, a break they mark counts its marker.
    const char16_t* const data = reinterpret_cast<const char16_t*>(text.data());
    qsizetype paragraph = 0;
    for (qsizetype i = 0; i < limit; ++i) {
        const char16_t c = data[i];
        if (c > u'\r' && c < QChar::LineSeparator) {
            ++paragraph;
            continue;
        }
        if (c == u'\r' && i + 1 < text.size() && data[i + 1] == u'\n') continue;  // CR LF
        const bool marked = c == u'\r' || IsSeparator(c);
        if (c != u'\n' && !marked) {
            paragraph += IsMarker(c) ? 2 : 1;
            continue;
        }
        if (marked) ++paragraph;
        if (paragraph < kMinParagraph) continue;
        paragraph = 0;
        if (i + 1 >= from) return i + 1;
    }
    return 0;
}

QString RemoveCuts(QString raw, const std::vector<qsizetype>& cuts) {
    if (cuts.empty()) return raw;
    qsizetype out = 0, in = 0;
    char16_t* const data = reinterpret_cast<char16_t*>(raw.data());
    for (const qsizetype cut : cuts) {
        if (cut < in || cut >= raw.size()) continue;
        std::copy(data + in, data + cut, data + out);
        out += cut - in;
        in = cut + 1;
    }
    std::copy(data + in, data + raw.size(), data + out);
    raw.truncate(out + (raw.size() - in));
    return raw;
}

BoxReading::BoxReading(BoxContent content) : cuts_(std::move(content.cuts)) {
    QString marked = RemoveCuts(std::move(content.raw), cuts_);
    markedSize_ = marked.size();
    text_ = Decode(std::move(marked), [this](qsizetype markedEnd, qsizetype textEnd) {
        jumps_.push_back({markedEnd, textEnd});
    });
}

qsizetype BoxReading::Position(qsizetype offset) const {
    offset = std::clamp<qsizetype>(offset, 0, text_.size());
    const auto after = std::upper_bound(jumps_.begin(), jumps_.end(), offset,
                                        [](qsizetype o, const Jump& j) { return o < j.textEnd; });
    qsizetype marked = offset;
    if (after != jumps_.begin()) {
        const Jump& last = *std::prev(after);
        marked = last.markedEnd + (offset - last.textEnd);
    }
    marked = std::min(marked, markedSize_);
    // Each cut at or before it moves it on by one; a cut's position in the document without
    // cuts is its own less the cuts before it.
    qsizetype position = marked;
    for (std::size_t k = 0; k < cuts_.size(); ++k) {
        if (cuts_[k] - static_cast<qsizetype>(k) > marked) break;
        ++position;
    }
    return position;
}

qsizetype BoxReading::Offset(qsizetype position) const {
    const qsizetype cutsBefore =
        std::lower_bound(cuts_.begin(), cuts_.end(), position) - cuts_.begin();
    const qsizetype marked = std::clamp<qsizetype>(position - cutsBefore, 0, markedSize_);
    const auto after = std::upper_bound(jumps_.begin(), jumps_.end(), marked,
                                        [](qsizetype m, const Jump& j) { return m < j.markedEnd; });
    if (after == jumps_.begin()) return marked;
    const Jump& last = *std::prev(after);
    return std::min(last.textEnd + (marked - last.markedEnd), text_.size());
}

bool BoxReading::Patch(qsizetype position, qsizetype removed, QStringView added, QChar before) {
    // A character that the reading does not take one for one.
    const auto special = [](QChar c) {
        return IsMarker(c.unicode()) || ReadsAsLineFeed(c.unicode());
    };
    if (position < 0 || removed < 0 || IsMarker(before.unicode())) return false;
    const auto cutAfter = std::lower_bound(cuts_.begin(), cuts_.end(), position);
    if (cutAfter != cuts_.end() && *cutAfter < position + removed) return false;
    const qsizetype markedStart = position - (cutAfter - cuts_.begin());
    const qsizetype markedEnd = markedStart + removed;
    if (markedEnd > markedSize_) return false;
    // The jumps from the first after the start on move. Each ends a marked character of
    // one or two units, which the edit must leave whole.
    const auto jumpAfter =
        std::upper_bound(jumps_.begin(), jumps_.end(), markedStart,
                         [](qsizetype m, const Jump& j) { return m < j.markedEnd; });
    if (jumpAfter != jumps_.end() && jumpAfter->markedEnd < markedEnd + 2) return false;
    qsizetype start = markedStart;
    if (jumpAfter != jumps_.begin()) {
        const Jump& last = *std::prev(jumpAfter);
        start = last.textEnd + (markedStart - last.markedEnd);
    }
    if (start + removed > text_.size()) return false;
    const QStringView gone = QStringView(text_).sliced(start, removed);
    if (std::any_of(gone.begin(), gone.end(), special) ||
        std::any_of(added.begin(), added.end(), special))
        return false;
    const qsizetype delta = added.size() - removed;
    text_.replace(start, removed, added.data(), added.size());
    for (auto j = jumpAfter; j != jumps_.end(); ++j) {
        j->markedEnd += delta;
        j->textEnd += delta;
    }
    for (auto c = cutAfter; c != cuts_.end(); ++c) *c += delta;
    markedSize_ += delta;
    return true;
}

bool IsBoxMarker(QChar c) { return IsMarker(c.unicode()); }

qsizetype UnitStart(QStringView raw, qsizetype position) {
    if (position <= 0 || position >= raw.size()) return position;
    const char16_t before = raw[position - 1].unicode(), at = raw[position].unicode();
    if (IsMarkedBreak(before) && IsBreak(at)) {
        // Unless the marker is itself marked as it is.
        qsizetype run = 0;
        for (qsizetype i = position - 2; i >= 0 && raw[i] == kMarkedAsItIs; --i) ++run;
        return run % 2 == 0 ? position - 1 : position;
    }
    if (before == kMarkedAsItIs && IsMarker(at)) {
        // In a run of these, they pair from its start.
        qsizetype first = position - 1;
        while (first > 0 && raw[first - 1] == kMarkedAsItIs) --first;
        return (position - 1 - first) % 2 == 0 ? position - 1 : position;
    }
    return position;
}

}  // namespace brintale
