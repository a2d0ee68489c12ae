// Steps 3 and 4: the masked text cut into buffers at the separators, each buffer trimmed
// and restored into its sentence.

#include <string>
#include <utility>
#include <vector>

#include "core/splitter/splitter.h"
#include "core/splitter/splitter_detail.h"
#include "core/splitter/splitter_units.h"
#include "core/splitter/unit_set.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace brintale {
namespace detail {
namespace {

// A place in the masked text: in the text before markers[marker] (after the last marker
// when marker is their count), or in the spelling of markers[marker] itself.
struct Cursor {
    qsizetype marker;
    bool inMarker;
    qsizetype pos;  // in the text, or in the marker's spelling
};

// Whether a buffer from start to end lies in one stretch of text.
inline bool InOneText(Cursor start, Cursor end) {
    return start.marker == end.marker && !start.inMarker && !end.inMarker;
}

// A stretch of a closed buffer, spelled as the sentence will have it.
struct Piece {
    const char16_t* data;
    qsizetype size;
    qsizetype scratch;  // where in the scratch units data lies, or -1
};

inline bool IsSpaceOrCarriageReturn(char16_t u) { return u == kSpace || u == kCarriageReturn; }

inline bool IsBreak(char16_t u) { return u == kCarriageReturn || u == kLineFeed || u == kTab; }

// Copies n units to w without carriage returns, line feeds and tabs; returns the end written.
// Stores whole blocks, so it may write anywhere in [w, w + n) even when fewer units are kept.
inline char16_t* CopyWithoutBreaks(const char16_t* s, qsizetype n, char16_t* w) {
    qsizetype i = 0;
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi16(kCarriageReturn), lf = _mm_set1_epi16(kLineFeed),
                  tab = _mm_set1_epi16(kTab);
    for (; i + kUnitsPerVector <= n; i += kUnitsPerVector) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        const __m128i breaks = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi16(v, cr), _mm_cmpeq_epi16(v, lf)), _mm_cmpeq_epi16(v, tab));
        if (_mm_movemask_epi8(breaks) == 0) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(w), v);
            w += kUnitsPerVector;
            continue;
        }
        for (qsizetype k = i; k < i + kUnitsPerVector; ++k) *w = s[k], w += !IsBreak(s[k]);
    }
#endif
    for (; i < n; ++i) *w = s[i], w += !IsBreak(s[i]);
    return w;
}

// Separators as scanning sees them: a carriage return never reaches the scan.
UnitSet SeparatorUnits(QStringView separators) {
    UnitSet set;
    for (QChar c : separators)
        if (c.unicode() != kCarriageReturn) set.Add(c.unicode());
    return set;
}

class Scanner {
  public:
    Scanner(const MaskedText& masked, QStringView separators)
        : m_(masked),
          d_(Units(masked.text)),
          n_(masked.text.size()),
          separators_(SeparatorUnits(separators)) {
        for (char16_t u : std::u16string_view(kMarkerPrefix))
            cutsMarkers_ = cutsMarkers_ || separators_.Contains(u);
        for (char16_t u = u'0'; u <= u'9'; ++u)
            cutsMarkers_ = cutsMarkers_ || separators_.Contains(u);
    }

    // Calls close(start, end, broke) for every buffer, end being its separator; broke is
    // false only when no carriage return, line feed or tab lies in a buffer within one
    // stretch of text.
    template <typename Close>
    void Run(Close&& close) const {
        if (separators_.Empty()) return;
        const auto& markers = m_.markers;
        const auto count = qsizetype(markers.size());
        Cursor start{0, false, 0};
        qsizetype gapBegin = 0;
        for (qsizetype g = 0;; ++g) {
            const qsizetype gapEnd = g < count ? markers[g].position : n_;
            separators_.ForEachNotingBreaks(d_, gapBegin, gapEnd, [&](qsizetype q, bool broke) {
                close(start, Cursor{g, false, q}, broke);
                start = Cursor{g, false, q + 1};
            });
            if (g == count) break;
            const MaskedText::Marker& marker = markers[g];
            if (cutsMarkers_) {
                char16_t text[kMarkerCapacity];
                WriteMarker(marker.entry, text);
                for (qsizetype o = marker.from; o < marker.to; ++o) {
                    if (!separators_.Contains(text[o])) continue;
                    close(start, Cursor{g, true, o}, true);
                    // A buffer that starts where the marker ends starts in the text after it,
                    // so that every buffer holding no marker lies in one stretch of text.
                    start = o + 1 < marker.to
                                ? Cursor{g, true, o + 1}
                                : Cursor{g + 1, false, marker.position + marker.length};
                }
            }
            gapBegin = marker.position + marker.length;
        }
    }

