#include "core/splitter/byte_counter.h"

#include <QString>
#include <algorithm>

#include "core/failure.h"
#include "core/splitter/splitter.h"
#include "core/splitter/splitter_units.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace brintale {

namespace {

using Lone = detail::ScanCarry::Lone;

constexpr unsigned char kCr = '\r';

// Bytes kept without a place to cut before giving up, as the stream does.
constexpr qsizetype kHeldLimit = qsizetype(4) << 20;

inline unsigned char FoldByte(unsigned char b) {
    return (b >= 'A' && b <= 'Z') ? static_cast<unsigned char>(b + ('a' - 'A')) : b;
}

// The lone-break rule, a byte at a time (see ScanCarry).
inline Lone After(Lone state, unsigned char b) {
    if (b == ' ' || b == kCr) return state;
    if ((b == '\n' || b == '\t') && state == Lone::Blank) return Lone::OneBreak;
    return Lone::Other;
}

bool IsMarkerUnit(char16_t u) {
    return (u >= u'0' && u <= u'9') || u == u'_' || (u >= u'a' && u <= u'z') ||
           (u >= u'A' && u <= u'Z');
}

// Calls visit(q) for every q in [0, n) whose byte is one of `wanted`, in order.
template <typename Visit>
void ForEachByte(const unsigned char* d, qsizetype n, const std::string& wanted,
                 const std::array<bool, 256>& member, Visit&& visit) {
    qsizetype i = 0;
#if defined(__SSE2__)
    if (wanted.size() <= 8) {
        __m128i set[8];
        const int k = int(wanted.size());
        for (int j = 0; j < k; ++j) set[j] = _mm_set1_epi8(static_cast<char>(wanted[j]));
        for (; i + 32 <= n; i += 32) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i + 16));
            __m128i ma = _mm_cmpeq_epi8(a, set[0]), mb = _mm_cmpeq_epi8(b, set[0]);
            for (int j = 1; j < k; ++j) {
                ma = _mm_or_si128(ma, _mm_cmpeq_epi8(a, set[j]));
                mb = _mm_or_si128(mb, _mm_cmpeq_epi8(b, set[j]));
            }
            std::uint32_t mask =
                std::uint32_t(_mm_movemask_epi8(ma)) | std::uint32_t(_mm_movemask_epi8(mb)) << 16;
            for (; mask; mask &= mask - 1) visit(i + __builtin_ctz(mask));
        }
    }
#endif
    for (; i < n; ++i)
        if (member[d[i]]) visit(i);
}

}  // namespace

std::unique_ptr<ByteCounter> ByteCounter::For(QStringView separators,
                                              const QStringList& abbreviations) {
    std::unique_ptr<ByteCounter> c(new ByteCounter);
    c->separators_ = separators.toString();
    c->abbreviations_ = abbreviations;
    for (QChar ch : separators) {
        const char16_t u = ch.unicode();
        if (u == detail::kCarriageReturn) continue;  // never reaches the scan
        if (u >= 0x80 || IsMarkerUnit(u)) return nullptr;
        if (!c->separator_[u]) c->separatorBytes_ += char(u);
        c->separator_[u] = true;
    }
    bool anyHolds = false, allHold = true, breaksAlone = false;
    std::vector<qsizetype> indices;
    for (qsizetype i = 0; i < abbreviations.size(); ++i) {
        const QString& a = abbreviations[i];
        if (a.isEmpty() || a.contains(QChar(detail::kCarriageReturn))) continue;
        Entry e;
        bool holds = false, onlyBreaks = true;
        for (QChar ch : a) {
            if (ch.unicode() >= 0x80) return nullptr;
            const unsigned char b = FoldByte(static_cast<unsigned char>(ch.unicode()));
            if (c->separator_[b] && !holds) holds = true, e.anchor = int(e.folded.size());
            onlyBreaks = onlyBreaks && (b == ' ' || b == '\n' || b == '\t');
            e.folded += char(b);
        }
        // None may match across the marker of one before it.
        const std::u16string folded(e.folded.begin(), e.folded.end());
        for (qsizetype j : indices)
            if (detail::CanOverlapMarker(folded, j)) return nullptr;
        indices.push_back(i);
        // The same entry again then matches nothing the first left.
        if (std::any_of(c->entries_.begin(), c->entries_.end(),
                        [&](const Entry& x) { return x.folded == e.folded; }))
            continue;
        anyHolds = anyHolds || holds;
        allHold = allHold && holds;
        breaksAlone = breaksAlone || onlyBreaks;
        c->entries_.push_back(std::move(e));
    }
    if (anyHolds && !allHold) return nullptr;
    if (!anyHolds) {
        // Abbreviations without a separator change a count only where they turn a buffer
        // of a lone line break into a marker.
        if (breaksAlone) return nullptr;
        c->entries_.clear();
    }
    c->inEntries_[kCr] = true;
    for (std::size_t k = 0; k < c->entries_.size(); ++k) {
        const Entry& e = c->entries_[k];
        c->anchoredOn_[static_cast<unsigned char>(e.folded[e.anchor])].push_back(int(k));
        for (char ch : e.folded) {
            const auto b = static_cast<unsigned char>(ch);
            c->inEntries_[b] = true;
            if (b >= 'a' && b <= 'z') c->inEntries_[b - ('a' - 'A')] = true;
            c->foldsBeyondAscii_ = c->foldsBeyondAscii_ || b == 's' || b == 'k';
        }
    }
    return c;
}

