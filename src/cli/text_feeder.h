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
#include "core/splitter/byte_splitter.h"
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

// Where the bytes of a text go once read: decoded into the splitter's stream, or counted
// as they are.
class TextTarget {
  public:
    virtual ~TextTarget() = default;
    // Bytes in the reading decided, or (decoder null) read as Windows-1252.
    virtual void Take(QByteArrayView bytes, StreamDecoder* decoder) = 0;
    // A buffer to read the next `bytes` bytes into, that TakeWhole may keep; none: the
    // reader uses its own.
    virtual QByteArray Buffer(qsizetype) { return {}; }
    // The same as Take for a whole buffer the target may keep.
    virtual void TakeWhole(QByteArray&& bytes, StreamDecoder* decoder) { Take(bytes, decoder); }
    virtual void Decided(TextEncoding) {}
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
    // Buffers the counter hands out, so that it can count them as they are.
    QByteArray Buffer(qsizetype bytes) override { return counter_.Buffer(bytes); }
    void Take(QByteArrayView bytes, StreamDecoder*) override { counter_.Feed(bytes); }
    void TakeWhole(QByteArray&& bytes, StreamDecoder*) override { counter_.Feed(std::move(bytes)); }
    void Decided(TextEncoding encoding) override {
        if (encoding == TextEncoding::Utf8) counter_.ReadAsUtf8();
    }
    void End(StreamDecoder*) override {}

  private:
    ByteCounter& counter_;
};

// Bytes split as they are, in the reading decided (UTF-16 never comes here).
class SplitterTarget : public TextTarget {
  public:
    SplitterTarget(ByteSplitter& splitter, ByteSentenceReceiver& sink)
        : splitter_(splitter), sink_(sink) {}
    void Take(QByteArrayView bytes, StreamDecoder*) override { splitter_.Feed(bytes, sink_); }
    void Decided(TextEncoding encoding) override {
        if (encoding == TextEncoding::Utf8) splitter_.ReadAsUtf8();
    }
    void End(StreamDecoder*) override {}

  private:
    ByteSplitter& splitter_;
    ByteSentenceReceiver& sink_;
};

// A text read from its source as the window reads it (see DecodeText), a block at a time:
// its byte-order mark first, then the bytes to a target. Bytes without a UTF-16 mark go on
// as Windows-1252 until a byte of the trigger comes (which Windows-1252 may read otherwise
// than UTF-8), then in the reading the whole input decides. A file that can be read ahead
// is checked to its end at once; a pipe's bytes are kept until it proves not to be UTF-8,
// ends, or has given holdBytes more (then it is taken for UTF-8, and a later byte that is
// not fails the read).
class TextReader {
  public:
    // Reads the first bytes, enough for the mark. Throws ReadError.
    TextReader(ByteSource& source, const Tuning& tuning);
    // An empty source, which is no text.
    bool empty() const { return have_ == 0; }
    // The reading a UTF-16 mark chose.
    const std::optional<TextEncoding>& utf16() const { return mark_.encoding; }
    // The text to its end into target, which hears End unless the source is empty. Throws
    // ReadError and what the target throws.
    void ReadInto(TextTarget& target, Trigger trigger);

  private:
    // The first read is short; the blocks after it are read whole.
    static constexpr qsizetype kFirstReadBytes = 64 * 1024;
    void WholeBlock();

    ByteSource& source_;
    const Tuning& tuning_;
    QByteArray block_;
    qsizetype have_ = 0;
    ByteOrderMark mark_;
};

}  // namespace brintale::cli