    // Fills the pieces of the sentence of a buffer that holds some of a marker (markers
    // restored, untrimmed).
    void Collect(Cursor start, Cursor end, std::vector<Piece>* pieces,
                 std::u16string* scratch) const {
        pieces->clear();
        scratch->clear();
        for (qsizetype g = start.marker; g <= end.marker; ++g) {
            const bool first = g == start.marker, last = g == end.marker;
            if (!(first && start.inMarker)) {
                const qsizetype lo = first ? start.pos : GapBegin(g);
                const qsizetype hi = last && !end.inMarker ? end.pos + 1 : GapEnd(g);
                if (lo < hi) pieces->push_back({d_ + lo, hi - lo, -1});
            }
            if (last && !end.inMarker) break;
            const MaskedText::Marker& marker = m_.markers[g];
            const qsizetype lo = first && start.inMarker ? start.pos : marker.from;
            const qsizetype hi = last ? end.pos + 1 : marker.to;
            if (lo >= hi) continue;
            if (lo == 0 && hi == MarkerLength(marker.entry)) {
                const QString& entry = m_.entries[marker.entry];
                pieces->push_back({Units(entry), entry.size(), -1});
            } else {
                char16_t text[kMarkerCapacity];
                WriteMarker(marker.entry, text);
                pieces->push_back({nullptr, hi - lo, qsizetype(scratch->size())});
                scratch->append(text + lo, text + hi);
            }
        }
        for (Piece& p : *pieces)
            if (p.scratch >= 0) p.data = scratch->data() + p.scratch;
    }

    // Whether a buffer in one stretch of text yields a sentence: not when it is, spaces
    // trimmed, one line feed or one tab. A buffer holding some of a marker always yields one.
    bool YieldsText(qsizetype from, qsizetype to) const {
        qsizetype last = to - 1;
        while (last >= from && IsSpaceOrCarriageReturn(d_[last])) --last;
        if (last < from || (d_[last] != kLineFeed && d_[last] != kTab)) return true;
        qsizetype first = from;
        while (IsSpaceOrCarriageReturn(d_[first])) ++first;
        return first != last;
    }

    // The sentence of a buffer that lies in one stretch of text, or nothing.
    template <typename Emit>
    void EmitText(qsizetype from, qsizetype to, bool broke, Emit&& hand) const {
        if (!YieldsText(from, to)) return;
        const char16_t* b = d_ + from;
        qsizetype last = to - from - 1;
        while (last >= 0 && IsSpaceOrCarriageReturn(b[last])) --last;
        if (last < 0) {
            hand(QString());
            return;
        }
        qsizetype first = 0;
        while (IsSpaceOrCarriageReturn(b[first])) ++first;
        const qsizetype size = last - first + 1;
        if (!broke) {
            hand(QString(reinterpret_cast<const QChar*>(b + first), size));
            return;
        }
        QString sentence(size, Qt::Uninitialized);
        auto* w = reinterpret_cast<char16_t*>(sentence.data());
        for (qsizetype i = first; i <= last; ++i) {
            const char16_t u = b[i];
            *w = u;
            w += !IsBreak(u);
        }
        sentence.resize(w - reinterpret_cast<char16_t*>(sentence.data()));
        hand(std::move(sentence));
    }

