#include "cli/text_feeder.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "core/splitter/byte_search.h"

namespace brintale::cli {

namespace {

bool IsAscii(const QString& text) {
    for (QChar c : text)
        if (c.unicode() >= 0x80) return false;
    return true;
}

// Where the first byte of the block lies that asks for the reading to be decided; -1 for
// none. A sequence cut off by the block's end counts as there.
qsizetype TriggerAt(QByteArrayView block, Trigger trigger) {
    const auto* b = reinterpret_cast<const unsigned char*>(block.data());
    const qsizetype n = block.size();
    switch (trigger) {
        case Trigger::None:
            return -1;
        case Trigger::AnyNonAscii: {
            const qsizetype at = AsciiPrefix(block);
            return at < n ? at : -1;
        }
        case Trigger::LongSOrKelvin: {
            const qsizetype at = detail::FindFoldingLead(b, n);
            return at < n ? at : -1;
        }
    }
    return -1;
}

// The bytes of a text without a UTF-16 mark, to the target: see TextReader.
class TextFeeder {
  public:
    TextFeeder(ByteSource& source, std::int64_t offset, Trigger trigger, const Tuning& tuning,
               TextTarget& target)
        : source_(source),
          offset_(offset),
          base_(offset),
          trigger_(trigger),
          tuning_(tuning),
          target_(target),
          // A file is checked when a trigger comes, a pipe all along.
          checking_(trigger != Trigger::None && !source.CanReadAhead()) {}

    void Feed(QByteArrayView block);
    // A whole block that the target may keep: as it is where nothing in it needs a look.
    void FeedWhole(QByteArray&& block);
    void Finish();

  private:
    enum class State { Undecided, Holding, Decided };

    // Whether the letter that folds into ASCII, which TriggerAt takes for one where the block
    // cuts it off, turns out to be none in the bytes that follow (a file can tell at once).
    bool CutOffFalsely(QByteArrayView block, qsizetype at, std::int64_t blockOffset);
    // Bytes on: in the reading decided, else as Windows-1252, which reads every byte
    // before the trigger as any reading would for this count.
    void Pass(QByteArrayView bytes);
    void Decide(TextEncoding encoding, QByteArrayView rest);

