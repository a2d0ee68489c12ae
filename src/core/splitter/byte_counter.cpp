#include "core/splitter/byte_counter.h"

#include <QScopeGuard>
#include <QString>
#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <system_error>
#include <thread>
#include <unordered_set>
#include <utility>

#include "core/failure.h"
#include "core/splitter/byte_search.h"
#include "core/splitter/kernels.h"
#include "core/splitter/splitter.h"
#include "core/splitter/splitter_units.h"
#include "core/work_queue.h"

namespace brintale {

namespace {

using Lone = detail::ScanCarry::Lone;
using detail::ForEachByte;

constexpr unsigned char kCr = '\r';

// How many places to look at for a cut among the abbreviations' letters.
constexpr qsizetype kStraddleLooks = 256;

// The bytes of U+017F (C5 BF) and U+212A (E2 84 AA) in UTF-8, which fold into s and k.
constexpr unsigned char kFoldingBytes[] = {0xC5, 0xBF, 0xE2, 0x84, 0xAA};

inline unsigned char FoldByte(unsigned char b) {
    return (b >= 'A' && b <= 'Z') ? static_cast<unsigned char>(b + ('a' - 'A')) : b;
}

bool IsMarkerUnit(char16_t u) {
    return (u >= u'0' && u <= u'9') || u == u'_' || (u >= u'a' && u <= u'z') ||
           (u >= u'A' && u <= u'Z');
}

}  // namespace

struct ByteCounter::Chunk {
    QByteArray bytes;  // the piece is bytes[from, to)
    qsizetype from = 0, to = 0;
    bool utf8 = false;
    bool fast = false;       // counted there, no overlapping abbreviations
    bool dependent = false;  // the count depends on the buffer open before it
    std::int64_t sentences = 0;
    Lone lone = Lone::Other;  // the buffer open after it
    // Read where it is counted (FeedFrom): from offset, wanted bytes; the piece then is the
    // bytes between its first and last places to cut, the rest left to the caller.
    std::int64_t offset = -1;
    qsizetype wanted = 0;
    bool shortRead = false;
    bool folding = false;  // holds a letter that folds into an entry's: counted in order
    std::exception_ptr error;
};

using detail::FlatIndex;

struct ByteCounter::Hashed {
    std::array<std::vector<int>, 256> offsets;  // the anchors' offsets by anchor, ascending
    FlatIndex prefixes;                         // anchor, offset, units before -> group
    std::vector<std::vector<int>> tailLengths;  // by group, ascending
    FlatIndex tails;                            // group, length, units after -> list
    std::vector<std::vector<int>> lists;        // entries, to be verified
};

std::uint64_t ByteCounter::Key(std::uint64_t a, std::uint64_t b) {
    std::uint64_t x = a * 0x9E3779B97F4A7C15ull ^ (b + 0x632BE59BD9B4E019ull);
    x = (x ^ (x >> 31)) * 0xBF58476D1CE4E5B9ull;
    x ^= x >> 29;
    return x | 1;
}

bool ByteCounter::UnitBack(const unsigned char* d, qsizetype& at, bool utf8,
                           unsigned char& unit) const {
    while (at >= 0 && d[at] == kCr) --at;
    if (at < 0) return false;
    if (d[at] < 0x80) {
        unit = FoldByte(d[at--]);
        return true;
    }
    if (utf8 && at >= 1 && d[at] == 0xBF && d[at - 1] == 0xC5) {
        unit = 's', at -= 2;
        return true;
    }
    if (utf8 && at >= 2 && d[at] == 0xAA && d[at - 1] == 0x84 && d[at - 2] == 0xE2) {
        unit = 'k', at -= 3;
        return true;
    }
    return false;
}

bool ByteCounter::UnitForward(const unsigned char* d, qsizetype n, qsizetype& at, bool utf8,
                              unsigned char& unit) const {
    while (at < n && d[at] == kCr) ++at;
    if (at >= n) return false;
    if (d[at] < 0x80) {
        unit = FoldByte(d[at++]);
        return true;
    }
    if (utf8 && at + 1 < n && d[at] == 0xC5 && d[at + 1] == 0xBF) {
        unit = 's', at += 2;
        return true;
    }
    if (utf8 && at + 2 < n && d[at] == 0xE2 && d[at + 1] == 0x84 && d[at + 2] == 0xAA) {
        unit = 'k', at += 3;
        return true;
    }
    return false;
}

ByteCounter::Found ByteCounter::FindHashed(const unsigned char* d, qsizetype n, qsizetype q,
                                           bool utf8) const {
    Found found;
    const std::vector<int>& offsets = hashed_->offsets[d[q]];
    std::uint64_t before = d[q];
    int read = 0;
    qsizetype back = q - 1;
    for (const int offset : offsets) {
        unsigned char unit = 0;
        while (read < offset && UnitBack(d, back, utf8, unit)) before = Key(before, unit), ++read;
        if (read < offset) break;
        const int group = hashed_->prefixes.Find(Key(before, std::uint64_t(offset)));
        if (group < 0) continue;
        std::uint64_t after = std::uint64_t(group);
        int length = 0;
        qsizetype ahead = q + 1;
        for (const int wanted : hashed_->tailLengths[std::size_t(group)]) {
            while (length < wanted && UnitForward(d, n, ahead, utf8, unit))
                after = Key(after, unit), ++length;
            if (length < wanted) break;
            const int list = hashed_->tails.Find(Key(after, std::uint64_t(wanted) << 32));
            if (list < 0) continue;
            for (const int k : hashed_->lists[std::size_t(list)])
                if (Verify(d, n, q, k, utf8, found) && found.count > 1) return found;
        }
    }
    return found;
}

ByteCounter::~ByteCounter() = default;

void ByteCounter::UseCores(int threads) {
    if (threads <= 0 || separatorBytes_.empty()) return;
    const auto count = [this](Chunk& chunk) {
        if (chunk.offset >= 0) return ReadPiece(chunk);
        const auto* d = reinterpret_cast<const unsigned char*>(chunk.bytes.constData());
        chunk.fast = CountFast(d + chunk.from, chunk.to - chunk.from, chunk.utf8, chunk.sentences,
                               chunk.lone, &chunk.dependent);
    };
    // A few pieces waiting for each thread, so that memory stays bounded.
    pool_ = std::make_unique<OrderedWorkQueue<Chunk>>(threads, 2 * std::size_t(threads), count);
    // No thread could start: this one counts alone.
    if (pool_->threads() == 0) pool_.reset();
}

std::unique_ptr<ByteCounter> ByteCounter::For(QStringView separators,
                                              const QStringList& abbreviations,
                                              qsizetype heldBeforeLooking,
                                              std::size_t hashedAbove) {
    std::unique_ptr<ByteCounter> c(new ByteCounter);
    c->hashedAbove_ = hashedAbove;
    c->heldBeforeLooking_ = heldBeforeLooking;
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
    std::vector<std::pair<qsizetype, std::u16string>> folded;
    std::unordered_set<std::string> seen(std::size_t(abbreviations.size()));
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
            e.spelling += char(ch.unicode());
        }
        for (std::size_t j = std::size_t(e.anchor); holds && j < e.folded.size(); ++j) {
            const auto b = static_cast<unsigned char>(e.folded[j]);
            e.plainsOn += c->separator_[b] && b != '\n' && b != '\t';
        }
        folded.emplace_back(i, std::u16string(e.folded.begin(), e.folded.end()));
        indices.push_back(i);
        // The same entry again then matches nothing the first left.
        if (!seen.insert(e.folded).second) continue;
        anyHolds = anyHolds || holds;
        allHold = allHold && holds;
        breaksAlone = breaksAlone || onlyBreaks;
        if (e.folded.size() <= 8) {
            for (std::size_t j = 0; j < e.folded.size(); ++j) {
                const auto b = static_cast<unsigned char>(e.folded[j]);
                e.word |= std::uint64_t(b) << (8 * j);
                if (b >= 'a' && b <= 'z') e.letters |= std::uint64_t(0x20) << (8 * j);
                e.span |= std::uint64_t(0xFF) << (8 * j);
            }
        }
        c->entries_.push_back(std::move(e));
    }
    // None may match across the marker of one before it.
    detail::MarkerOverlaps overlaps(std::move(indices));
    for (const auto& [index, units] : folded)
        if (const qsizetype first = overlaps.First(units); first >= 0 && first < index)
            return nullptr;
    if (anyHolds && !allHold) return nullptr;
    if (!anyHolds) {
        // Abbreviations without a separator change a count only where they turn a buffer
        // of a lone line break into a marker.
        if (breaksAlone) return nullptr;
        c->entries_.clear();
    }
    c->inEntries_[kCr] = true;
    if (c->entries_.size() > hashedAbove) {
        auto h = std::make_unique<Hashed>();
        h->prefixes.Reserve(c->entries_.size());
        h->tails.Reserve(c->entries_.size());
        for (std::size_t k = 0; k < c->entries_.size(); ++k) {
            const Entry& e = c->entries_[k];
            const auto anchor = static_cast<unsigned char>(e.folded[std::size_t(e.anchor)]);
            std::uint64_t before = anchor;
            for (int j = e.anchor - 1; j >= 0; --j)
                before = Key(before, static_cast<unsigned char>(e.folded[std::size_t(j)]));
            const int group = h->prefixes.Insert(Key(before, std::uint64_t(e.anchor)),
                                                 int(h->tailLengths.size()));
            if (group == int(h->tailLengths.size())) h->tailLengths.emplace_back();
            std::uint64_t after = std::uint64_t(group);
            for (std::size_t j = std::size_t(e.anchor) + 1; j < e.folded.size(); ++j)
                after = Key(after, static_cast<unsigned char>(e.folded[j]));
            const int tail = int(e.folded.size()) - e.anchor - 1;
            const int list =
                h->tails.Insert(Key(after, std::uint64_t(tail) << 32), int(h->lists.size()));
            if (list == int(h->lists.size())) h->lists.emplace_back();
            h->lists[std::size_t(list)].push_back(int(k));
            for (auto* v : {&h->offsets[anchor], &h->tailLengths[std::size_t(group)]}) {
                const int value = v == &h->offsets[anchor] ? e.anchor : tail;
                const auto at = std::lower_bound(v->begin(), v->end(), value);
                if (at == v->end() || *at != value) v->insert(at, value);
            }
        }
        c->hashed_ = std::move(h);
    }
    for (std::size_t k = 0; k < c->entries_.size(); ++k) {
        const Entry& e = c->entries_[k];
        const auto anchor = static_cast<unsigned char>(e.folded[e.anchor]);
        c->anchoredOn_[anchor].push_back(int(k));
        if (c->anchorSlot_[anchor] == 0) {
            c->byBefore_.emplace_back();
            c->pairs_.emplace_back();
            c->anchorSlot_[anchor] = int(c->byBefore_.size());
        }
        const int before = e.anchor > 0 ? static_cast<unsigned char>(e.folded[e.anchor - 1]) : 256;
        c->byBefore_[std::size_t(c->anchorSlot_[anchor] - 1)][std::size_t(before)].push_back(
            int(k));
        c->AllowPairs(e);
        for (char ch : e.folded) {
            const auto b = static_cast<unsigned char>(ch);
            c->inEntries_[b] = true;
            if (b >= 'a' && b <= 'z') c->inEntries_[b - ('a' - 'A')] = true;
            c->foldsBeyondAscii_ = c->foldsBeyondAscii_ || b == 's' || b == 'k';
        }
    }
    bool quick = !c->hashed_ && !c->entries_.empty();
    for (const Entry& e : c->entries_) quick = quick && e.span != 0;
    if (quick) c->quick_.resize(c->byBefore_.size());
    for (std::size_t slot = 0; quick && slot < c->byBefore_.size(); ++slot) {
        const auto& byBefore = c->byBefore_[slot];
        for (std::size_t b = 0; quick && b < 256; ++b) {
            QuickBucket& bucket = c->quick_[slot][b];
            for (const auto* list : {&byBefore[256], &byBefore[b]}) {
                for (const int k : *list) {
                    if (bucket.count == int(bucket.entries.size())) {
                        quick = false;
                        break;
                    }
                    const Entry& e = c->entries_[std::size_t(k)];
                    bucket.entries[std::size_t(bucket.count++)] = {
                        e.word, e.letters, e.span, e.anchor, int(e.folded.size()), k};
                }
            }
        }
    }
    if (!quick) c->quick_.clear();
    detail::WordSearch& search = c->search_;
    search.leads = c->foldsBeyondAscii_;
    search.separators = c->separatorBytes_;
    search.separator = c->separator_;
    for (unsigned b = 0; b < 256; ++b) {
        const int slot = c->anchorSlot_[b];
        if (slot == 0) continue;
        search.anchors += char(b);
        if (b == '\n' || b == '\t') c->sparse_ = false;
        search.anchor[b] = true;
        for (unsigned prior = 0; prior < 256; ++prior)
            if (c->pairs_[std::size_t(slot - 1)].prior[prior >> 6] >> (prior & 63) & 1)
                search.prior[prior] = true;
    }
    for (unsigned b = 0; b < 0x80; ++b)
        if (search.prior[b]) search.priorRows[b & 15] |= static_cast<unsigned char>(1u << (b >> 4));
    // Beyond ASCII every byte may stand before an anchor (the word search takes it so).
    for (unsigned b = 0x80; b < 256 && !search.anchors.empty(); ++b) search.prior[b] = true;
    // Past two entries to a group, the lookup rules out too little to pay for itself.
    search.groups = !c->entries_.empty() && c->entries_.size() <= 16;
    for (auto* rows : {&search.outLo, &search.outHi})
        for (auto& row : *rows) row.fill(0xFF);
    for (std::size_t k = 0; k < c->entries_.size(); ++k) {
        const Entry& e = c->entries_[k];
        const auto keep = static_cast<unsigned char>(~(1u << (k % 8)));
        for (std::size_t row = 0; row < 3; ++row) {
            const int j = e.anchor + (row == 2 ? 1 : int(row) - 2);
            for (unsigned b = 0; b < 0x80; ++b) {
                if (j >= 0 && j < int(e.folded.size()) &&
                    FoldByte(static_cast<unsigned char>(b)) !=
                        static_cast<unsigned char>(e.folded[std::size_t(j)]))
                    continue;
                search.outLo[row][b & 15] &= keep;
                search.outHi[row][b >> 4] &= keep;
            }
        }
    }
    // A carriage return is skipped and a byte beyond ASCII may be part of a letter that folds:
    // neither rules out a group (the latter by the lookup's own rule).
    for (std::size_t row = 0; row < 3; ++row) {
        search.outLo[row][kCr & 15] = 0;
        search.outHi[row][kCr >> 4] = 0;
        for (unsigned high = 8; high < 16; ++high) search.outHi[row][high] = 0;
    }
    return c;
}

