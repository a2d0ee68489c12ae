#include "core/splitter/byte_splitter.h"

#include <QString>
#include <array>
#include <cstring>
#include <utility>

#include "core/splitter/byte_counter.h"
#include "core/splitter/byte_search.h"
#include "core/text_file.h"

namespace brintale {

namespace {

using Lone = detail::ScanCarry::Lone;

constexpr qsizetype kStraddleLooks = 256;

inline bool IsSpaceOrCr(unsigned char b) { return b == ' ' || b == '\r'; }
inline bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// Each byte of Windows-1252 in UTF-8: its length, then its bytes.
const std::array<std::array<char, 4>, 256>& Windows1252Utf8() {
    static const auto table = [] {
        std::array<std::array<char, 4>, 256> t{};
        for (int b = 0; b < 256; ++b) {
            const char16_t u = Windows1252ToUnicode(static_cast<unsigned char>(b));
            auto& e = t[std::size_t(b)];
            if (u < 0x80) {
                e = {1, char(u), 0, 0};
            } else if (u < 0x800) {
                e = {2, char(0xC0 | u >> 6), char(0x80 | (u & 0x3F)), 0};
            } else {
                e = {3, char(0xE0 | u >> 12), char(0x80 | (u >> 6 & 0x3F)),
                     char(0x80 | (u & 0x3F))};
            }
        }
        return t;
    }();
    return table;
}

qsizetype Spaces(const unsigned char* d, qsizetype from, qsizetype to) {
    qsizetype spaces = 0;
    for (qsizetype i = from; i < to; ++i) spaces += d[i] == ' ';
    return spaces;
}

}  // namespace

ByteSplitter::~ByteSplitter() = default;

std::unique_ptr<ByteSplitter> ByteSplitter::For(QStringView separators,
                                                const QStringList& abbreviations,
                                                const Options& options) {
    auto rules =
        ByteCounter::For(separators, abbreviations, options.heldBeforeLooking, options.hashedAbove);
    if (!rules) return nullptr;
    // The counter may pass over entries that change no count, but they change the text.
    bool any = false;
    for (const QString& a : abbreviations) {
        if (a.isEmpty()) continue;
        any = true;
        for (const QChar c : a)
            if (c == u'\r' || c == u'\n' || c == u'\t') return nullptr;
        if (a.front() == u' ' || a.back() == u' ') return nullptr;
    }
    if (any && rules->entries_.empty()) return nullptr;
    std::unique_ptr<ByteSplitter> s(new ByteSplitter);
    s->rules_ = std::move(rules);
    s->options_ = options;
    return s;
}

void ByteSplitter::ReadAsUtf8() {
    utf8_ = true;
    rules_->ReadAsUtf8();
}

// Between d[c - 1] and d[c]: after a byte no abbreviation holds, and never inside a
// character of UTF-8, so that a piece can be decoded on its own.
bool ByteSplitter::CutAllowed(const unsigned char* d, qsizetype n, qsizetype c) const {
    if (rules_->inEntries_[d[c - 1]]) return false;
    if (!utf8_) return true;
    if (c < n) return !IsContinuation(d[c]);
    qsizetype lead = c - 1;
    while (lead > 0 && lead > c - 4 && IsContinuation(d[lead])) --lead;
    const unsigned char b = d[lead];
    if (IsContinuation(b)) return false;
    const qsizetype length = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
    return lead + length <= c;
}

qsizetype ByteSplitter::LastCut(const unsigned char* d, qsizetype n) const {
    for (qsizetype c = n; c > 0; --c)
        if (CutAllowed(d, n, c)) return c;
    return 0;
}

void ByteSplitter::Feed(QByteArrayView bytes, ByteSentenceReceiver& sink) {
    if (rules_->separatorBytes_.empty() || bytes.isEmpty()) return;
    const auto* d = reinterpret_cast<const unsigned char*>(bytes.data());
    qsizetype n = bytes.size();
    if (!held_.isEmpty()) {
        qsizetype first = 1;
        while (first <= n && !CutAllowed(d, n, first)) ++first;
        if (first > n) {
            held_ += bytes;
            if (held_.size() > options_.heldBeforeLooking) CutHeld(sink);
            detail::CheckHeld(held_.size(), options_.heldLimit);
            return;
        }
        held_.append(bytes.first(first));
        Piece(reinterpret_cast<const unsigned char*>(held_.constData()), held_.size(), sink);
        held_.resize(0);
        d += first;
        n -= first;
    }
    const qsizetype cut = LastCut(d, n);
    Piece(d, cut, sink);
    held_.append(reinterpret_cast<const char*>(d + cut), n - cut);
    if (held_.size() > options_.heldBeforeLooking) CutHeld(sink);
    detail::CheckHeld(held_.size(), options_.heldLimit);
}

// Bytes held with no byte outside the abbreviations: cut where none can straddle.
void ByteSplitter::CutHeld(ByteSentenceReceiver& sink) {
    if (utf8_ && rules_->foldsBeyondAscii_) return;
    const auto* d = reinterpret_cast<const unsigned char*>(held_.constData());
    const qsizetype n = held_.size();
    const auto fold = [](unsigned char b) {
        return (b >= 'A' && b <= 'Z') ? static_cast<unsigned char>(b + ('a' - 'A')) : b;
    };
    for (qsizetype at = n - 1; at > 0 && at >= n - kStraddleLooks; --at) {
        if (utf8_ && IsContinuation(d[at])) continue;
        if (!detail::NoneStraddles(
                d, n, at, rules_->entries_,
                [](const ByteCounter::Entry& e) -> const std::string& { return e.folded; }, fold))
            continue;
        Piece(d, at, sink);
        held_.remove(0, at);
        return;
    }
}

void ByteSplitter::Finish(ByteSentenceReceiver& sink) {
    if (!rules_->separatorBytes_.empty() && !held_.isEmpty())
        Piece(reinterpret_cast<const unsigned char*>(held_.constData()), held_.size(), sink);
    held_.clear();
    endedInsideParts_ = open_.parted;
    open_ = Open();
    if (endedInsideParts_) sink.AbandonSentence();
}

bool ByteSplitter::GoesInParts(QByteArrayView text, qsizetype partUnits) {
    if (partUnits <= 0 || text.size() < partUnits) return false;
    // UTF-16 units of valid UTF-8.
    const auto* d = reinterpret_cast<const unsigned char*>(text.data());
    qsizetype units = detail::LeadBytes(d, text.size());
    for (const unsigned char b : text) units += b >= 0xF0;
    return units >= partUnits;
}

void ByteSplitter::ContinueSentence() {
    open_ = Open();
    open_.lone = Lone::Other;
    open_.started = true;
}

ByteSplitter::Tail ByteSplitter::EndPiece(ByteSentenceReceiver& sink, std::int64_t& sentences,
                                          std::int64_t& points) {
    if (!rules_->separatorBytes_.empty() && !held_.isEmpty())
        Piece(reinterpret_cast<const unsigned char*>(held_.constData()), held_.size(), sink);
    held_.clear();
    Tail tail{std::move(open_.text), open_.start, open_.started, open_.parted};
    sentences = std::exchange(sentences_, 0);
    points = std::exchange(piecePoint_, 0);
    open_ = Open();
    return tail;
}

void ByteSplitter::Piece(const unsigned char* d, qsizetype n, ByteSentenceReceiver& sink) {
    if (n == 0) return;
    pieceWords_ = utf8_ && options_.codePoints;
    if (pieceWords_) {
        words_.resize(std::size_t(n / 64 + 1));
        detail::ContinuationWords(d, n, words_.data());
    }
    Scan(d, n, sink);
    piecePoint_ = PointAt(d, n);
    const qsizetype part = options_.partUnits;
    if (GoesInParts(open_.text, part)) {
        sink.SentencePart(open_.text);
        open_.text.resize(0);
        open_.parted = true;
    }
}

void ByteSplitter::Scan(const unsigned char* d, qsizetype n, ByteSentenceReceiver& sink) {
    marks_.clear();
    const ByteCounter& r = *rules_;
    const bool anyEntries = !r.entries_.empty();
    qsizetype from = 0, maskedUntil = 0;
    std::size_t mark = 0;
    bool worked = false, clash = false;
    const detail::AnchorSearch anchors{r.search_.anchor, r.search_.prior};
    const auto visit = [&](qsizetype q, bool w, bool look) {
        if (clash) return;
        worked = worked || w;
        if (anyEntries && !look) {
            if (q < maskedUntil) return;  // inside an abbreviation
        } else if (anyEntries) {
            ByteCounter::Found found;
            switch (r.Classify(d, n, q, utf8_, maskedUntil, found)) {
                case ByteCounter::Separator::Clash:
                    clash = true;
                    return;
                case ByteCounter::Separator::Inside:
                    return;
                case ByteCounter::Separator::Abbreviation:
                    marks_.push_back({found.start, found.end, found.entry});
                    return;
                case ByteCounter::Separator::End:
                    break;
            }
        }
        if (open_.lone != Lone::Blank) {
            Append(d, from, q + 1, mark);
            Close(d, q, sink);
        } else {
            EmitBuffer(d, from, {q, worked}, mark, sink);
        }
        worked = false;
        from = q + 1;
    };
    detail::ForEachMarked(d, n, r.separatorBytes_, r.separator_, !utf8_,
                          anyEntries ? &anchors : nullptr, visit);
    if (!clash) return Append(d, from, n, mark);
    // No abbreviation holds the end before `from`, so the rest is a text of its own.
    const std::int64_t piecePoint = piecePoint_;
    piecePoint_ = PointAt(d, from);
    BySplitter(d + from, n - from, sink);
    piecePoint_ = piecePoint;
}

// A buffer d[from, q] with nothing open before it.
void ByteSplitter::EmitBuffer(const unsigned char* d, qsizetype from, End stop, std::size_t& mark,
                              ByteSentenceReceiver& sink) {
    const qsizetype q = stop.at;
    qsizetype first = from;
    while (first <= q && IsSpaceOrCr(d[first])) ++first;
    std::size_t marksEnd = mark;
    while (marksEnd < marks_.size() && marks_[marksEnd].start < q) ++marksEnd;
    if (first > q) {
        ++sentences_;
        const std::int64_t at = PointAt(d, q + 1);
        sink.Sentence({}, at, at);
        return;
    }
    qsizetype last = q;
    while (IsSpaceOrCr(d[last])) --last;
    if (first == last && marksEnd == mark && (d[first] == '\n' || d[first] == '\t')) return;
    ++sentences_;
    const std::int64_t start = PointAt(d, first), end = PointAt(d, last + 1);
    if (marksEnd == mark || SpelledAsListed(d, mark, marksEnd)) {
        const qsizetype size = last + 1 - first;
        if (!stop.worked || detail::PlainPrefix(d + first, size, !utf8_) == size) {
            mark = marksEnd;
            sink.Sentence(QByteArrayView(reinterpret_cast<const char*>(d + first), size), start,
                          end);
            return;
        }
    }
    scratch_.resize(0);
    qsizetype at = first;
    for (; mark < marksEnd; ++mark) {
        Spell(d, at, marks_[mark].start, scratch_);
        scratch_ += rules_->entries_[std::size_t(marks_[mark].entry)].spelling;
        at = marks_[mark].end;
    }
    Spell(d, at, last + 1, scratch_);
    sink.Sentence(scratch_, start, end);
}

bool ByteSplitter::SpelledAsListed(const unsigned char* d, std::size_t mark,
                                   std::size_t marksEnd) const {
    for (; mark < marksEnd; ++mark) {
        const Mark& m = marks_[mark];
        const std::string& spelling = rules_->entries_[std::size_t(m.entry)].spelling;
        if (qsizetype(spelling.size()) != m.end - m.start) return false;
        // A few bytes: a call to compare them would cost more than the comparing.
        for (std::size_t j = 0; j < spelling.size(); ++j)
            if (d[m.start + qsizetype(j)] != static_cast<unsigned char>(spelling[j])) return false;
    }
    return true;
}

void ByteSplitter::Append(const unsigned char* d, qsizetype from, qsizetype to, std::size_t& mark) {
    qsizetype at = from;
    for (; mark < marks_.size() && marks_[mark].start < to; ++mark) {
        const Mark& m = marks_[mark];
        AppendText(d, at, m.start);
        open_.lone = Lone::Other;
        if (!open_.started) {
            open_.started = true;
            open_.start = PointAt(d, m.start);
        }
        if (open_.pendingSpaces > 0) open_.text.append(open_.pendingSpaces, ' ');
        open_.pendingSpaces = 0;
        open_.text += rules_->entries_[std::size_t(m.entry)].spelling;
        open_.end = PointAt(d, m.end);
        at = m.end;
    }
    AppendText(d, at, to);
}

void ByteSplitter::AppendText(const unsigned char* d, qsizetype from, qsizetype to) {
    if (from >= to) return;
    open_.lone = detail::ScanCarry::After(open_.lone, d + from, to - from);
    qsizetype first = from;
    while (first < to && IsSpaceOrCr(d[first])) ++first;
    if (first == to) {
        if (open_.started) open_.pendingSpaces += Spaces(d, from, to);
        return;
    }
    qsizetype last = to - 1;
    while (IsSpaceOrCr(d[last])) --last;
    if (!open_.started) {
        open_.started = true;
        open_.start = PointAt(d, first);
    } else {
        open_.pendingSpaces += Spaces(d, from, first);
    }
    if (open_.pendingSpaces > 0) open_.text.append(open_.pendingSpaces, ' ');
    Spell(d, first, last + 1, open_.text);
    open_.pendingSpaces = Spaces(d, last + 1, to);
    open_.end = PointAt(d, last + 1);
}

void ByteSplitter::Close(const unsigned char* d, qsizetype q, ByteSentenceReceiver& sink) {
    if (open_.lone != Lone::OneBreak) {
        ++sentences_;
        if (!open_.started) open_.start = open_.end = PointAt(d, q + 1);
        sink.Sentence(open_.text, open_.start, open_.end);
    }
    QByteArray text = std::move(open_.text);
    text.resize(0);
    open_ = Open();
    open_.text = std::move(text);
}

void ByteSplitter::Spell(const unsigned char* d, qsizetype from, qsizetype to,
                         QByteArray& out) const {
    const bool high = !utf8_;
    const auto& table = Windows1252Utf8();
    // Room for the most it can take (three bytes a byte of Windows-1252), trimmed after.
    const qsizetype size = out.size();
    out.resize(size + (high ? 3 : 1) * (to - from));
    char* const begin = out.data();
    char* w = begin + size;
    for (qsizetype i = from; i < to;) {
        const qsizetype plain = detail::PlainPrefix(d + i, to - i, high);
        std::memcpy(w, d + i, static_cast<std::size_t>(plain));
        w += plain;
        i += plain;
        if (i == to) break;
        const unsigned char b = d[i++];
        if (b == '\r' || b == '\n' || b == '\t') continue;
        const auto& e = table[b];
        std::memcpy(w, e.data() + 1, static_cast<std::size_t>(e[0]));
        w += e[0];
    }
    out.truncate(w - begin);
}

// Where abbreviations overlap, the splitter tells whose turn comes first.
void ByteSplitter::BySplitter(const unsigned char* d, qsizetype n, ByteSentenceReceiver& sink) {
    QString text;
    if (utf8_) {
        text = QString::fromUtf8(reinterpret_cast<const char*>(d), n);
    } else {
        text.resize(n);
        for (qsizetype i = 0; i < n; ++i) text[i] = QChar(Windows1252ToUnicode(d[i]));
    }
    detail::ScanCarry carry;
    carry.lone = open_.lone;
    carry.text = QString::fromUtf8(open_.text);
    carry.pendingSpaces = open_.pendingSpaces;
    carry.started = open_.started;
    carry.start = open_.start;
    carry.end = open_.end;
    carry.parted = open_.parted;
    carry.sentences = sentences_;
    std::vector<qsizetype> seconds;
    detail::StretchPlace place;
    if (options_.codePoints) {
        place.startPoint = piecePoint_;
        for (qsizetype i = 1; i < text.size(); ++i)
            if (text[i].isLowSurrogate() && text[i - 1].isHighSurrogate()) seconds.push_back(i);
        place.seconds = &seconds;
    }
    struct Relay : SentenceReceiver {
        explicit Relay(ByteSentenceReceiver& to) : sink(to) {}
        void Sentence(QStringView t, std::int64_t start, std::int64_t end) override {
            utf8 = t.toUtf8();
            sink.Sentence(utf8, start, end);
        }
        ByteSentenceReceiver& sink;
        QByteArray utf8;
    } relay(sink);
    if (!prepared_) prepared_ = detail::PrepareList(rules_->abbreviations_, options_.hashedAbove);
    detail::ScanStep(detail::MaskAbbreviations(text, rules_->abbreviations_, *prepared_),
                     rules_->separators_, detail::StepOptions(), carry, place, relay);
    open_.lone = carry.lone;
    open_.text = carry.text.toUtf8();
    open_.pendingSpaces = carry.pendingSpaces;
    open_.started = carry.started;
    open_.start = carry.start;
    open_.end = carry.end;
    open_.parted = carry.parted;
    sentences_ = carry.sentences;
}

}  // namespace brintale
