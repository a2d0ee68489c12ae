#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>
#include <QStringView>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/splitter/byte_search.h"
#include "core/splitter/splitter_detail.h"

namespace brintale {

template <typename Item>
class OrderedWorkQueue;

// The count of the splitter straight from the bytes of a text, a piece at a time, without
// decoding it: for texts in a single-byte encoding (the count of the text decoded as
// Windows-1252 or Latin-1) or in UTF-8 (the count of the text decoded as UTF-8, when told
// so with ReadAsUtf8, since U+017F and U+212A fold into the ASCII letters s and k).
//
// It applies to the common case, which For() checks: separators and abbreviations in ASCII,
// no separator a letter, digit or underscore (which would cut markers), and either every
// abbreviation holding a separator or none (nor one of spaces and line breaks alone) doing
// so, none able to match across another's marker. Where abbreviations overlap in the text,
// that stretch is counted by the splitter itself. Memory does not grow with the text.
class ByteCounter {
  public:
    // nullptr when the separators and abbreviations are not of that kind. Bytes held
    // beyond heldBeforeLooking with no byte outside the abbreviations are cut where none can
    // straddle the cut. Lists of more than hashedAbove entries are looked up by hash.
    static std::unique_ptr<ByteCounter> For(QStringView separators,
                                            const QStringList& abbreviations,
                                            qsizetype heldBeforeLooking = qsizetype(1) << 16,
                                            std::size_t hashedAbove = detail::kHashedEntries);

    ~ByteCounter();
    ByteCounter(const ByteCounter&) = delete;
    ByteCounter& operator=(const ByteCounter&) = delete;

    // Counts the pieces on so many threads of its own besides the caller's, which reads;
    // fewer where the system starts fewer, and on the caller's alone where it starts none.
    void UseCores(int threads);

    // Feed throws Failure once more than `bytes` come with no place to cut; 0: no limit.
    void LimitHeld(qsizetype bytes) { heldLimit_ = bytes; }

    // From now on (and for the bytes still held), C5 BF is U+017F and E2 84 AA is U+212A.
    void ReadAsUtf8();
    void Feed(QByteArrayView bytes);
    // The same for a whole buffer, which the counter may keep while other threads count it;
    // Buffer gives one to read into, one used before where there is one.
    void Feed(QByteArray&& buffer);
    QByteArray Buffer(qsizetype size);
    // The bytes of a source from `from` to the first read that comes short, pieces of `piece`
    // bytes each read by readAt on the thread that counts it (on this one without threads of
    // its own), no reader in the way. decide is asked, at the first letter
    // beyond ASCII that folds into an entry's, whether the text is to be read as UTF-8.
    // With threads of its own and the source's size (-1: not known) large enough, ranges of
    // it are counted on a thread of its own and this one, each taking the next in turn.
    // Throws what readAt and decide throw.
    using ReadAt = std::function<qsizetype(std::int64_t offset, char* buffer, qsizetype size)>;
    void FeedFrom(const ReadAt& readAt, std::int64_t from, qsizetype piece,
                  const std::function<bool()>& decide, std::int64_t size = -1);
    // The count of the whole text; the buffer still open is no sentence.
    std::int64_t Finish();

    // Bytes kept between two pieces: those after the last byte no abbreviation holds.
    qsizetype held() const { return held_.size(); }

    // Whether a text may be cut into ranges counted (or split) apart just after byte b: it
    // is no separator, space, line break or byte of an entry (in either case), so the buffer
    // open there holds something whatever came before, and no abbreviation reaches across.
    bool CutsAfter(unsigned char b) const {
        return b > ' ' && b < 0x7F && !separator_[b] && !inEntries_[b];
    }

  private:
    // Prints sentences by the same rules and the same search.
    friend class ByteSplitter;

    struct Entry {
        std::string folded;    // ASCII, lower case
        std::string spelling;  // as the list has it
        int anchor = 0;        // the offset of its first separator
        int plainsOn = 0;      // separators from the anchor on but line breaks and tabs
        // Entries of up to 8 bytes compared as one word: the folded bytes, the case bit of
        // each letter, and the bytes the entry spans.
        std::uint64_t word = 0, letters = 0, span = 0;
    };
    struct Found {
        int count = 0;
        qsizetype start = 0, end = 0;
        int entry = -1;  // the first that matched
    };