void ByteCounter::ReadAsUtf8() {
    utf8_ = true;
    if (!foldsBeyondAscii_) return;
    // The bytes of U+017F and U+212A belong to the abbreviations' letters now.
    for (unsigned char b : {0xC5, 0xBF, 0xE2, 0x84, 0xAA}) inEntries_[b] = true;
}

qsizetype ByteCounter::LastCut(const unsigned char* d, qsizetype n) const {
    qsizetype cut = n;
    while (cut > 0 && inEntries_[d[cut - 1]]) --cut;
    return cut;
}

void ByteCounter::Feed(QByteArrayView bytes) {
    if (separatorBytes_.empty() || bytes.isEmpty()) return;
    const auto* d = reinterpret_cast<const unsigned char*>(bytes.data());
    qsizetype n = bytes.size();
    if (!held_.isEmpty()) {
        // The bytes held, with the piece up to its first place to cut.
        qsizetype first = 0;
        while (first < n && inEntries_[d[first]]) ++first;
        if (first == n) {
            held_ += bytes;
            if (held_.size() > kHeldLimit)
                throw Failure(QStringLiteral("The text runs on for more than %1 characters made "
                                             "only of the abbreviations' letters, with no place "
                                             "to cut it for counting in parts.")
                                  .arg(kHeldLimit));
            return;
        }
        held_.append(bytes.first(first + 1));
        Count(reinterpret_cast<const unsigned char*>(held_.constData()), held_.size());
        held_.clear();
        d += first + 1;
        n -= first + 1;
    }
    const qsizetype cut = LastCut(d, n);
    Count(d, cut);
    held_.append(reinterpret_cast<const char*>(d + cut), n - cut);
}

std::int64_t ByteCounter::Finish() {
    if (!separatorBytes_.empty() && !held_.isEmpty())
        Count(reinterpret_cast<const unsigned char*>(held_.constData()), held_.size());
    held_.clear();
    const std::int64_t sentences = carry_.sentences;
    carry_ = detail::ScanCarry();
    return sentences;
}

void ByteCounter::Count(const unsigned char* d, qsizetype n) {
    if (n == 0) return;
    std::int64_t sentences = carry_.sentences;
    Lone lone = carry_.lone;
    if (CountFast(d, n, sentences, lone)) {
        carry_.sentences = sentences;
        carry_.lone = lone;
    } else {
        CountBySplitter(d, n);
    }
}

bool ByteCounter::MatchesBack(const unsigned char* d, qsizetype at, char unit,
                              qsizetype& next) const {
    if (at < 0) return false;
    if (FoldByte(d[at]) == static_cast<unsigned char>(unit)) {
        next = at - 1;
        return true;
    }
    if (!utf8_) return false;
    if (unit == 's' && at >= 1 && d[at] == 0xBF && d[at - 1] == 0xC5) {
        next = at - 2;
        return true;
    }
    if (unit == 'k' && at >= 2 && d[at] == 0xAA && d[at - 1] == 0x84 && d[at - 2] == 0xE2) {
        next = at - 3;
        return true;
    }
    return false;
}

bool ByteCounter::MatchesForward(const unsigned char* d, qsizetype n, qsizetype at, char unit,
                                 qsizetype& next) const {
    if (at >= n) return false;
    if (FoldByte(d[at]) == static_cast<unsigned char>(unit)) {
        next = at + 1;
        return true;
    }
    if (!utf8_) return false;
    if (unit == 's' && at + 1 < n && d[at] == 0xC5 && d[at + 1] == 0xBF) {
        next = at + 2;
        return true;
    }
    if (unit == 'k' && at + 2 < n && d[at] == 0xE2 && d[at + 1] == 0x84 && d[at + 2] == 0xAA) {
        next = at + 3;
        return true;
    }
    return false;
}