    ByteSource& source_;
    std::int64_t offset_;  // of the next byte in the source
    std::int64_t base_;    // of the first byte fed
    Trigger trigger_;
    const Tuning& tuning_;
    TextTarget& target_;
    State state_ = State::Undecided;
    bool checking_;  // the validator still has to see every byte
    Utf8Validator validator_;
    bool committed_ = false;
    QByteArray held_;
    std::optional<StreamDecoder> decoder_;
};

}  // namespace

Trigger TriggerFor(const CountSettings& settings) {
    if (!settings.countOnly || !IsAscii(settings.separators)) return Trigger::AnyNonAscii;
    bool foldsFromBeyond = false;
    for (const QString& entry : settings.abbreviations) {
        if (!IsAscii(entry)) return Trigger::AnyNonAscii;
        foldsFromBeyond = foldsFromBeyond || entry.contains(u's', Qt::CaseInsensitive) ||
                          entry.contains(u'k', Qt::CaseInsensitive);
    }
    return foldsFromBeyond ? Trigger::LongSOrKelvin : Trigger::None;
}

void TextFeeder::Feed(QByteArrayView block) {
    const std::int64_t blockOffset = offset_;
    offset_ += block.size();
    if (checking_ && !validator_.Feed(block) && committed_)
        throw ReadError{QStringLiteral("%1: not UTF-8 at byte %2 (a pipe is taken for UTF-8 "
                                       "after its first %3 bytes beyond ASCII; read it "
                                       "from a file to have it read as Windows-1252)")
                            .arg(source_.name())
                            .arg(validator_.validBytes() + base_)
                            .arg(tuning_.holdBytes)};
    switch (state_) {
        case State::Undecided: {
            const qsizetype at = TriggerAt(block, trigger_);
            if (at < 0 || CutOffFalsely(block, at, blockOffset)) return Pass(block);
            Pass(block.first(at));
            if (!validator_.valid()) return Decide(TextEncoding::Windows1252, block.sliced(at));
            if (source_.CanReadAhead()) {
                // Before the first byte beyond ASCII all is ASCII; before the first
                // letter that folds into it, not so.
                const Utf8Validator rest =
                    source_.ValidateFrom(trigger_ == Trigger::AnyNonAscii ? blockOffset : base_,
                                         Utf8Validator(), tuning_.blockBytes);
                // Decided for the whole input: nothing needs checking any more.
                checking_ = false;
                return Decide(ReadingWithoutMark(rest.Finish()), block.sliced(at));
            }
            state_ = State::Holding;
            held_ = block.sliced(at).toByteArray();
            return;
        }
        case State::Holding:
            held_ += block;
            if (!validator_.valid()) return Decide(TextEncoding::Windows1252, {});
            if (held_.size() >= tuning_.holdBytes) {
                committed_ = true;
                return Decide(TextEncoding::Utf8, {});
            }
            return;
        case State::Decided:
            return Pass(block);
    }
}

void TextFeeder::FeedWhole(QByteArray&& block) {
    if (checking_ || state_ == State::Holding ||
        (state_ == State::Undecided && TriggerAt(block, trigger_) >= 0))
        return Feed(block);
    offset_ += block.size();
    if (!block.isEmpty()) target_.TakeWhole(std::move(block), decoder_ ? &*decoder_ : nullptr);
}

void TextFeeder::Finish() {
    if (state_ == State::Holding) Decide(ReadingWithoutMark(validator_.Finish()), {});
    if (committed_ && !validator_.Finish())
        throw ReadError{QStringLiteral("%1: not UTF-8 at its end").arg(source_.name())};
    target_.End(decoder_ ? &*decoder_ : nullptr);
}

bool TextFeeder::CutOffFalsely(QByteArrayView block, qsizetype at, std::int64_t blockOffset) {
    const qsizetype have = block.size() - at;
    const qsizetype need = static_cast<unsigned char>(block[at]) == 0xC5 ? 2 : 3;
    if (trigger_ != Trigger::LongSOrKelvin || have >= need || !source_.CanReadAhead()) return false;
    QByteArray whole = block.sliced(at).toByteArray() + QByteArray(need - have, '\0');
    const qsizetype got =
        source_.ReadAt(blockOffset + block.size(), whole.data() + have, need - have);
    whole.truncate(have + got);
    return got == need - have && TriggerAt(whole, trigger_) < 0;
}

void TextFeeder::Pass(QByteArrayView bytes) {
    if (!bytes.isEmpty()) target_.Take(bytes, decoder_ ? &*decoder_ : nullptr);
}

void TextFeeder::Decide(TextEncoding encoding, QByteArrayView rest) {
    state_ = State::Decided;
    decoder_.emplace(encoding);
    target_.Decided(encoding);
    if (encoding == TextEncoding::Windows1252) checking_ = false;
    if (!held_.isEmpty()) {
        const QByteArray held = std::exchange(held_, QByteArray());
        Pass(held);
    }
    Pass(rest);
}

TextReader::TextReader(ByteSource& source, const Tuning& tuning)
    : source_(source),
      tuning_(tuning),
      // Only the mark is needed before a count begins, and a count that reads its own
      // pieces never uses this block: each page of a whole one would be faulted in for it.
      block_(std::clamp<qsizetype>(tuning.blockBytes, kByteOrderMarkBytes, kFirstReadBytes),
             Qt::Uninitialized) {
    for (qsizetype got = 1; have_ < kByteOrderMarkBytes && got > 0; have_ += got)
        got = source_.Read(block_.data() + have_, block_.size() - have_);
    mark_ = ReadByteOrderMark(QByteArrayView(block_.constData(), have_));
}

void TextReader::WholeBlock() {
    block_.resize(std::max<qsizetype>(tuning_.blockBytes, kByteOrderMarkBytes));
}

void TextReader::ReadInto(TextTarget& target, Trigger trigger) {
    // An empty file is no text, whatever the window shows for one.
    if (empty()) return;
    const QByteArrayView first(block_.constData() + mark_.length, have_ - mark_.length);
    if (mark_.encoding) {
        StreamDecoder decoder(*mark_.encoding);
        target.Decided(*mark_.encoding);
        for (QByteArrayView next = first;;) {
            if (!next.isEmpty()) target.Take(next, &decoder);
            WholeBlock();
            const qsizetype got = source_.Read(block_.data(), block_.size());
            if (got == 0) break;
            next = QByteArrayView(block_.constData(), got);
        }
        target.End(&decoder);
        return;
    }
    TextFeeder feeder(source_, mark_.length, trigger, tuning_, target);
    feeder.Feed(first);
    for (;;) {
        QByteArray buffer = target.Buffer(tuning_.blockBytes);
        if (buffer.isEmpty()) break;
        const qsizetype got = source_.Read(buffer.data(), buffer.size());
        if (got == 0) return feeder.Finish();
        buffer.truncate(got);
        feeder.FeedWhole(std::move(buffer));
    }
    WholeBlock();
    for (qsizetype got; (got = source_.Read(block_.data(), block_.size())) > 0;)
        feeder.Feed(QByteArrayView(block_.constData(), got));
    feeder.Finish();
}

}  // namespace brintale::cli