  private:
    qsizetype GapBegin(qsizetype g) const {
        return g == 0 ? 0 : m_.markers[g - 1].position + m_.markers[g - 1].length;
    }
    qsizetype GapEnd(qsizetype g) const {
        return g < qsizetype(m_.markers.size()) ? m_.markers[g].position : n_;
    }

    const MaskedText& m_;
    const char16_t* d_;
    qsizetype n_;
    UnitSet separators_;
    bool cutsMarkers_ = false;
};

// Trims, removes line feeds and tabs, and hands out the sentence made of the pieces.
template <typename Emit>
void EmitPieces(const std::vector<Piece>& pieces, Emit&& hand) {
    qsizetype firstPiece = -1, firstPos = 0, lastPiece = -1, lastPos = 0;
    for (qsizetype p = 0; p < qsizetype(pieces.size()) && firstPiece < 0; ++p)
        for (qsizetype i = 0; i < pieces[p].size; ++i)
            if (!IsSpaceOrCarriageReturn(pieces[p].data[i])) {
                firstPiece = p, firstPos = i;
                break;
            }
    if (firstPiece < 0) {
        hand(QString());
        return;
    }
    for (qsizetype p = qsizetype(pieces.size()) - 1; p >= 0 && lastPiece < 0; --p)
        for (qsizetype i = pieces[p].size - 1; i >= 0; --i)
            if (!IsSpaceOrCarriageReturn(pieces[p].data[i])) {
                lastPiece = p, lastPos = i;
                break;
            }
    qsizetype size = 0;
    for (qsizetype p = firstPiece; p <= lastPiece; ++p)
        size += (p == lastPiece ? lastPos + 1 : pieces[p].size) - (p == firstPiece ? firstPos : 0);
    QString sentence(size, Qt::Uninitialized);
    auto* begin = reinterpret_cast<char16_t*>(sentence.data());
    char16_t* w = begin;
    for (qsizetype p = firstPiece; p <= lastPiece; ++p) {
        const qsizetype from = p == firstPiece ? firstPos : 0;
        const qsizetype to = p == lastPiece ? lastPos + 1 : pieces[p].size;
        w = CopyWithoutBreaks(pieces[p].data + from, to - from, w);
    }
    sentence.resize(w - begin);
    hand(std::move(sentence));
}

template <typename Emit>
void Scan(const MaskedText& masked, QStringView separators, Emit&& hand) {
    const Scanner scanner(masked, separators);
    std::vector<Piece> pieces;
    std::u16string scratch;
    scanner.Run([&](Cursor start, Cursor end, bool broke) {
        if (InOneText(start, end)) {
            scanner.EmitText(start.pos, end.pos + 1, broke, hand);
        } else {
            scanner.Collect(start, end, &pieces, &scratch);
            EmitPieces(pieces, hand);
        }
    });
}

std::size_t Count(const MaskedText& masked, QStringView separators) {
    const Scanner scanner(masked, separators);
    std::size_t count = 0;
    scanner.Run([&](Cursor start, Cursor end, bool) {
        count += !InOneText(start, end) || scanner.YieldsText(start.pos, end.pos + 1);
    });
    return count;
}

}  // namespace

QStringList ScanSentenceList(const MaskedText& masked, QStringView separators) {
    QStringList sentences;
    // Counting first costs one more scan and saves the slack of a growing list.
    sentences.reserve(qsizetype(Count(masked, separators)));
    Scan(masked, separators, [&](QString&& sentence) { sentences.push_back(std::move(sentence)); });
    return sentences;
}

}  // namespace detail

void ScanSentences(const MaskedText& masked, QStringView separators, const SentenceSink& sink) {
    detail::Scan(masked, separators, [&](QString&& sentence) { sink(std::move(sentence)); });
}

std::size_t CountSentences(const MaskedText& masked, QStringView separators) {
    return detail::Count(masked, separators);
}

}  // namespace brintale