void ByteCounter::AllowPairs(const Entry& e) {
    // Most separators end a word no entry ends in before its anchor. The bytes that may stand
    // where the entry's unit j does: the unit in either case, a carriage return skipped, or a
    // byte of a letter beyond ASCII that folds into it; any byte where the entry has no unit.
    using Bits = std::array<std::uint64_t, 4>;
    const auto allowed = [&e](int j) {
        Bits bits{};
        for (unsigned b = 0; b < 256; ++b)
            if (j < 0 || j >= int(e.folded.size()) || b == kCr || b >= 0x80 ||
                FoldByte(static_cast<unsigned char>(b)) ==
                    static_cast<unsigned char>(e.folded[std::size_t(j)]))
                bits[b >> 6] |= std::uint64_t(1) << (b & 63);
        return bits;
    };
    const Bits prior = allowed(e.anchor - 1), next = allowed(e.anchor + 1),
               second = allowed(e.anchor - 2);
    // Behind a byte that is no unit of its own, the unit before comes further back.
    Bits priorNotOwn = prior;
    priorNotOwn[0] &= std::uint64_t(1) << kCr;
    priorNotOwn[1] = 0;
    const auto anchor = static_cast<unsigned char>(e.folded[std::size_t(e.anchor)]);
    AnchorPairs& pairs = pairs_[std::size_t(anchorSlot_[anchor] - 1)];
    for (unsigned b = 0; b < 256; ++b) {
        const bool isPrior = prior[b >> 6] >> (b & 63) & 1;
        const bool isSecond = second[b >> 6] >> (b & 63) & 1;
        const Bits& before = isSecond ? prior : priorNotOwn;
        for (unsigned k = 0; k < 4; ++k) {
            if (isPrior) pairs.around[b * 4 + k] |= next[k];
            pairs.before[b * 4 + k] |= before[k];
        }
    }
    for (unsigned k = 0; k < 4; ++k) pairs.prior[k] |= prior[k];
}

