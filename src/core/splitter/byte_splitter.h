#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>
#include <QStringView>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/splitter/byte_counter.h"
#include "core/splitter/splitter_detail.h"

namespace brintale {

// Handed the sentences of a ByteSplitter in UTF-8, each lent until the call returns.
class ByteSentenceReceiver {
  public:
    virtual ~ByteSentenceReceiver() = default;
    virtual void Sentence(QByteArrayView text, std::int64_t start, std::int64_t end) = 0;
    virtual void SentencePart(QByteArrayView) {}
    virtual void AbandonSentence() {}
};

// The sentences of SentenceStream straight from the bytes of a text in UTF-8 or
// Windows-1252, written as UTF-8, without decoding the text into UTF-16: the same sentences,
// stretches (in code points, with codePoints) and count, wherever the pieces are cut. For
// the rules ByteCounter takes whose abbreviations, if any, each hold a separator and neither
// start nor end with a space nor hold a line break or tab. Abbreviations are looked for only
// where a separator is; a stretch where they overlap goes through the splitter itself.
class ByteSplitter {
  public:
    struct Options {
        bool codePoints = false;
        // As SentenceStream's: a sentence that grows to this many units goes out in parts.
        qsizetype partUnits = 0;
        qsizetype heldLimit = detail::kHeldLimit;  // 0: no limit
        qsizetype heldBeforeLooking = qsizetype(1) << 16;
        std::size_t hashedAbove = detail::kHashedEntries;
    };

    // nullptr when the rules are not of that kind.
    static std::unique_ptr<ByteSplitter> For(QStringView separators,
                                             const QStringList& abbreviations,
                                             const Options& options);
    ~ByteSplitter();
    ByteSplitter(const ByteSplitter&) = delete;
    ByteSplitter& operator=(const ByteSplitter&) = delete;

    // From now on (and for the bytes held) the text is UTF-8, else Windows-1252. Every byte
    // before it must be ASCII.
    void ReadAsUtf8();
    // Throws Failure once more than heldLimit bytes come with no place to cut, and what the
    // receiver throws.
    void Feed(QByteArrayView bytes, ByteSentenceReceiver& sink);
    // The end of the text: the buffer still open is no sentence.
    void Finish(ByteSentenceReceiver& sink);

    std::int64_t count() const { return sentences_; }
    bool endedInsideParts() const { return endedInsideParts_; }

    // For a text split in pieces, each cut just after a byte that is no separator, space,
    // line break or byte of an abbreviation (the buffer open there holds something, and no
    // abbreviation reaches across): what a piece leaves open at its end.
    struct Tail {
        QByteArray text;          // as far as it has not gone out in parts
        std::int64_t start = -1;  // in the piece; -1: begun before it
        bool started = false;
        bool parted = false;  // some of it went out in parts
    };
    // Whether a piece may be cut just after byte b.
    bool CutsAfter(unsigned char b) const { return rules_->CutsAfter(b); }
    // Whether an open sentence of this text (UTF-8) goes out in parts.
    static bool GoesInParts(QByteArrayView text, qsizetype partUnits);
    // The bytes from here on continue a sentence begun before the piece: the first sentence
    // to end is reported with start -1.
    void ContinueSentence();
    // The end of a piece: the bytes held are split and what is left open handed back, with
    // the piece's sentences and code points (with codePoints); the splitter is then as new,
    // its reading kept.
    Tail EndPiece(ByteSentenceReceiver& sink, std::int64_t& sentences, std::int64_t& points);

  private:
    struct Mark {
        qsizetype start = 0, end = 0;
        int entry = 0;
    };
    struct End {
        qsizetype at = 0;
        bool worked = false;  // some byte since the end before needs more than a copy
    };
    // The buffer left open, as ScanCarry has it, its text in UTF-8.
    struct Open {
        detail::ScanCarry::Lone lone = detail::ScanCarry::Lone::Blank;
        QByteArray text;
        qsizetype pendingSpaces = 0;
        bool started = false;
        std::int64_t start = -1, end = -1;
        bool parted = false;
    };

    ByteSplitter() = default;
    bool CutAllowed(const unsigned char* d, qsizetype n, qsizetype c) const;
    qsizetype LastCut(const unsigned char* d, qsizetype n) const;
    void CutHeld(ByteSentenceReceiver& sink);
    // A piece that no abbreviation straddles, from where the last ended.
    void Piece(const unsigned char* d, qsizetype n, ByteSentenceReceiver& sink);
    // The buffers the separators end, each handed on as found; from where abbreviations
    // overlap on, the splitter's.
    void Scan(const unsigned char* d, qsizetype n, ByteSentenceReceiver& sink);
    void EmitBuffer(const unsigned char* d, qsizetype from, End stop, std::size_t& mark,
                    ByteSentenceReceiver& sink);
    // Whether the marks [mark, marksEnd) stand in the text as the list spells them.
    bool SpelledAsListed(const unsigned char* d, std::size_t mark, std::size_t marksEnd) const;
    void Append(const unsigned char* d, qsizetype from, qsizetype to, std::size_t& mark);
    void AppendText(const unsigned char* d, qsizetype from, qsizetype to);
    void Close(const unsigned char* d, qsizetype q, ByteSentenceReceiver& sink);
    void BySplitter(const unsigned char* d, qsizetype n, ByteSentenceReceiver& sink);
    // d[from, to) with line breaks and tabs left out, in UTF-8, at the end of out.
    void Spell(const unsigned char* d, qsizetype from, qsizetype to, QByteArray& out) const;
    // The place of byte `at` of the piece in the text, in code points.
    std::int64_t PointAt(const unsigned char*, qsizetype at) const {
        if (!options_.codePoints) return 0;
        if (!pieceWords_) return piecePoint_ + at;
        const detail::ContinuationWord& w = words_[std::size_t(at >> 6)];
        return piecePoint_ + at - w.before -
               detail::Popcount(w.bits & ((std::uint64_t(1) << (at & 63)) - 1));
    }

    std::unique_ptr<ByteCounter> rules_;
    Options options_;
    bool utf8_ = false;
    QByteArray held_;
    std::vector<Mark> marks_;
    Open open_;
    std::int64_t sentences_ = 0;
    std::int64_t piecePoint_ = 0;  // code points before the piece
    // The piece's continuation bytes by word (UTF-8, with codePoints).
    std::vector<detail::ContinuationWord> words_;
    bool pieceWords_ = false;
    QByteArray scratch_;
    bool endedInsideParts_ = false;
    std::shared_ptr<const detail::PreparedList> prepared_;
};

}  // namespace brintale
