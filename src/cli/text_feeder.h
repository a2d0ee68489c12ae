#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <optional>

#include "cli/byte_source.h"
#include "cli/count_settings.h"
#include "cli/text_decoder.h"
#include "core/splitter/byte_counter.h"
#include "core/splitter/sentence_stream.h"

// From a text's bytes to what the count reads: the reading decided as late as the count
// allows, the bytes decoded into the splitter's stream or counted as they are.

namespace brintale::cli {

enum class Trigger {
    None,           // the count is the same under either reading
    AnyNonAscii,    // the first byte beyond ASCII needs the reading decided
    LongSOrKelvin,  // only U+017F and U+212A, which fold into ASCII letters of entries
};

// Which bytes ask for the reading to be decided: for the count, only those whose reading
// can change it.
Trigger TriggerFor(const CountSettings& settings);

// Where the first byte of the block lies that asks for the reading to be decided; -1 for
// none. A sequence cut off by the block's end counts as there.
qsizetype TriggerAt(QByteArrayView block, Trigger trigger);

// Where the bytes of a text go once read: decoded into the splitter's stream, or counted
// as they are.
class TextTarget {
  public:
    virtual ~TextTarget() = default;
    // Bytes in the reading decided, or (decoder null) read as Windows-1252.
    virtual void Take(QByteArrayView bytes, StreamDecoder* decoder) = 0;
    // The same for a whole buffer the target may keep.
    virtual void TakeWhole(QByteArray&& bytes, StreamDecoder* decoder) { Take(bytes, decoder); }
    virtual void Decided(Encoding) {}
    virtual void End(StreamDecoder* decoder) = 0;
};

class StreamTarget : public TextTarget {
  public:
    StreamTarget(SentenceStream& stream, SentenceReceiver& sink) : stream_(stream), sink_(sink) {}
    // Straight into the stream's text, no copy between.
    void Take(QByteArrayView bytes, StreamDecoder* decoder) override {
        QChar* room = stream_.Room(decoder ? decoder->RoomFor(bytes.size()) : bytes.size());
        stream_.Wrote(decoder ? decoder->DecodeInto(bytes, room) : Windows1252Into(bytes, room),
                      sink_);
    }
    void End(StreamDecoder* decoder) override {
        if (!decoder) return;
        units_.clear();
        decoder->Finish(units_);
        stream_.Feed(units_, sink_);
    }

  private:
    SentenceStream& stream_;
    SentenceReceiver& sink_;
    QString units_;
};

class CounterTarget : public TextTarget {
  public:
    explicit CounterTarget(ByteCounter& counter) : counter_(counter) {}
    void Take(QByteArrayView bytes, StreamDecoder*) override { counter_.Feed(bytes); }
    void TakeWhole(QByteArray&& bytes, StreamDecoder*) override { counter_.Feed(std::move(bytes)); }
    void Decided(Encoding encoding) override {
        if (encoding == Encoding::Utf8) counter_.ReadAsUtf8();
    }
    void End(StreamDecoder*) override {}

  private:
    ByteCounter& counter_;
};

// The bytes of a text that is not UTF-16, turned into text for the splitter: as
// Windows-1252 while that changes nothing, then in the reading the whole input decides.
// A file that can be read ahead is checked to its end at once; a pipe's bytes are kept
// until it proves not to be UTF-8, ends, or has given holdBytes more (then it is taken
// for UTF-8, and a later byte that is not fails the count).
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
    void Decide(Encoding encoding, QByteArrayView rest);

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

}  // namespace brintale::cli