void ByteCounter::ReadAsUtf8() {
    utf8_ = true;
    decided_ = true;
    if (!foldsBeyondAscii_) return;
    // The bytes of U+017F and U+212A belong to the abbreviations' letters now.
    for (const unsigned char b : kFoldingBytes) inEntries_[b] = true;
}

qsizetype ByteCounter::LastCut(const unsigned char* d, qsizetype n) const {
    const auto& uncut = Uncut();
    qsizetype cut = n;
    while (cut > 0 && uncut[d[cut - 1]]) --cut;
    return cut;
}

void ByteCounter::Feed(QByteArrayView bytes) {
    if (separatorBytes_.empty() || bytes.isEmpty()) return;
    const auto* d = reinterpret_cast<const unsigned char*>(bytes.data());
    qsizetype n = bytes.size();
    if (!held_.isEmpty()) {
        // The bytes held, with the piece up to its first place to cut.
        const auto& uncut = Uncut();
        qsizetype first = 0;
        while (first < n && uncut[d[first]]) ++first;
        if (first == n) {
            held_ += bytes;
            if (held_.size() > heldBeforeLooking_) CutHeld();
            detail::CheckHeld(held_.size(), heldLimit_);
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
    if (held_.size() > heldBeforeLooking_) CutHeld();
}

// Bytes held with no byte outside the abbreviations ("aaa..."): counted up to a place that
// no abbreviation can straddle, if there is one near their end.
void ByteCounter::CutHeld() {
    const auto* d = reinterpret_cast<const unsigned char*>(held_.constData());
    const qsizetype n = held_.size();
    // No cut inside such a letter while the reading is open: it is decided first.
    if (lookForFolding_ && !decided_ && detail::FindFoldingLead(d, n) < n) Decide();
    // U+017F and U+212A would have to be matched across several bytes.
    if (utf8_ && foldsBeyondAscii_) return;
    for (qsizetype at = n - 1; at > 0 && at >= n - kStraddleLooks; --at) {
        if (!detail::NoneStraddles(
                d, n, at, entries_, [](const Entry& e) -> const std::string& { return e.folded; },
                FoldByte))
            continue;
        Count(d, at);
        held_.remove(0, at);
        return;
    }
}

std::int64_t ByteCounter::Finish() {
    if (!separatorBytes_.empty() && !held_.isEmpty())
        Count(reinterpret_cast<const unsigned char*>(held_.constData()), held_.size());
    held_.clear();
    if (pool_) {
        ApplyCounted(true);
        pool_.reset();
        spare_.clear();
    }
    const std::int64_t sentences = carry_.sentences;
    carry_ = detail::ScanCarry();
    return sentences;
}

void ByteCounter::Count(const unsigned char* d, qsizetype n) {
    if (n == 0) return;
    if (pool_ && !reading_) {
        // Into a buffer used before: a fresh one for every piece would be faulted in anew.
        QByteArray bytes = Buffer(n);
        std::memcpy(bytes.data(), d, static_cast<size_t>(n));
        Hand(std::move(bytes), 0, n);
        return;
    }
    CountHere(d, n, utf8_);
}

void ByteCounter::CountHere(const unsigned char* d, qsizetype n, bool utf8) {
    std::int64_t sentences = carry_.sentences;
    Lone lone = carry_.lone;
    // While the reading is open, the count looks for the letters that decide it as it goes.
    const bool look = lookForFolding_ && !decided_;
    bool folding = false;
    if (CountFast(d, n, utf8, sentences, lone, nullptr, look ? &folding : nullptr)) {
        carry_.sentences = sentences;
        carry_.lone = lone;
        return;
    }
    if (look && (folding || detail::FindFoldingLead(d, n) < n)) {
        Decide();
        return CountHere(d, n, utf8_);
    }
    CountBySplitter(d, n, utf8);
}

void ByteCounter::Decide() {
    decided_ = true;
    if ((*decide_)()) ReadAsUtf8();
}

// bytes[from, to) to the other threads.
void ByteCounter::Hand(QByteArray&& bytes, qsizetype from, qsizetype to) {
    Chunk chunk;
    chunk.bytes = std::move(bytes);
    chunk.from = from;
    chunk.to = to;
    chunk.utf8 = utf8_;
    pool_->Push(std::move(chunk), [&](Chunk& counted) { Apply(counted); });
    ApplyCounted(false);
}

QByteArray ByteCounter::Buffer(qsizetype size) {
    QByteArray buffer;
    if (!spare_.empty()) {
        buffer = std::move(spare_.back());
        spare_.pop_back();
    }
    buffer.resize(size);
    return buffer;
}

void ByteCounter::Feed(QByteArray&& buffer) {
    if (!pool_ || separatorBytes_.empty() || buffer.isEmpty()) return Feed(QByteArrayView(buffer));
    const auto* d = reinterpret_cast<const unsigned char*>(buffer.constData());
    const qsizetype n = buffer.size();
    qsizetype from = 0;
    if (!held_.isEmpty()) {
        // The bytes held and the buffer's first up to a place to cut, on their own.
        qsizetype first = 0;
        while (first < n && inEntries_[d[first]]) ++first;
        if (first == n) return Feed(QByteArrayView(buffer));
        held_.append(QByteArrayView(buffer).first(first + 1));
        Count(reinterpret_cast<const unsigned char*>(held_.constData()), held_.size());
        held_.clear();
        from = first + 1;
    }
    const qsizetype cut = from + LastCut(d + from, n - from);
    held_.append(QByteArrayView(buffer).sliced(cut));
    // The rest as it is, no copy: the buffer comes back through Buffer once counted.
    if (cut > from) Hand(std::move(buffer), from, cut);
    if (held_.size() > heldBeforeLooking_) CutHeld();
}

// The stretches the other cores counted, in order: their counts where they did not depend
// on the buffer open before them, else counted again here.
void ByteCounter::ApplyCounted(bool all) {
    pool_->TakeFinished(all, [&](Chunk& chunk) { Apply(chunk); });
}

void ByteCounter::Apply(Chunk& chunk) {
    if (chunk.fast && (!chunk.dependent || carry_.lone == Lone::Other)) {
        carry_.sentences += chunk.sentences;
        carry_.lone = chunk.lone;
    } else {
        CountHere(reinterpret_cast<const unsigned char*>(chunk.bytes.constData()) + chunk.from,
                  chunk.to - chunk.from, chunk.utf8);
    }
    Recycle(std::move(chunk.bytes), 2 * std::size_t(pool_->threads()));
}

void ByteCounter::Recycle(QByteArray&& bytes, std::size_t keep) {
    if (spare_.size() < keep) spare_.push_back(std::move(bytes));
}

void ByteCounter::StartReading(const std::function<bool()>& decide) {
    decide_ = &decide;
    // A cut is placed as for either reading: pieces are counted before it is decided.
    uncut_ = inEntries_;
    if (foldsBeyondAscii_)
        for (const unsigned char b : kFoldingBytes) uncut_[b] = true;
    lookForFolding_ = foldsBeyondAscii_ && !decided_;
}

void ByteCounter::EndReading() {
    reading_ = nullptr;
    decide_ = nullptr;
    lookForFolding_ = false;
}

void ByteCounter::FeedFrom(const ReadAt& readAt, std::int64_t from, qsizetype piece,
                           const std::function<bool()>& decide, std::int64_t size) {
    if (separatorBytes_.empty()) return;
    piece = std::max<qsizetype>(piece, 1);
    StartReading(decide);
    // Whatever ends the reading, what it set goes with it.
    const auto ended = qScopeGuard([this] { EndReading(); });
    if (!pool_) {
        ReadHere(readAt, from, -1, piece);
        return;
    }
    reading_ = &readAt;
    if (FeedInRanges(readAt, from, piece, size)) return;
    ended_ = false;
    failure_ = nullptr;
    const auto apply = [this](Chunk& chunk) { ApplyRead(chunk); };
    for (std::int64_t at = from; !ended_; at += piece) {
        Chunk chunk;
        chunk.bytes = Buffer(piece);
        chunk.offset = at;
        chunk.wanted = piece;
        pool_->Push(std::move(chunk), apply);
        pool_->TakeFinished(false, apply);
    }
    pool_->TakeFinished(true, apply);
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
}

bool ByteCounter::ReadHere(const ReadAt& readAt, std::int64_t from, std::int64_t to,
                           qsizetype piece, QByteArray* reused) {
    // Each stretch counted looks for the letters as it goes: no pass of its own.
    QByteArray own;
    QByteArray& buffer = reused ? *reused : own;
    if (buffer.size() < piece) buffer.resize(piece);
    for (;;) {
        const qsizetype want = to < 0 ? piece : qsizetype(std::min<std::int64_t>(piece, to - from));
        if (want == 0) return true;
        const qsizetype got = readAt(from, buffer.data(), want);
        Feed(QByteArrayView(buffer.constData(), got));
        from += got;
        if (got < want) break;
    }
    // The bytes still held are counted after the reading's end.
    const auto* d = reinterpret_cast<const unsigned char*>(held_.constData());
    if (lookForFolding_ && !decided_ && detail::FindFoldingLead(d, held_.size()) < held_.size())
        Decide();
    return false;
}

namespace {

// Thrown to end the count of a range early.
struct Abandoned {};

}  // namespace

bool ByteCounter::FeedInRanges(const ReadAt& readAt, std::int64_t from, qsizetype piece,
                               std::int64_t size) {
    // Pieces handed to other threads one at a time cost a wake-up each, and three threads
    // share two cores; a few long ranges cost one. Two threads take them in turn, so that
    // a core slowed by other work takes fewer.
    if (size < 0 || size - from < 8 * std::int64_t(piece) || hashed_) return false;
    const auto wanted = std::clamp<std::int64_t>((size - from) / (8 * std::int64_t(piece)), 2, 64);
    // Each after the first starts just after a byte that is no separator, space, line break
    // or letter of an entry's: the buffer open there holds something whatever came before,
    // and no abbreviation reaches across.
    std::vector<std::int64_t> starts{from};
    for (std::int64_t k = 1; k < wanted; ++k) {
        const std::int64_t near = from + (size - from) / wanted * k;
        char probe[4096];
        const qsizetype got =
            near > starts.back() ? readAt(near, probe, qsizetype(sizeof probe)) : 0;
        qsizetype at = 0;
        while (at < got && !CutsAfter(static_cast<unsigned char>(probe[at]))) ++at;
        if (at < got) starts.push_back(near + at + 1);
    }
    const std::size_t ranges = starts.size();
    if (ranges < 2) return false;
    struct Range {
        bool taken = false, ended = false, abandoned = false;
        std::int64_t sentences = 0;
        Lone lone = Lone::Other;
        QByteArray held;
        std::exception_ptr failure;
    };
    std::vector<Range> counted(ranges);
    const bool decided = decided_, utf8 = utf8_;
    // The other ranges give up where the reading would have to be decided (in order, on this
    // thread), or when told to stop.
    std::atomic<bool> stop{false}, giveUp{false};
    std::atomic<std::size_t> next{1};
    const std::function<bool()> undecided = []() -> bool { throw Abandoned{}; };
    const ReadAt readThere = [&](std::int64_t offset, char* buffer, qsizetype n) {
        if (stop.load(std::memory_order_relaxed)) throw Abandoned{};
        return readAt(offset, buffer, n);
    };
    // Each thread counts its ranges with a counter and a buffer of its own, the counter's
    // state made anew for each.
    const auto countRanges = [&] {
        std::unique_ptr<ByteCounter> c;
        QByteArray buffer;
        for (std::size_t r; !giveUp.load() && (r = next.fetch_add(1)) < ranges;) {
            Range& range = counted[r];
            range.taken = true;
            try {
                if (!c) {
                    c = For(separators_, abbreviations_, heldBeforeLooking_, hashedAbove_);
                    c->heldLimit_ = heldLimit_;
                    if (decided) {
                        c->decided_ = true;
                        if (utf8) c->ReadAsUtf8();
                    }
                }
                c->carry_ = {};
                c->carry_.lone = Lone::Other;
                c->held_.clear();
                c->StartReading(undecided);
                const auto ended = qScopeGuard([&c] { c->EndReading(); });
                const std::int64_t to = r + 1 < ranges ? starts[r + 1] : -1;
                range.ended = !c->ReadHere(readThere, starts[r], to, piece, &buffer);
                range.sentences = c->carry_.sentences;
                range.lone = c->carry_.lone;
                range.held = std::move(c->held_);
            } catch (const Abandoned&) {
                range.abandoned = true;
            } catch (...) {
                range.failure = std::current_exception();
            }
            if (range.abandoned || range.failure) giveUp = true;
        }
    };
    std::thread thread;
    try {
        thread = std::thread(countRanges);
    } catch (const std::system_error&) {
        return false;
    }
    struct Joined {
        std::thread& thread;
        std::atomic<bool>& stop;
        ~Joined() {
            if (!thread.joinable()) return;
            stop.store(true, std::memory_order_relaxed);
            thread.join();
        }
    } joined{thread, stop};
    // A text that ends before the first cut ends there, whatever the other ranges read.
    if (!ReadHere(readAt, from, starts[1], piece)) return true;
    countRanges();
    thread.join();
    // The ranges in order, each from the state of the buffer the one before left, up to one
    // the text ends in; from one given up (or never taken) on, this thread reads on alone.
    // Nothing is held at a cut: no entry holds the byte before it.
    Q_ASSERT(held_.isEmpty());
    for (std::size_t r = 1; r < ranges; ++r) {
        Range& range = counted[r];
        if (range.failure) std::rethrow_exception(range.failure);
        if (!range.taken || range.abandoned) {
            ReadHere(readAt, starts[r], -1, piece);
            return true;
        }
        carry_.sentences += range.sentences;
        carry_.lone = range.lone;
        held_ = std::move(range.held);
        if (range.ended) return true;
    }
    return true;
}

void ByteCounter::ReadPiece(Chunk& chunk) const {
    qsizetype n = 0;
    try {
        n = (*reading_)(chunk.offset, chunk.bytes.data(), chunk.wanted);
    } catch (...) {
        chunk.error = std::current_exception();
        return;
    }
    chunk.shortRead = n < chunk.wanted;
    chunk.bytes.truncate(n);
    const auto* d = reinterpret_cast<const unsigned char*>(chunk.bytes.constData());
    qsizetype first = 0;
    while (first < n && uncut_[d[first]]) ++first;
    chunk.from = first < n ? first + 1 : n;
    qsizetype to = n;
    while (to > chunk.from && uncut_[d[to - 1]]) --to;
    chunk.to = to;
    // Either reading counts the same but where such a letter is: the count looks for them
    // as it goes, and no letter straddles its ends, which are bytes no entry holds.
    bool folding = false;
    if (chunk.to > chunk.from)
        chunk.fast = CountFast(d + chunk.from, chunk.to - chunk.from, false, chunk.sentences,
                               chunk.lone, &chunk.dependent, lookForFolding_ ? &folding : nullptr);
    const auto holds = [d](qsizetype from, qsizetype to) {
        return detail::FindFoldingLead(d + from, to - from) < to - from;
    };
    chunk.folding = lookForFolding_ && (folding || holds(0, chunk.from) || holds(chunk.to, n) ||
                                        (!chunk.fast && holds(chunk.from, chunk.to)));
}

// A piece read on another thread, in order: its first bytes counted with those held, its
// middle as counted there (or again here), its last bytes held.
void ByteCounter::ApplyRead(Chunk& chunk) {
    const std::size_t keep = 4 * std::size_t(pool_->threads());
    if (ended_) return Recycle(std::move(chunk.bytes), keep);
    try {
        if (chunk.error) std::rethrow_exception(chunk.error);
        if (chunk.folding && !decided_) Decide();
        const auto* d = reinterpret_cast<const unsigned char*>(chunk.bytes.constData());
        const qsizetype n = chunk.bytes.size();
        if (chunk.from >= n) {
            held_.append(chunk.bytes);
            if (held_.size() > heldBeforeLooking_) CutHeld();
            detail::CheckHeld(held_.size(), heldLimit_);
        } else {
            held_.append(QByteArrayView(chunk.bytes).first(chunk.from));
            CountHere(reinterpret_cast<const unsigned char*>(held_.constData()), held_.size(),
                      utf8_);
            held_.clear();
            if (chunk.to > chunk.from) {
                if (!chunk.folding && chunk.fast &&
                    (!chunk.dependent || carry_.lone == Lone::Other)) {
                    carry_.sentences += chunk.sentences;
                    carry_.lone = chunk.lone;
                } else {
                    CountHere(d + chunk.from, chunk.to - chunk.from, utf8_);
                }
            }
            held_.append(QByteArrayView(chunk.bytes).sliced(chunk.to));
            if (held_.size() > heldBeforeLooking_) CutHeld();
        }
        ended_ = chunk.shortRead;
    } catch (...) {
        failure_ = std::current_exception();
        ended_ = true;
    }
    Recycle(std::move(chunk.bytes), keep);
}

bool ByteCounter::MatchesBack(const unsigned char* d, qsizetype at, char unit, bool utf8,
                              qsizetype& next) const {
    if (at < 0) return false;
    if (FoldByte(d[at]) == static_cast<unsigned char>(unit)) {
        next = at - 1;
        return true;
    }
    if (!utf8) return false;
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
                                 bool utf8, qsizetype& next) const {
    if (at >= n) return false;
    if (FoldByte(d[at]) == static_cast<unsigned char>(unit)) {
        next = at + 1;
        return true;
    }
    if (!utf8) return false;
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

ByteCounter::Found ByteCounter::FindAt(const unsigned char* d, qsizetype n, qsizetype q,
                                       bool utf8) const {
    Found found;
    const int slot = anchorSlot_[d[q]];
    if (slot == 0) return found;
    if (hashed_) return FindHashed(d, n, q, utf8);
    // Most separators end a word no abbreviation ends in: only entries whose unit before the
    // anchor is the one before it, and those with none, need a look. A carriage return or a
    // letter beyond ASCII before it takes them all.
    const auto& byBefore = byBefore_[std::size_t(slot - 1)];
    const unsigned char before = q > 0 ? FoldByte(d[q - 1]) : 0;
    if (q > 0 && before != kCr && before < 0x80) {
        for (const auto* list : {&byBefore[256], &byBefore[before]})
            for (const int k : *list)
                if (Verify(d, n, q, k, utf8, found) && found.count > 1) return found;
        return found;
    }
    for (const int k : anchoredOn_[d[q]])
        if (Verify(d, n, q, k, utf8, found) && found.count > 1) return found;
    return found;
}

// Whether entry k matches with its anchor at q; counts it into found.
bool ByteCounter::Verify(const unsigned char* d, qsizetype n, qsizetype q, int k, bool utf8,
                         Found& found) const {
    const Entry& e = entries_[static_cast<std::size_t>(k)];
    // Most texts hold an entry's bytes as they stand but for the case of letters: compared at
    // once. Only a carriage return or a byte beyond ASCII there needs the look unit by unit.
    if (const qsizetype from = q - e.anchor, to = from + qsizetype(e.folded.size());
        e.span != 0 && from >= 0 && from + 8 <= n) {
        std::uint64_t x = 0;
        std::memcpy(&x, d + from, 8);
        if (std::endian::native == std::endian::big) x = __builtin_bswap64(x);
        const int match = MatchWord(x & e.span, e.word, e.letters, e.span);
        if (match > 0) {
            if (++found.count == 1) found.start = from, found.end = to, found.entry = k;
            return true;
        }
        if (match == 0) return false;
    } else if (from >= 0 && to <= n) {
        bool same = true, plain = true;
        for (std::size_t j = 0; j < e.folded.size(); ++j) {
            const unsigned char b = d[from + qsizetype(j)];
            same = same && FoldByte(b) == static_cast<unsigned char>(e.folded[j]);
            plain = plain && b != kCr && b < 0x80;
        }
        if (same) {
            if (++found.count == 1) found.start = from, found.end = to, found.entry = k;
            return true;
        }
        if (plain) return false;
    }
    qsizetype at = q - 1, start = q;
    for (int j = e.anchor - 1; j >= 0; --j) {
        while (at >= 0 && d[at] == kCr) --at;
        qsizetype next = 0;
        if (!MatchesBack(d, at, e.folded[std::size_t(j)], utf8, next)) return false;
        start = next + 1, at = next;
    }
    at = q + 1;
    qsizetype end = q + 1;
    for (std::size_t j = std::size_t(e.anchor) + 1; j < e.folded.size(); ++j) {
        while (at < n && d[at] == kCr) ++at;
        qsizetype next = 0;
        if (!MatchesForward(d, n, at, e.folded[j], utf8, next)) return false;
        end = at = next;
    }
    if (++found.count == 1) found.start = start, found.end = end, found.entry = k;
    return true;
}

// The separators of a word that some entry may be anchored on, or that lie inside the bytes
// of an abbreviation, decided in order: what is no end leaves s and becomes a byte of its
// buffer. false where abbreviations overlap.
bool ByteCounter::ClassifyWord(const unsigned char* d, qsizetype n, qsizetype i, bool utf8,
                               std::uint64_t looks, std::uint64_t& s, std::uint64_t& other,
                               bool& abbreviated, qsizetype& maskedUntil) const {
    std::uint64_t left = s;
    for (; left; left &= left - 1) {
        const int at = __builtin_ctzll(left);
        const std::uint64_t bit = std::uint64_t(1) << at;
        if (i + at >= maskedUntil && (looks >> at) == 0) break;
        Separator kind = i + at < maskedUntil ? Separator::Inside : Separator::End;
        if (looks & bit) {
            Found found;
            kind = Classify(d, n, i + at, utf8, maskedUntil, found);
        }
        if (kind == Separator::Clash) return false;
        if (kind == Separator::End) {
            abbreviated = false;
            continue;
        }
        s &= ~bit;
        if (kind == Separator::Abbreviation) other |= bit, abbreviated = true;
    }
    if (left != 0) abbreviated = false;
    return true;
}

[[gnu::always_inline]] inline bool ByteCounter::CountWord(const unsigned char* d, qsizetype n,
                                                          qsizetype i, bool utf8,
                                                          const detail::WordMasks& m,
                                                          WordRun& run) const {
    const std::uint64_t looks = m.anchors & (m.priors << 1 | run.priorTop);
    run.priorTop = m.priors >> 63;
    std::uint64_t s = m.wanted, other = m.other;
    bool abbreviated = run.marker && s == 0;
    // Most words hold no separator an entry may be anchored on: no branch taken on them.
    if ((looks | std::uint64_t(run.maskedUntil > i)) != 0) [[unlikely]] {
        // Through copies, so that the run itself can stay in registers.
        abbreviated = run.marker;
        qsizetype maskedUntil = run.maskedUntil;
        if (!ClassifyWord(d, n, i, utf8, looks, s, other, abbreviated, maskedUntil)) return false;
        run.maskedUntil = maskedUntil;
    }
    // Without a branch on the text: a carry set by each byte other than a space runs up to
    // the separator after it, so the line breaks and tabs it lands on are those with more
    // than spaces (or an abbreviation) before them.
    const std::uint64_t breaks = s & m.breaks;
    std::uint64_t landed = 0;
    const bool over = __builtin_add_overflow(~s, other & ~s, &landed);
    const bool onward =
        __builtin_add_overflow(landed, std::uint64_t(run.otherSince || run.marker), &landed);
    const std::uint64_t yields = (s & ~breaks) | (landed & breaks);
    run.closed += detail::Popcount(yields);
    run.otherSince = over || onward;
    run.marker = abbreviated;
    run.last = s != 0 ? i + 63 - __builtin_clzll(s | 1) : run.last;
    return true;
}

#if defined(__x86_64__)
// Words from i on, most of whose separators are ends that yield: all but line breaks and tabs
// (which yield where the nearest byte before them other than a space or CR is no end) and
// those an entry may be anchored on (which Classify decides). Those are looked at one by one,
// in order, and the run is put together again where the words stop. Returns where they stop,
// or where a letter that folds into an entry's is.
template <bool groups>
__attribute__((target("avx2,popcnt,bmi,bmi2"))) qsizetype ByteCounter::CountSparseAvx2(
    const unsigned char* d, qsizetype n, qsizetype i, bool utf8, bool leads, WordRun& run,
    bool& folding) const {
    const detail::WordConstsAvx2 c = detail::MakeWordConstsAvx2(search_);
    const auto foldsIn = [&](std::uint64_t m, qsizetype at) {
        for (; m; m &= m - 1)
            if (detail::FoldingLeadAt(d, n, at + __builtin_ctzll(m))) return true;
        return false;
    };
    // An abbreviation reaching into the first words: those word by word.
    for (; run.maskedUntil > i && i + 64 <= n; i += 64) {
        const detail::WordMasks m = detail::WordMaskAvx2(d + i, c, leads);
        if (leads && foldsIn(m.leads, i)) return folding = true, i;
        if (!CountWord(d, n, i, utf8, m, run)) return run.clash = true, i;
    }
    const qsizetype from = i, stop = i + (n - i) / 64 * 64;
    const WordRun entry = run;
    const auto blank = [](unsigned char b) { return b == ' ' || b == kCr; };
    const auto plain = [this](unsigned char b) { return separator_[b] && b != '\n' && b != '\t'; };
    // The latest abbreviation from `from` on.
    bool anySpan = false;
    qsizetype spanStart = 0, spanEnd = 0;
    qsizetype maskedUntil = run.maskedUntil;
    std::int64_t closed = run.closed;
    std::uint64_t priorTop = run.priorTop;
    qsizetype sepBefore = -1;  // the last separator before the word, from `from` on
    // The words of a block are looked at first, in vectors and without a branch; the few
    // with something to decide then one by one. A branch per word would be mispredicted on
    // a fifth of them in prose, and a call amid the vectors would spill their constants.
    struct Pending {
        qsizetype at;
        std::uint64_t events, leads;
    };
    constexpr qsizetype kBlockWords = 64;
    Pending pending[kBlockWords];
    while (i < stop) {
        const qsizetype blockEnd = std::min(stop, i + 64 * kBlockWords);
        int count = 0;
        for (; i < blockEnd; i += 64) {
            // Where the bytes around it can be read, an anchor is looked at only where its
            // neighbours may be some entry's.
            const bool inside = groups && i >= 2 && i + 64 < n;
            const detail::SparseMasks m = detail::SparseMaskAvx2(d + i, c, leads, inside);
            closed += __builtin_popcountll(m.plain);
            std::uint64_t looks = m.anchors;
            if (inside) {
                looks &= m.allowed;
            } else if (!groups) {
                looks &= m.priors << 1 | priorTop;
                priorTop = m.priors >> 63;
            }
            const std::uint64_t events = looks | m.breaks | m.leads;
            const std::uint64_t separators = m.plain | m.breaks;
            // A conditional move: a branch would be mispredicted on every other word, and
            // the compiler turns any other spelling back into one.
            const qsizetype top = i + 63 - __builtin_clzll(separators | 1);
            asm("test %[s], %[s]\n\tcmovne %[t], %[r]"
                : [r] "+r"(sepBefore)
                : [s] "r"(separators), [t] "r"(top)
                : "cc");
            pending[count] = {i, events, m.leads};
            count += events != 0;
        }
        for (int w = 0; w < count; ++w) {
            const qsizetype at = pending[w].at;
            if (leads && foldsIn(pending[w].leads, at)) return folding = true, at;
            for (std::uint64_t events = pending[w].events & ~pending[w].leads; events;
                 events &= events - 1) {
                const qsizetype q = at + __builtin_ctzll(events);
                if (d[q] == '\n' || d[q] == '\t') {
                    if (q < maskedUntil) continue;  // inside an abbreviation
                    qsizetype p = q - 1;
                    while (p >= from && blank(d[p])) --p;
                    if (p < from)
                        closed += entry.otherSince || entry.marker;
                    else
                        closed += !separator_[d[p]] || (anySpan && p >= spanStart && p < spanEnd);
                    continue;
                }
                Found found;
                const Separator kind = Classify(d, n, q, utf8, maskedUntil, found);
                if (kind == Separator::Clash) return run.clash = true, at;
                if (kind != Separator::Abbreviation) continue;
                // Its separators were counted as ends, where words are counted here; the
                // bytes it matched between them are letters, spaces, breaks and CRs.
                if (found.end <= stop)
                    closed -= entries_[std::size_t(found.entry)].plainsOn;
                else
                    for (qsizetype p = q; p < stop; ++p) closed -= plain(d[p]);
                anySpan = true, spanStart = found.start, spanEnd = found.end;
            }
        }
    }
    // The run where the words stop, for the bytes after them: whether an abbreviation came
    // after the last end, and where that end is (looked at only where none came).
    run.closed = closed;
    run.maskedUntil = maskedUntil;
    run.priorTop = groups && stop > from ? search_.prior[d[stop - 1]] : priorTop;
    if (anySpan && sepBefore < spanEnd)
        run.last = sepBefore, run.marker = true;
    else if (sepBefore >= from)
        run.last = sepBefore, run.marker = false;
    else
        run.last = entry.last, run.marker = entry.marker;
    return stop;
}
#endif

bool ByteCounter::CountFast(const unsigned char* d, qsizetype n, bool utf8, std::int64_t& sentences,
                            Lone& lone, bool* dependent, bool* folding) const {
    WordRun run;
    qsizetype& last = run.last;  // the separator that closed the last buffer; -1: none here yet
    bool& marker = run.marker;   // the open buffer holds an abbreviation
    qsizetype& maskedUntil = run.maskedUntil;
    bool& clash = run.clash;
    std::int64_t& closed = run.closed;
    const bool anyEntries = !entries_.empty();
    // The letters that fold are looked for with the separators: the masks mark their leads
    // whenever an entry holds an s or a k, the only case that asks.
    const bool leadsInWords = folding != nullptr;
    Q_ASSERT(!folding || search_.leads);
    const auto visit = [&](qsizetype q) {
        if (clash) return;
        if (anyEntries) {
            Found found;
            switch (Classify(d, n, q, utf8, maskedUntil, found)) {
                case Separator::Clash:
                    clash = true;
                    return;
                case Separator::Inside:
                    return;
                case Separator::Abbreviation:
                    marker = true;
                    return;
                case Separator::End:
                    break;
            }
        }
        bool yields = true;
        const unsigned char c = d[q];
        if (!marker && (c == '\n' || c == '\t' || c == ' ')) {
            const Lone state =
                detail::ScanCarry::After(last < 0 ? lone : Lone::Blank, d + last + 1, q - last);
            yields = state != Lone::OneBreak;
            // Whether the buffer before this stretch could change that.
            if (last < 0 && dependent)
                *dependent = detail::ScanCarry::After(Lone::Blank, d, q + 1) != Lone::Other;
        }
        closed += yields;
        last = q;
        marker = false;
    };
    qsizetype i = 0;
    // A word of 64 bytes at a time once a separator has ended a buffer here: each end yields
    // but a line break or tab with nothing but spaces since the one before. (A space that
    // separates can hold the state of a line break.)
    if (!separator_[' '] && separatorBytes_.size() <= 8) {
#if defined(__x86_64__)
        const bool fused = sparse_ && detail::ActiveKernel() == Kernel::Avx2;
#else
        constexpr bool fused = false;
#endif
        constexpr qsizetype kWords = 64;
        detail::WordMasks masks[kWords];
        while (i + 64 <= n && !clash) {
#if defined(__x86_64__)
            if (fused && last >= 0) {
                bool folded = false;
                i = search_.groups
                        ? CountSparseAvx2<true>(d, n, i, utf8, leadsInWords, run, folded)
                        : CountSparseAvx2<false>(d, n, i, utf8, leadsInWords, run, folded);
                if (folded) return *folding = true, false;
                break;
            }
#endif
            // In registers once the first end is found: the word before it alone here.
            const qsizetype words = fused ? 1 : std::min(kWords, (n - i) / 64);
            detail::FillWordMasks(d + i, words, search_, masks);
            for (qsizetype w = 0; w < words && !clash; ++w, i += 64) {
                if (leadsInWords)
                    for (std::uint64_t m = masks[w].leads; m; m &= m - 1)
                        if (detail::FoldingLeadAt(d, n, i + __builtin_ctzll(m)))
                            return *folding = true, false;
                if (last >= 0) {
                    if (!CountWord(d, n, i, utf8, masks[w], run)) clash = true;
                    continue;
                }
                // Before the first end here the buffer's start lies before this piece.
                run.priorTop = masks[w].priors >> 63;
                const std::uint64_t other = masks[w].other;
                for (std::uint64_t m = masks[w].wanted; m; m &= m - 1)
                    visit(i + __builtin_ctzll(m));
                if (last >= i) {
                    const int at = int(last - i);
                    run.otherSince = at < 63 && (other >> (at + 1)) != 0;
                } else {
                    run.otherSince = run.otherSince || other != 0;
                }
            }
        }
    }
    if (!clash && leadsInWords && detail::FindFoldingLead(d + i, n - i) < n - i)
        return *folding = true, false;
    if (!clash)
        ForEachByte(d + i, n - i, separatorBytes_, separator_, [&](qsizetype q) { visit(i + q); });
    if (clash) return false;
    // The buffer open at the end.
    lone = marker ? Lone::Other
                  : detail::ScanCarry::After(last < 0 ? lone : Lone::Blank, d + last + 1,
                                             n - last - 1);
    if (last < 0 && !marker && dependent)
        *dependent = *dependent || detail::ScanCarry::After(Lone::Blank, d, n) != Lone::Other;
    sentences += closed;
    return true;
}

void ByteCounter::CountBySplitter(const unsigned char* d, qsizetype n, bool utf8) {
    // One unit a byte, but for the two letters beyond ASCII that fold into it.
    QString text(n, Qt::Uninitialized);
    auto* w = reinterpret_cast<char16_t*>(text.data());
    char16_t* const begin = w;
    for (qsizetype i = 0; i < n;) {
        if (utf8 && i + 1 < n && d[i] == 0xC5 && d[i + 1] == 0xBF) {
            *w++ = 0x017F, i += 2;
        } else if (utf8 && i + 2 < n && d[i] == 0xE2 && d[i + 1] == 0x84 && d[i + 2] == 0xAA) {
            *w++ = 0x212A, i += 3;
        } else {
            *w++ = d[i++];
        }
    }
    text.truncate(w - begin);
    // Counting hands out no sentence.
    struct Nowhere : SentenceReceiver {
        void Sentence(QStringView, std::int64_t, std::int64_t) override {}
    } nowhere;
    detail::StepOptions options;
    options.countOnly = true;
    // Made ready once: a long list would cost more than the stretch.
    if (!prepared_) prepared_ = detail::PrepareList(abbreviations_, hashedAbove_);
    detail::ScanStep(detail::MaskAbbreviations(text, abbreviations_, *prepared_), separators_,
                     options, carry_, detail::StretchPlace(), nowhere);
}

}  // namespace brintale
