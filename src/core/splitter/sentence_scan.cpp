// Steps 3 and 4: the masked text cut into buffers at the separators, each buffer trimmed
// and restored into its sentence.

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/splitter/kernels.h"
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
    enum class Kind { Text, Entry, MarkerText };
    const char16_t* data;
    qsizetype size;
    qsizetype scratch;  // where in the scratch units data lies, or -1
    Kind kind;
    qsizetype marker;  // the marker an entry or marker text stands for
};

// Where a unit of a sentence lies in the text: [start, end).
struct Span {
    qsizetype start;
    qsizetype end;
};

// A new string for every sentence, for sinks that keep them.
struct NewStrings {
    QString text;
    QString Empty() { return QString(); }
    QString Range(const char16_t* from, qsizetype size) {
        return QString(reinterpret_cast<const QChar*>(from), size);
    }
    char16_t* Begin(qsizetype size) {
        text = QString(size, Qt::Uninitialized);
        return reinterpret_cast<char16_t*>(text.data());
    }
    QString End(const char16_t* end) {
        text.resize(end - reinterpret_cast<const char16_t*>(text.constData()));
        return std::move(text);
    }
};

// One buffer for all sentences, each lent as a view until the next; a sentence that lies
// in the text as it is is a view of the text.
struct LentViews {
    QString buffer;
    QStringView Empty() { return QStringView(); }
    QStringView Range(const char16_t* from, qsizetype size) { return QStringView(from, size); }
    char16_t* Begin(qsizetype size) {
        if (buffer.size() < size) buffer.resize(size);
        return reinterpret_cast<char16_t*>(buffer.data());
    }
    QStringView End(const char16_t* end) {
        const auto* begin = reinterpret_cast<const char16_t*>(buffer.constData());
        return QStringView(begin, end - begin);
    }
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
    const qsizetype vectorEnd = ActiveKernel() == Kernel::Scalar ? 0 : n;
    for (; i + kUnitsPerVector <= vectorEnd; i += kUnitsPerVector) {
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

inline bool IsHigh(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
inline bool IsLow(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// Separators as scanning sees them: characters, a carriage return never among them. A
// surrogate pair ends a buffer at its second unit, and only when the whole pair is one of
// them; a lone surrogate ends one only where the text has it alone too.
class SeparatorChars {
  public:
    explicit SeparatorChars(QStringView separators) {
        const auto* s = reinterpret_cast<const char16_t*>(separators.utf16());
        const qsizetype n = separators.size();
        for (qsizetype i = 0; i < n; ++i) {
            const char16_t u = s[i];
            if (u == kCarriageReturn) continue;
            if (IsHigh(u) && i + 1 < n && IsLow(s[i + 1])) {
                pairs_.emplace_back(u, s[i + 1]);
                units_.Add(s[++i]);
                surrogates_ = true;
                continue;
            }
            if (IsHigh(u) || IsLow(u)) lone_.push_back(u), surrogates_ = true;
            units_.Add(u);
        }
    }

    // The units a search looks for; a surrogate among them is to be confirmed by EndsAt.
    const UnitSet& units() const { return units_; }
    bool Contains(char16_t u) const { return units_.Contains(u) && !IsHigh(u) && !IsLow(u); }
    bool Empty() const { return units_.Empty(); }

    // Whether the member unit at q of d ends a buffer, the text running from `from` to `to`
    // around it (carriage returns count as absent).
    bool EndsAt(const char16_t* d, qsizetype from, qsizetype to, qsizetype q) const {
        const char16_t u = d[q];
        if (!surrogates_ || (!IsHigh(u) && !IsLow(u))) return true;
        if (IsLow(u)) {
            qsizetype before = q - 1;
            while (before >= from && d[before] == kCarriageReturn) --before;
            if (before >= from && IsHigh(d[before]))
                return std::find(pairs_.begin(), pairs_.end(), std::pair(d[before], u)) !=
                       pairs_.end();
        } else {
            qsizetype after = q + 1;
            while (after < to && d[after] == kCarriageReturn) ++after;
            if (after < to && IsLow(d[after])) return false;
        }
        return std::find(lone_.begin(), lone_.end(), u) != lone_.end();
    }

  private:
    UnitSet units_;
    std::vector<std::pair<char16_t, char16_t>> pairs_;
    std::vector<char16_t> lone_;
    bool surrogates_ = false;
};

class Scanner {
  public:
    Scanner(const MaskedText& masked, QStringView separators)
        : m_(masked), d_(Units(masked.text)), n_(masked.text.size()), separators_(separators) {
        for (char16_t u : std::u16string_view(kMarkerPrefix))
            cutsMarkers_ = cutsMarkers_ || separators_.Contains(u);
        for (char16_t u = u'0'; u <= u'9'; ++u)
            cutsMarkers_ = cutsMarkers_ || separators_.Contains(u);
    }

    // Calls close(start, end, broke) for every buffer, end being its separator; broke is
    // false only when no carriage return, line feed or tab lies in a buffer within one
    // stretch of text. Returns where the buffer left open at the end starts.
    template <typename Close>
    Cursor Run(Close&& close) const {
        if (separators_.Empty()) return Cursor{0, false, 0};
        const auto& markers = m_.markers;
        const auto count = qsizetype(markers.size());
        Cursor start{0, false, 0};
        qsizetype gapBegin = 0;
        bool skippedBreak = false;  // a break before a member that ended nothing
        for (qsizetype g = 0;; ++g) {
            const qsizetype gapEnd = g < count ? markers[g].position : n_;
            separators_.units().ForEachNotingBreaks(
                d_, gapBegin, gapEnd, [&](qsizetype q, bool broke) {
                    if (!separators_.EndsAt(d_, gapBegin, gapEnd, q)) {
                        skippedBreak = skippedBreak || broke;
                        return;
                    }
                    close(start, Cursor{g, false, q}, broke || skippedBreak);
                    skippedBreak = false;
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
        return start;
    }

    bool CanClose() const { return !separators_.Empty(); }

    // The last unit of the text, as the end of the buffer left open; nullopt for a text
    // that ends where `start` is.
    std::optional<Cursor> LastUnit(Cursor start) const {
        const auto count = qsizetype(m_.markers.size());
        if (start.marker == count && !start.inMarker && start.pos >= n_) return std::nullopt;
        if (n_ > GapBegin(count) || count == 0) return Cursor{count, false, n_ - 1};
        const MaskedText::Marker& last = m_.markers[count - 1];
        return Cursor{count - 1, true, last.to - 1};
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
                if (lo < hi) pieces->push_back({d_ + lo, hi - lo, -1, Piece::Kind::Text, -1});
            }
            if (last && !end.inMarker) break;
            const MaskedText::Marker& marker = m_.markers[g];
            const qsizetype lo = first && start.inMarker ? start.pos : marker.from;
            const qsizetype hi = last ? end.pos + 1 : marker.to;
            if (lo >= hi) continue;
            if (lo == 0 && hi == MarkerLength(marker.entry)) {
                const QString& entry = m_.entries[marker.entry];
                pieces->push_back({Units(entry), entry.size(), -1, Piece::Kind::Entry, g});
            } else {
                char16_t text[kMarkerCapacity];
                WriteMarker(marker.entry, text);
                pieces->push_back(
                    {nullptr, hi - lo, qsizetype(scratch->size()), Piece::Kind::MarkerText, g});
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

    // The sentence of a buffer that lies in one stretch of text, or nothing; hand takes
    // the sentence as make makes it, and with kPlaced its stretch too.
    template <bool kPlaced, typename Make, typename Emit>
    void EmitText(qsizetype from, qsizetype to, bool broke, Make& make, Emit&& hand) const {
        if (!YieldsText(from, to)) return;
        const char16_t* b = d_ + from;
        qsizetype last = to - from - 1;
        while (last >= 0 && IsSpaceOrCarriageReturn(b[last])) --last;
        if (last < 0) {
            if constexpr (kPlaced)
                hand(make.Empty(), to, to);
            else
                hand(make.Empty());
            return;
        }
        qsizetype first = 0;
        while (IsSpaceOrCarriageReturn(b[first])) ++first;
        const qsizetype size = last - first + 1;
        const auto sentence = [&] {
            if (!broke) return make.Range(b + first, size);
            char16_t* w = make.Begin(size);
            for (qsizetype i = first; i <= last; ++i) {
                const char16_t u = b[i];
                *w = u;
                w += !IsBreak(u);
            }
            return make.End(w);
        };
        if constexpr (kPlaced)
            hand(sentence(), from + first, from + last + 1);
        else
            hand(sentence());
    }

    // Where unit i of a piece lies in the text. A unit of an entry stands for the unit of the
    // text it matched, when its match took in text alone; other units of a marker for the
    // whole stretch the marker replaced.
    Span SpanOf(const Piece& piece, qsizetype i) const {
        if (piece.kind == Piece::Kind::Text) {
            const qsizetype at = piece.data - d_ + i;
            return {at, at + 1};
        }
        const MaskedText::Marker& marker = m_.markers[piece.marker];
        Span whole{marker.position, marker.position + marker.length};
        bool unitWise = true;
        if (!m_.origins.empty()) {
            const MaskedText::Origin& origin = m_.origins[piece.marker];
            whole = {origin.start, origin.end};
            unitWise = origin.textAlone;
        }
        if (piece.kind != Piece::Kind::Entry || !unitWise) return whole;
        qsizetype at = whole.start;
        for (qsizetype k = 0;; ++at)
            if (d_[at] != kCarriageReturn && k++ == i) break;
        return {at, at + 1};
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
    SeparatorChars separators_;
    bool cutsMarkers_ = false;
};

// Trims, removes line feeds and tabs, and hands out the sentence made of the pieces as make
// makes it (with kPlaced, its stretch as well).
template <bool kPlaced, typename Make, typename Emit>
void EmitPieces(const Scanner& scanner, const std::vector<Piece>& pieces, Make& make, Emit&& hand) {
    qsizetype firstPiece = -1, firstPos = 0, lastPiece = -1, lastPos = 0;
    for (qsizetype p = 0; p < qsizetype(pieces.size()) && firstPiece < 0; ++p)
        for (qsizetype i = 0; i < pieces[p].size; ++i)
            if (!IsSpaceOrCarriageReturn(pieces[p].data[i])) {
                firstPiece = p, firstPos = i;
                break;
            }
    if (firstPiece < 0) {
        if constexpr (kPlaced) {
            const Piece& last = pieces.back();
            const qsizetype end = scanner.SpanOf(last, last.size - 1).end;
            hand(make.Empty(), end, end);
        } else {
            hand(make.Empty());
        }
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
    char16_t* w = make.Begin(size);
    for (qsizetype p = firstPiece; p <= lastPiece; ++p) {
        const qsizetype from = p == firstPiece ? firstPos : 0;
        const qsizetype to = p == lastPiece ? lastPos + 1 : pieces[p].size;
        w = CopyWithoutBreaks(pieces[p].data + from, to - from, w);
    }
    if constexpr (kPlaced)
        hand(make.End(w), scanner.SpanOf(pieces[firstPiece], firstPos).start,
             scanner.SpanOf(pieces[lastPiece], lastPos).end);
    else
        hand(make.End(w));
}

template <bool kPlaced, typename Emit>
void Scan(const MaskedText& masked, QStringView separators, Emit&& hand) {
    const Scanner scanner(masked, separators);
    std::vector<Piece> pieces;
    std::u16string scratch;
    NewStrings make;
    scanner.Run([&](Cursor start, Cursor end, bool broke) {
        if (InOneText(start, end)) {
            scanner.EmitText<kPlaced>(start.pos, end.pos + 1, broke, make, hand);
        } else {
            scanner.Collect(start, end, &pieces, &scratch);
            EmitPieces<kPlaced>(scanner, pieces, make, hand);
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

// ---------------------------------------------------------------------------------------
// One stretch of a longer text, the buffer open at its start carried in

using Lone = ScanCarry::Lone;

class Step {
  public:
    Step(const MaskedText& masked, QStringView separators, const StepOptions& options,
         ScanCarry& open, const StretchPlace& place, SentenceReceiver& receiver)
        : scanner_(masked, separators),
          options_(options),
          open_(open),
          place_(place),
          receiver_(receiver) {}

    void Run() {
        if (!scanner_.CanClose()) return;  // no sentence can ever end
        // A buffer of spaces alone is as good as none.
        bool carried = open_.lone != Lone::Blank;
        if (!carried) open_.Reset();
        const Cursor tail = scanner_.Run([&](Cursor start, Cursor end, bool broke) {
            if (carried) {
                carried = false;
                Append(start, end);
                Close();
                return;
            }
            if (options_.countOnly) {
                open_.sentences +=
                    !InOneText(start, end) || scanner_.YieldsText(start.pos, end.pos + 1);
                return;
            }
            const auto hand = [&](QStringView sentence, qsizetype from, qsizetype to) {
                ++open_.sentences;
                receiver_.Sentence(sentence, place_.At(from), place_.At(to));
            };
            if (InOneText(start, end)) {
                scanner_.EmitText<true>(start.pos, end.pos + 1, broke, views_, hand);
            } else {
                scanner_.Collect(start, end, &pieces_, &scratch_);
                EmitPieces<true>(scanner_, pieces_, views_, hand);
            }
        });
        if (const auto last = scanner_.LastUnit(tail)) Append(tail, *last);
        if (options_.partUnits > 0 && open_.text.size() >= options_.partUnits) {
            receiver_.SentencePart(open_.text);
            open_.text.truncate(0);
            open_.parted = true;
        }
    }

  private:
    // The units from start to end, inclusive, into the open buffer.
    void Append(Cursor start, Cursor end) {
        scanner_.Collect(start, end, &pieces_, &scratch_);
        for (const Piece& piece : pieces_) {
            const char16_t* d = piece.data;
            if (piece.kind != Piece::Kind::Text) {
                if (piece.size > 0) open_.lone = Lone::Other;
            } else {
                open_.lone = ScanCarry::After(open_.lone, d, piece.size);
            }
            if (options_.countOnly) continue;
            qsizetype first = 0, last = piece.size - 1;
            while (first < piece.size && IsSpaceOrCarriageReturn(d[first])) ++first;
            if (first == piece.size) {
                if (open_.started) open_.pendingSpaces += SpacesIn(d, 0, piece.size);
                continue;
            }
            while (IsSpaceOrCarriageReturn(d[last])) --last;
            if (!open_.started) {
                open_.started = true;
                open_.start = place_.At(scanner_.SpanOf(piece, first).start);
            } else {
                open_.pendingSpaces += SpacesIn(d, 0, first);
            }
            // The spaces waiting are inside the sentence now.
            const qsizetype size = open_.text.size();
            open_.text.resize(size + open_.pendingSpaces + (last + 1 - first));
            auto* w = reinterpret_cast<char16_t*>(open_.text.data()) + size;
            std::fill_n(w, open_.pendingSpaces, kSpace);
            w = CopyWithoutBreaks(d + first, last + 1 - first, w + open_.pendingSpaces);
            open_.text.truncate(w - reinterpret_cast<char16_t*>(open_.text.data()));
            open_.pendingSpaces = SpacesIn(d, last + 1, piece.size);
            open_.end = place_.At(scanner_.SpanOf(piece, last).end);
        }
    }

    static qsizetype SpacesIn(const char16_t* d, qsizetype from, qsizetype to) {
        qsizetype spaces = 0;
        for (qsizetype i = from; i < to; ++i) spaces += d[i] == kSpace;
        return spaces;
    }

    // The open buffer closed by the separator that ended the last units appended.
    void Close() {
        if (open_.lone != Lone::OneBreak) {
            ++open_.sentences;
            if (!options_.countOnly) {
                if (!open_.started) {
                    const Piece& last = pieces_.back();
                    open_.start = open_.end = place_.At(scanner_.SpanOf(last, last.size - 1).end);
                }
                receiver_.Sentence(open_.text, open_.start, open_.end);
            }
        }
        open_.Reset();
    }

    Scanner scanner_;
    const StepOptions& options_;
    ScanCarry& open_;
    const StretchPlace& place_;
    SentenceReceiver& receiver_;
    std::vector<Piece> pieces_;
    std::u16string scratch_;
    LentViews views_;
};

}  // namespace

QStringList ScanSentenceList(const MaskedText& masked, QStringView separators) {
    QStringList sentences;
    // Counting first costs one more scan and saves the slack of a growing list.
    sentences.reserve(qsizetype(Count(masked, separators)));
    Scan<false>(masked, separators,
                [&](QString&& sentence) { sentences.push_back(std::move(sentence)); });
    return sentences;
}

std::vector<LocatedSentence> ScanLocatedSentenceList(const MaskedText& masked,
                                                     QStringView separators) {
    std::vector<LocatedSentence> sentences;
    sentences.reserve(Count(masked, separators));
    Scan<true>(masked, separators, [&](QString&& sentence, qsizetype start, qsizetype end) {
        sentences.push_back({std::move(sentence), start, end});
    });
    return sentences;
}

void ScanStep(const MaskedText& masked, QStringView separators, const StepOptions& options,
              ScanCarry& carry, const StretchPlace& place, SentenceReceiver& receiver) {
    Step(masked, separators, options, carry, place, receiver).Run();
}

}  // namespace detail

void ScanSentences(const MaskedText& masked, QStringView separators, const SentenceSink& sink) {
    detail::Scan<false>(masked, separators, [&](QString&& sentence) { sink(std::move(sentence)); });
}

void ScanSentences(const MaskedText& masked, QStringView separators,
                   const LocatedSentenceSink& sink) {
    detail::Scan<true>(masked, separators, [&](QString&& sentence, qsizetype start, qsizetype end) {
        sink(std::move(sentence), start, end);
    });
}

std::size_t CountSentences(const MaskedText& masked, QStringView separators) {
    return detail::Count(masked, separators);
}

}  // namespace brintale