// The abbreviations whose first separator is the byte at q, carriage returns skipped.
ByteCounter::Found ByteCounter::FindAt(const unsigned char* d, qsizetype n, qsizetype q) const {
    Found found;
    for (const int k : anchoredOn_[d[q]]) {
        const Entry& e = entries_[static_cast<std::size_t>(k)];
        qsizetype at = q - 1, start = q;
        bool match = true;
        for (int j = e.anchor - 1; match && j >= 0; --j) {
            while (at >= 0 && d[at] == kCr) --at;
            qsizetype next = 0;
            match = MatchesBack(d, at, e.folded[std::size_t(j)], next);
            if (match) start = next + 1, at = next;
        }
        at = q + 1;
        qsizetype end = q + 1;
        for (std::size_t j = std::size_t(e.anchor) + 1; match && j < e.folded.size(); ++j) {
            while (at < n && d[at] == kCr) ++at;
            qsizetype next = 0;
            match = MatchesForward(d, n, at, e.folded[j], next);
            if (match) end = at = next;
        }
        if (!match) continue;
        if (++found.count > 1) break;
        found.start = start;
        found.end = end;
    }
    return found;
}

bool ByteCounter::CountFast(const unsigned char* d, qsizetype n, std::int64_t& sentences,
                            Lone& lone) const {
    qsizetype last = -1;  // the separator that closed the last buffer; -1: none here yet
    bool marker = false;  // the open buffer holds an abbreviation
    qsizetype maskedUntil = 0;
    bool clash = false;
    std::int64_t closed = 0;
    const bool anyEntries = !entries_.empty();
    ForEachByte(d, n, separatorBytes_, separator_, [&](qsizetype q) {
        if (clash) return;
        if (anyEntries) {
            // Abbreviations that overlap are left to the splitter, which knows whose turn
            // comes first.
            const Found found = FindAt(d, n, q);
            if (q < maskedUntil) {  // inside an abbreviation: no end
                clash = found.count > 0;
                return;
            }
            if (found.count > 1 || (found.count == 1 && found.start < maskedUntil)) {
                clash = true;
                return;
            }
            if (found.count == 1) {
                maskedUntil = found.end;
                marker = true;
                return;
            }
        }
        bool yields = true;
        const unsigned char c = d[q];
        if (!marker && (c == '\n' || c == '\t' || c == ' ')) {
            Lone state = last < 0 ? lone : Lone::Blank;
            for (qsizetype r = last + 1; r <= q && state != Lone::Other; ++r)
                state = After(state, d[r]);
            yields = state != Lone::OneBreak;
        }
        closed += yields;
        last = q;
        marker = false;
    });
    if (clash) return false;
    // The buffer open at the end.
    Lone state = last < 0 ? lone : Lone::Blank;
    if (marker) state = Lone::Other;
    for (qsizetype r = last + 1; r < n && state != Lone::Other; ++r) state = After(state, d[r]);
    lone = state;
    sentences += closed;
    return true;
}

void ByteCounter::CountBySplitter(const unsigned char* d, qsizetype n) {
    // One unit a byte, but for the two letters beyond ASCII that fold into it.
    QString text(n, Qt::Uninitialized);
    auto* w = reinterpret_cast<char16_t*>(text.data());
    char16_t* const begin = w;
    for (qsizetype i = 0; i < n;) {
        if (utf8_ && i + 1 < n && d[i] == 0xC5 && d[i + 1] == 0xBF) {
            *w++ = 0x017F, i += 2;
        } else if (utf8_ && i + 2 < n && d[i] == 0xE2 && d[i + 1] == 0x84 && d[i + 2] == 0xAA) {
            *w++ = 0x212A, i += 3;
        } else {
            *w++ = d[i++];
        }
    }
    text.truncate(w - begin);
    struct Nowhere : detail::StepSink {
        std::int64_t Place(qsizetype position) override { return position; }
        void Sentence(QString&&, std::int64_t, std::int64_t) override {}
        void SentencePart(QString&&) override {}
    } nowhere;
    detail::StepOptions options;
    options.countOnly = true;
    detail::ScanStep(MaskAbbreviations(text, abbreviations_), separators_, options, carry_,
                     nowhere);
}

}  // namespace brintale