    // A piece counted on another core, on its own as if the buffer open before it held
    // something other than spaces and breaks.
    struct Chunk;
    // For long lists: the entries by their units before and after the anchor, hashed, so that
    // a separator costs a few look-ups whatever the list's length.
    struct Hashed;
    static std::uint64_t Key(std::uint64_t a, std::uint64_t b);
    // The unit (folded) that ends before `at` or starts at it, carriage returns skipped, and
    // where the next one is; false at the text's end or a byte no entry holds.
    bool UnitBack(const unsigned char* d, qsizetype& at, bool utf8, unsigned char& unit) const;
    bool UnitForward(const unsigned char* d, qsizetype n, qsizetype& at, bool utf8,
                     unsigned char& unit) const;
    Found FindHashed(const unsigned char* d, qsizetype n, qsizetype q, bool utf8) const;

    ByteCounter() = default;
    // Counts the stretch d[0, n), cut after a byte no abbreviation holds (or the text's end).
    void Count(const unsigned char* d, qsizetype n);
    void CountHere(const unsigned char* d, qsizetype n, bool utf8);
    void Hand(QByteArray&& bytes, qsizetype from, qsizetype to);
    void ApplyCounted(bool all);
    void Apply(Chunk& chunk);
    // For FeedFrom: on the counting thread, and then in order on this one.
    void ReadPiece(Chunk& chunk) const;
    // For FeedFrom: this thread from `from` to the end or `to`, piece by piece, counted here;
    // false where the text ended before `to`.
    // reused, where given, is the buffer to read into.
    bool ReadHere(const ReadAt& readAt, std::int64_t from, std::int64_t to, qsizetype piece,
                  QByteArray* reused = nullptr);
    // For FeedFrom, with the source's size: ranges counted on this thread and one more.
    bool FeedInRanges(const ReadAt& readAt, std::int64_t from, qsizetype piece, std::int64_t size);
    // What a reading sets (decide kept by address), and takes back when it ends.
    void StartReading(const std::function<bool()>& decide);
    void EndReading();
    void ApplyRead(Chunk& chunk);
    void Recycle(QByteArray&& bytes, std::size_t keep);
    // Counts d[0, n) from the open buffer's state `lone`; false where abbreviations overlap.
    // dependent (optional) tells whether the result would differ for another state. folding
    // (optional) is set where d holds U+017F or U+212A in UTF-8, the count then left halfway.
    bool CountFast(const unsigned char* d, qsizetype n, bool utf8, std::int64_t& sentences,
                   detail::ScanCarry::Lone& lone, bool* dependent, bool* folding = nullptr) const;
    // What CountFast carries from one word of 64 bytes to the next.
    struct WordRun {
        std::int64_t closed = 0;
        qsizetype last = -1;  // the separator that closed the last buffer; -1: none yet
        qsizetype maskedUntil = 0;
        bool marker = false;      // the open buffer holds an abbreviation
        bool otherSince = false;  // a byte other than a space or CR after `last`
        bool clash = false;
        std::uint64_t priorTop = 1;  // the byte before the word may stand before an anchor
    };
    bool ClassifyWord(const unsigned char* d, qsizetype n, qsizetype i, bool utf8,
                      std::uint64_t looks, std::uint64_t& s, std::uint64_t& other,
                      bool& abbreviated, qsizetype& maskedUntil) const;
    // One word once a buffer has ended in the stretch; false where abbreviations overlap.
    bool CountWord(const unsigned char* d, qsizetype n, qsizetype i, bool utf8,
                   const detail::WordMasks& m, WordRun& run) const;
    // groups: search_.groups.
    template <bool groups>
    qsizetype CountSparseAvx2(const unsigned char* d, qsizetype n, qsizetype i, bool utf8,
                              bool leads, WordRun& run, bool& folding) const;
    void CountBySplitter(const unsigned char* d, qsizetype n, bool utf8);
    Found FindAt(const unsigned char* d, qsizetype n, qsizetype q, bool utf8) const;
    // What the separator d[q] is, the abbreviation before it reaching to maskedUntil:
    // inside that abbreviation, the end of another (found, which then masks up to its end),
    // a sentence's end, or a clash of abbreviations that overlap, left to the splitter,
    // which knows whose turn comes first.
    enum class Separator { End, Inside, Abbreviation, Clash };
    Separator Classify(const unsigned char* d, qsizetype n, qsizetype q, bool utf8,
                       qsizetype& maskedUntil, Found& found) const {
        // Most separators follow a byte no abbreviation has before that separator: decided
        // here, inline, as every separator of the text asks.
        if (!MayEndAt(d, n, q)) return q < maskedUntil ? Separator::Inside : Separator::End;
        found = FindQuick(d, n, q, utf8);
        return Resolve(found, q, maskedUntil);
    }
    // What the separator d[q] is, given the entries anchored on it.
    static Separator Resolve(const Found& found, qsizetype q, qsizetype& maskedUntil) {
        if (q < maskedUntil) return found.count > 0 ? Separator::Clash : Separator::Inside;
        if (found.count > 1 || (found.count == 1 && found.start < maskedUntil))
            return Separator::Clash;
        if (found.count == 0) return Separator::End;
        maskedUntil = found.end;
        return Separator::Abbreviation;
    }
    // FindAt, inline where the entries are compared as words and the bytes around q are ASCII
    // as most texts' are: an abbreviation found is most of the cost of a count.
    Found FindQuick(const unsigned char* d, qsizetype n, qsizetype q, bool utf8) const {
        const int slot = anchorSlot_[d[q]];
        if (slot == 0 || quick_.empty() || q < 7 || q + 8 > n || d[q - 1] == kCarriageReturn ||
            d[q - 1] >= 0x80) [[unlikely]]
            return FindAt(d, n, q, utf8);
        const unsigned char prior = d[q - 1];
        const unsigned char before = prior >= 'A' && prior <= 'Z' ? prior + ('a' - 'A') : prior;
        const QuickBucket& bucket = quick_[std::size_t(slot - 1)][before];
        Found found;
        for (int j = 0; j < bucket.count; ++j) {
            const QuickEntry& e = bucket.entries[std::size_t(j)];
            std::uint64_t x = 0;
            std::memcpy(&x, d + q - e.anchor, 8);
            if constexpr (std::endian::native == std::endian::big) x = __builtin_bswap64(x);
            const int match = MatchWord(x & e.span, e.word, e.letters, e.span);
            if (match < 0) [[unlikely]]
                return FindAt(d, n, q, utf8);
            if (match == 0) continue;
            if (++found.count == 1)
                found.start = q - e.anchor, found.end = found.start + e.length, found.entry = e.k;
            if (found.count > 1) return found;
        }
        return found;
    }
    // The bytes x where an entry compared as a word would stand (its span kept): 1 where they
    // are the entry's, 0 where not, -1 where a carriage return or a byte beyond ASCII among
    // them asks for the look unit by unit.
    static int MatchWord(std::uint64_t x, std::uint64_t word, std::uint64_t letters,
                         std::uint64_t span) {
        // An upper-case letter differs from its lower case by that bit alone.
        if ((x | letters) == word) return 1;
        constexpr std::uint64_t kLow = 0x0101010101010101, kHigh = 0x8080808080808080;
        // A carriage return is a byte the xor makes zero.
        const std::uint64_t cr = x ^ (kLow * kCarriageReturn);
        return (x & kHigh) != 0 || (((cr - kLow) & ~cr & kHigh) & span) != 0 ? -1 : 0;
    }
    // Whether some entry may have its anchor at the separator d[q], by the bytes around it:
    // most separators need no look at the entries.
    bool MayEndAt(const unsigned char* d, qsizetype n, qsizetype q) const {
        const int slot = anchorSlot_[d[q]];
        if (slot == 0) return false;
        if (q == 0) return true;
        const auto& pairs = pairs_[std::size_t(slot - 1)];
        const std::size_t prior = d[q - 1];
        const std::uint64_t priorBit = pairs.prior[prior >> 6] >> (prior & 63);
        if (q < 2 || q + 1 >= n) return priorBit & 1;
        // The three looked up at once: a branch on each would be mispredicted as often
        // as text ends in a letter some entry has before its separator.
        const std::size_t around = prior << 8 | d[q + 1];
        const std::size_t before = std::size_t(d[q - 2]) << 8 | prior;
        return (priorBit & pairs.around[around >> 6] >> (around & 63) &
                pairs.before[before >> 6] >> (before & 63) & 1) != 0;
    }
    bool Verify(const unsigned char* d, qsizetype n, qsizetype q, int k, bool utf8,
                Found& found) const;
    bool MatchesBack(const unsigned char* d, qsizetype at, char unit, bool utf8,
                     qsizetype& next) const;
    bool MatchesForward(const unsigned char* d, qsizetype n, qsizetype at, char unit, bool utf8,
                        qsizetype& next) const;
    qsizetype LastCut(const unsigned char* d, qsizetype n) const;
    // The bytes no cut may follow: while the reading is open, those of either reading.
    const std::array<bool, 256>& Uncut() const { return lookForFolding_ ? uncut_ : inEntries_; }
    // The reading, asked of decide_ at the first letter that folds into an entry's.
    void Decide();
    void CutHeld();
    void AllowPairs(const Entry& e);

    QString separators_;
    QStringList abbreviations_;
    std::array<bool, 256> separator_{};
    std::array<bool, 256> inEntries_{};  // bytes some abbreviation may match, and CR
    std::string separatorBytes_;
    std::vector<Entry> entries_;
    // Entries by the byte of their anchor and the folded byte before it (256: none before).
    std::array<std::vector<int>, 256> anchoredOn_;
    std::vector<std::array<std::vector<int>, 257>> byBefore_;
    std::array<int, 256> anchorSlot_{};  // index into byBefore_ + 1, 0: anchors nothing
    // By anchor slot, bits of the bytes and byte pairs an entry anchored there allows: the
    // byte before the anchor, that and the one after it, and the two before it.
    struct AnchorPairs {
        std::array<std::uint64_t, 4> prior{};
        std::array<std::uint64_t, 1024> around{}, before{};
    };
    std::vector<AnchorPairs> pairs_;
    // By anchor slot and the folded byte before the anchor, the entries FindAt would look at,
    // in its order; none where an entry is longer than a word or a bucket too long.
    struct QuickEntry {
        std::uint64_t word = 0, letters = 0, span = 0;
        int anchor = 0, length = 0, k = 0;
    };
    struct QuickBucket {
        int count = 0;
        std::array<QuickEntry, 4> entries{};
    };
    static constexpr unsigned char kCarriageReturn = '\r';
    std::vector<std::array<QuickBucket, 256>> quick_;
    detail::WordSearch search_;  // for a count a word at a time
    std::unique_ptr<Hashed> hashed_;
    std::shared_ptr<const detail::PreparedList> prepared_;  // for the splitter, when needed
    std::size_t hashedAbove_ = detail::kHashedEntries;
    bool foldsBeyondAscii_ = false;  // some entry holds an s or a k
    // No entry is anchored on a line break or tab: a count may look at those on their own.
    bool sparse_ = true;
    bool utf8_ = false;
    bool decided_ = false;  // the reading is known
    // While FeedFrom reads: how, the bytes no cut may follow (those of either reading), and
    // whether pieces are to be searched for letters that fold into an entry's.
    const ReadAt* reading_ = nullptr;
    const std::function<bool()>* decide_ = nullptr;
    std::array<bool, 256> uncut_{};
    bool lookForFolding_ = false;
    bool ended_ = false;
    std::exception_ptr failure_;
    qsizetype heldBeforeLooking_ = 0;
    qsizetype heldLimit_ = detail::kHeldLimit;
    QByteArray held_;
    detail::ScanCarry carry_;                        // the buffer open and the count so far
    std::unique_ptr<OrderedWorkQueue<Chunk>> pool_;  // the other cores, with UseCores
    std::vector<QByteArray> spare_;                  // buffers of chunks counted
};

}  // namespace brintale
