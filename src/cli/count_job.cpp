#include "cli/count_job.h"

#include <QByteArray>
#include <algorithm>
#include <charconv>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <system_error>
#include <utility>

#include "cli/document_source.h"
#include "cli/ordered_output.h"
#include "cli/text_decoder.h"
#include "cli/utf8_output.h"
#include "core/failure.h"
#include "core/memory_limits.h"
#include "core/sample_text.h"
#include "core/splitter/byte_counter.h"
#include "core/splitter/sentence_stream.h"
#include "core/splitter/unicode_sentences.h"

namespace brintale::cli {

namespace {

void AppendNumber(std::int64_t value, QByteArray& out) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end - digits);
}

// ---------------------------------------------------------------------------------------
// From bytes to text

enum class Trigger {
    None,           // the count is the same under either reading
    AnyNonAscii,    // the first byte beyond ASCII needs the reading decided
    LongSOrKelvin,  // only U+017F and U+212A, which fold into ASCII letters of entries
};

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
            // The lead bytes of U+017F (C5 BF) and U+212A (E2 84 AA), each sought again only
            // once passed.
            const auto find = [&](qsizetype from, int byte) {
                const void* p = std::memchr(b + from, byte, static_cast<size_t>(n - from));
                return p ? static_cast<const unsigned char*>(p) - b : n;
            };
            qsizetype c5 = find(0, 0xC5), e2 = find(0, 0xE2);
            while (c5 < n || e2 < n) {
                if (c5 < e2) {
                    if (c5 + 1 == n || b[c5 + 1] == 0xBF) return c5;
                    c5 = find(c5 + 1, 0xC5);
                } else {
                    if (e2 + 1 == n || (b[e2 + 1] == 0x84 && (e2 + 2 == n || b[e2 + 2] == 0xAA)))
                        return e2;
                    e2 = find(e2 + 1, 0xE2);
                }
            }
            return -1;
        }
    }
    return -1;
}

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
    StreamTarget(SentenceStream& stream, SentenceStream::Sink& sink)
        : stream_(stream), sink_(sink) {}
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
    SentenceStream::Sink& sink_;
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

    void Feed(QByteArrayView block) {
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
                if (!validator_.valid()) return Decide(Encoding::Windows1252, block.sliced(at));
                if (source_.CanReadAhead()) {
                    // Before the first byte beyond ASCII all is ASCII; before the first
                    // letter that folds into it, not so.
                    Utf8Validator rest;
                    std::int64_t from = trigger_ == Trigger::AnyNonAscii ? blockOffset : base_;
                    QByteArray buffer(tuning_.blockBytes, Qt::Uninitialized);
                    for (;;) {
                        const qsizetype got = source_.ReadAt(from, buffer.data(), buffer.size());
                        if (got == 0 || !rest.Feed(QByteArrayView(buffer.constData(), got))) break;
                        from += got;
                    }
                    // Decided for the whole input: nothing needs checking any more.
                    checking_ = false;
                    return Decide(rest.Finish() ? Encoding::Utf8 : Encoding::Windows1252,
                                  block.sliced(at));
                }
                state_ = State::Holding;
                held_ = block.sliced(at).toByteArray();
                return;
            }
            case State::Holding:
                held_ += block;
                if (!validator_.valid()) return Decide(Encoding::Windows1252, {});
                if (held_.size() >= tuning_.holdBytes) {
                    committed_ = true;
                    return Decide(Encoding::Utf8, {});
                }
                return;
            case State::Decided:
                return Pass(block);
        }
    }

    // A whole block that the target may keep: as it is where nothing in it needs a look.
    void FeedWhole(QByteArray&& block) {
        if (checking_ || state_ == State::Holding ||
            (state_ == State::Undecided && TriggerAt(block, trigger_) >= 0))
            return Feed(block);
        offset_ += block.size();
        if (!block.isEmpty()) target_.TakeWhole(std::move(block), decoder_ ? &*decoder_ : nullptr);
    }

    void Finish() {
        if (state_ == State::Holding)
            Decide(validator_.Finish() ? Encoding::Utf8 : Encoding::Windows1252, {});
        if (committed_ && !validator_.Finish())
            throw ReadError{QStringLiteral("%1: not UTF-8 at its end").arg(source_.name())};
        target_.End(decoder_ ? &*decoder_ : nullptr);
    }

  private:
    enum class State { Undecided, Holding, Decided };

    // Whether the letter that folds into ASCII, which TriggerAt takes for one where the block
    // cuts it off, turns out to be none in the bytes that follow (a file can tell at once).
    bool CutOffFalsely(QByteArrayView block, qsizetype at, std::int64_t blockOffset) {
        const qsizetype have = block.size() - at;
        const qsizetype need = static_cast<unsigned char>(block[at]) == 0xC5 ? 2 : 3;
        if (trigger_ != Trigger::LongSOrKelvin || have >= need || !source_.CanReadAhead())
            return false;
        QByteArray whole = block.sliced(at).toByteArray() + QByteArray(need - have, '\0');
        const qsizetype got =
            source_.ReadAt(blockOffset + block.size(), whole.data() + have, need - have);
        whole.truncate(have + got);
        return got == need - have && TriggerAt(whole, trigger_) < 0;
    }

    // Bytes on: in the reading decided, else as Windows-1252, which reads every byte
    // before the trigger as any reading would for this count.
    void Pass(QByteArrayView bytes) {
        if (!bytes.isEmpty()) target_.Take(bytes, decoder_ ? &*decoder_ : nullptr);
    }

    void Decide(Encoding encoding, QByteArrayView rest) {
        state_ = State::Decided;
        decoder_.emplace(encoding);
        target_.Decided(encoding);
        if (encoding == Encoding::Windows1252) checking_ = false;
        if (!held_.isEmpty()) {
            const QByteArray held = std::exchange(held_, QByteArray());
            Pass(held);
        }
        Pass(rest);
    }

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

bool IsAscii(const QString& text) {
    for (QChar c : text)
        if (c.unicode() >= 0x80) return false;
    return true;
}

// Which bytes ask for the reading to be decided: for the count, only those whose reading
// can change it.
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

// The sentences of the stream, to the receiver.
class ForwardingSink : public SentenceStream::Sink {
  public:
    explicit ForwardingSink(SentenceReceiver& receiver) : receiver_(receiver) {}
    void Sentence(QStringView text, std::int64_t start, std::int64_t end) override {
        receiver_.Sentence(text, start, end);
    }
    void SentencePart(QStringView text) override { receiver_.SentencePart(text); }

  private:
    SentenceReceiver& receiver_;
};

// The whole source, for the rules that need the whole text.
QByteArray ReadWhole(ByteSource& source, const Tuning& tuning) {
    QByteArray bytes;
    qsizetype used = 0;
    for (;;) {
        if (bytes.size() - used < tuning.blockBytes) {
            const auto wanted =
                static_cast<quint64>(std::max(bytes.size() * 2, used + tuning.blockBytes));
            if (wanted > LargestLoadableFile(CurrentMemoryLimits()) * kLoadBytesPerFileByte / 3)
                throw ReadError{QStringLiteral("%1: too large to hold whole for the Unicode "
                                               "rules in the memory left")
                                    .arg(source.name())};
            bytes.resize(static_cast<qsizetype>(wanted));
        }
        const qsizetype got = source.Read(bytes.data() + used, bytes.size() - used);
        if (got == 0) break;
        used += got;
    }
    bytes.truncate(used);
    return bytes;
}

QString DecodeWhole(QByteArrayView bytes) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    QString text;
    std::optional<StreamDecoder> decoder;
    if (bytes.size() >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
        decoder.emplace(Encoding::Utf16LittleEndian);
    } else if (bytes.size() >= 2 && b[0] == 0xFE && b[1] == 0xFF) {
        decoder.emplace(Encoding::Utf16BigEndian);
    } else {
        if (bytes.size() >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF)
            bytes = bytes.sliced(3);
        Utf8Validator validator;
        validator.Feed(bytes);
        decoder.emplace(validator.Finish() ? Encoding::Utf8 : Encoding::Windows1252);
    }
    if (decoder->encoding() == Encoding::Utf16LittleEndian ||
        decoder->encoding() == Encoding::Utf16BigEndian)
        bytes = bytes.sliced(2);
    decoder->Decode(bytes, text);
    decoder->Finish(text);
    return text;
}

// Code points before each of a rising series of positions in UTF-16 units.
class CodePointCursor {
  public:
    explicit CodePointCursor(QStringView text) : text_(text) {}
    std::int64_t At(qsizetype units) {
        if (units < unit_) unit_ = 0, points_ = 0;
        for (; unit_ < units; ++unit_)
            points_ +=
                !(unit_ > 0 && text_[unit_].isLowSurrogate() && text_[unit_ - 1].isHighSurrogate());
        return points_;
    }

  private:
    QStringView text_;
    qsizetype unit_ = 0;
    std::int64_t points_ = 0;
};

std::int64_t SplitByUnicodeRules(ByteSource& source, const CountSettings& settings,
                                 const Tuning& tuning, SentenceReceiver& receiver) {
    const QByteArray bytes = ReadWhole(source, tuning);
    const QString text = DecodeWhole(bytes);
    if (settings.countOnly) return CountUnicodeSentences(text, settings.abbreviations);
    std::int64_t count = 0;
    CodePointCursor cursor(text);
    SplitUnicodeSentences(text, settings.abbreviations,
                          [&](QString&& sentence, qsizetype start, qsizetype end) {
                              ++count;
                              const std::int64_t s = cursor.At(start), e = cursor.At(end);
                              receiver.Sentence(std::move(sentence), s, e);
                          });
    return count;
}

// ---------------------------------------------------------------------------------------
// Output

// Output of one file, gathered into blocks.
class FileOutput {
  public:
    // The buffer comes with the first output, so that making one cannot fail.
    FileOutput(OrderedOutput& out, int index, qsizetype block)
        : out_(out), index_(index), block_(block), room_(block) {}
    // Room for `bytes` more at the end; Used says where the writing ended.
    char* Room(qsizetype bytes) {
        if (used_ + bytes > room_) {
            Flush();
            if (bytes > room_) data_.reset(), room_ = bytes;
        }
        if (!data_) data_.reset(new char[room_]);
        return data_.get() + used_;
    }
    void Used(const char* end) {
        used_ = end - data_.get();
        if (used_ >= block_) Flush();
    }
    void Append(QByteArrayView bytes) {
        char* w = Room(bytes.size());
        std::memcpy(w, bytes.data(), static_cast<size_t>(bytes.size()));
        Used(w + bytes.size());
    }
    void Flush() {
        if (used_ > 0) out_.Write(index_, QByteArrayView(data_.get(), used_));
        used_ = 0;
    }

  private:
    OrderedOutput& out_;
    int index_;
    qsizetype block_;
    qsizetype room_;
    std::unique_ptr<char[]> data_;
    qsizetype used_ = 0;
};

class Writer : public SentenceReceiver {
  public:
    Writer(const CountSettings& settings, const QByteArray* name, FileOutput& out)
        : settings_(settings), name_(name), out_(out) {}

    void Sentence(QStringView text, std::int64_t start, std::int64_t end) override {
        ++index_;
        if (settings_.format == Format::Lines) {
            char* w = Utf8Into(text, out_.Room(3 * text.size() + 1));
            *w++ = '\n';
            out_.Used(w);
            return;
        }
        QByteArray& b = line_;
        b.truncate(0);
        switch (settings_.format) {
            case Format::Lines:
                break;
            case Format::Tsv:
                if (settings_.severalFiles) {
                    AppendFieldName(*name_, b);
                    b += '\t';
                }
                AppendNumber(start, b);
                b += '\t';
                AppendNumber(end, b);
                b += '\t';
                AppendUtf8(text, b);
                b += '\n';
                break;
            case Format::Jsonl:
                b += "{\"file\":";
                AppendJsonFile(b);
                b += ",\"index\":";
                AppendNumber(index_, b);
                b += ",\"start\":";
                AppendNumber(start, b);
                b += ",\"end\":";
                AppendNumber(end, b);
                b += ",\"text\":\"";
                AppendJsonString(text, b);
                b += "\"}\n";
                break;
        }
        out_.Append(b);
    }
    void SentencePart(QStringView text) override {
        out_.Used(Utf8Into(text, out_.Room(3 * text.size())));
    }
    // The line begun stays a line.
    void AbandonSentence() override { out_.Append("\n"); }

  private:
    void AppendJsonFile(QByteArray& b) const {
        if (!name_) {
            b += "null";
            return;
        }
        b += '"';
        AppendJsonName(*name_, b);
        b += '"';
    }

    const CountSettings& settings_;
    const QByteArray* name_;
    FileOutput& out_;
    std::int64_t index_ = 0;
    QByteArray line_;  // a tsv or jsonl line being made
};

class StatisticsReceiver : public SentenceReceiver {
  public:
    explicit StatisticsReceiver(FileSummary& summary) : summary_(summary) {}
    void Sentence(QStringView text, std::int64_t start, std::int64_t end) override {
        summary_.statistics.Add(text);
        const std::int32_t words = summary_.statistics.wordsPerSentence().back();
        if (summary_.longestStart < 0 || words > most_)
            most_ = words, summary_.longestStart = start, summary_.longestEnd = end;
    }
    void SentencePart(QStringView) override {}

  private:
    FileSummary& summary_;
    std::int32_t most_ = -1;
};

class NoReceiver : public SentenceReceiver {
  public:
    void Sentence(QStringView, std::int64_t, std::int64_t) override {}
    void SentencePart(QStringView) override {}
};

QByteArray Line(const QString& message) {
    return "brintale-count: " + message.toLocal8Bit() + '\n';
}

void AppendDecimal(double value, QByteArray& out) { out += QByteArray::number(value, 'f', 2); }

}  // namespace

std::int64_t SplitSource(ByteSource& source, const CountSettings& settings, const Tuning& tuning,
                         SentenceReceiver& receiver) {
    if (settings.rules == Rules::Unicode)
        return SplitByUnicodeRules(source, settings, tuning, receiver);
    SentenceStream::Options options;
    options.countOnly = settings.countOnly;
    // Positions are printed by the tsv and jsonl formats and the statistics alone.
    options.codePoints =
        !settings.countOnly && (settings.stats || settings.format != Format::Lines);
    options.stretchUnits = tuning.segmentUnits;
    options.heldUnitsLimit = tuning.heldUnits;
    options.secondCore = settings.secondCore;
    // Only one sentence a line can be written before its end is known.
    if (!settings.stats && settings.format == Format::Lines)
        options.partUnits = tuning.sentencePartUnits;
    // A thread the system will not start leaves the work to this one.
    std::optional<SentenceStream> made;
    try {
        made.emplace(settings.separators, settings.abbreviations, options);
    } catch (const std::system_error&) {
        options.secondCore = false;
        made.emplace(settings.separators, settings.abbreviations, options);
    }
    SentenceStream& stream = *made;
    ForwardingSink sink(receiver);

    // The byte-order mark needs the first three bytes.
    QByteArray block(std::max<qsizetype>(tuning.blockBytes, 3), Qt::Uninitialized);
    qsizetype have = 0;
    for (qsizetype got = 1; have < 3 && got > 0; have += got)
        got = source.Read(block.data() + have, block.size() - have);
    const auto* b = reinterpret_cast<const unsigned char*>(block.constData());
    // An empty file is no text (have == 0), whatever the window shows for one.
    if (have >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF))) {
        StreamDecoder decoder(b[0] == 0xFF ? Encoding::Utf16LittleEndian
                                           : Encoding::Utf16BigEndian);
        QString units;
        QByteArrayView next(block.constData() + 2, have - 2);
        for (;;) {
            units.clear();
            decoder.Decode(next, units);
            stream.Feed(units, sink);
            const qsizetype got = source.Read(block.data(), block.size());
            if (got == 0) break;
            next = QByteArrayView(block.constData(), got);
        }
        units.clear();
        decoder.Finish(units);
        stream.Feed(units, sink);
    } else if (have > 0) {
        const qsizetype mark = have >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF ? 3 : 0;
        // Counting alone goes straight over the bytes where it can.
        const std::unique_ptr<ByteCounter> counter =
            settings.countOnly ? ByteCounter::For(settings.separators, settings.abbreviations)
                               : nullptr;
        if (counter) counter->LimitHeld(tuning.heldUnits);
        // With cores to spare the bytes are counted on two threads while this one reads.
        if (counter && settings.secondCore) {
            try {
                counter->UseCores(2);
            } catch (const std::system_error&) {
                // Counted on this thread alone.
            }
        }
        StreamTarget toStream(stream, sink);
        std::optional<CounterTarget> toCounter;
        if (counter) toCounter.emplace(*counter);
        TextTarget& target = counter ? static_cast<TextTarget&>(*toCounter) : toStream;
        TextFeeder feeder(source, mark, TriggerFor(settings), tuning, target);
        feeder.Feed(QByteArrayView(block.constData() + mark, have - mark));
        if (counter) {
            // Read into buffers the counter hands out, so that it can count them as they are.
            for (;;) {
                QByteArray buffer = counter->Buffer(tuning.blockBytes);
                const qsizetype got = source.Read(buffer.data(), buffer.size());
                if (got == 0) break;
                buffer.truncate(got);
                feeder.FeedWhole(std::move(buffer));
            }
        } else {
            for (qsizetype got; (got = source.Read(block.data(), block.size())) > 0;)
                feeder.Feed(QByteArrayView(block.constData(), got));
        }
        feeder.Finish();
        if (counter) return counter->Finish();
    }
    stream.Finish(sink);
    if (stream.endedInsideParts()) receiver.AbandonSentence();
    if (stream.endedInsideParts())
        throw ReadError{QStringLiteral("%1: the text ends inside a sentence of more than %2 "
                                       "characters, whose start went out already; it is no "
                                       "sentence, since no separator ends it")
                            .arg(source.name())
                            .arg(tuning.sentencePartUnits)};
    return stream.count();
}

FileSummary CountInput(const InputName* input, const CountSettings& settings, const Tuning& tuning,
                       OrderedOutput& out, int index) {
    FileSummary summary;
    FileOutput output(out, index, tuning.outputBytes);
    const QByteArray* name = input ? &input->bytes : nullptr;
    try {
        Writer writer(settings, name, output);
        StatisticsReceiver statistics(summary);
        NoReceiver none;
        SentenceReceiver& receiver = settings.countOnly ? static_cast<SentenceReceiver&>(none)
                                     : settings.stats   ? static_cast<SentenceReceiver&>(statistics)
                                                        : static_cast<SentenceReceiver&>(writer);
        if (input) {
            const auto source = OpenInput(*input, settings.from);
            summary.sentences = SplitSource(*source, settings, tuning, receiver);
        } else {
            MemorySource example(SampleText().toUtf8(), tuning.blockBytes, true);
            summary.sentences = SplitSource(example, settings, tuning, receiver);
        }
        output.Flush();
        summary.ok = true;
    } catch (const ReadError& e) {
        output.Flush();
        out.Error(index, Line(e.message));
    } catch (const Failure& e) {
        output.Flush();
        out.Error(index, Line(e.description()));
    } catch (const std::bad_alloc&) {
        out.Error(index, Line(QStringLiteral("there is not enough memory for this text")));
    }
    return summary;
}

namespace {

// name: the file's, or nullptr for the example; total: the line after several files.
QByteArray CountLine(std::int64_t sentences, const QByteArray* name, bool total,
                     const CountSettings& settings) {
    QByteArray line;
    if (settings.format == Format::Jsonl) {
        line += "{\"file\":";
        if (name) {
            line += '"';
            AppendJsonName(*name, line);
            line += '"';
        } else {
            line += "null";
        }
        if (total) line += ",\"total\":true";
        line += ",\"sentences\":";
        AppendNumber(sentences, line);
        return line + "}\n";
    }
    AppendNumber(sentences, line);
    if (total) {
        line += "\ttotal";
    } else if (name && settings.severalFiles) {
        line += '\t';
        AppendFieldName(*name, line);
    }
    return line + '\n';
}

// name: the file's, or nullptr for the total or a text without a file; longestFile: for the
// total, the file that holds the longest sentence.
QByteArray StatisticsText(const FileSummary& summary, const CountSettings& settings,
                          const QByteArray* name, bool total, const QByteArray* longestFile) {
    const SentenceStatistics s = summary.statistics.Result(settings.longWords);
    QByteArray out;
    if (settings.format == Format::Jsonl) {
        out += "{\"file\":";
        if (name) {
            out += '"';
            AppendJsonName(*name, out);
            out += '"';
        } else {
            out += "null";
        }
        if (total) out += ",\"total\":true";
        out += ",\"sentences\":";
        AppendNumber(s.sentences, out);
        out += ",\"words\":";
        AppendNumber(s.words, out);
        out += ",\"characters\":";
        AppendNumber(s.characters, out);
        out += ",\"words_per_sentence\":{\"mean\":";
        out += QByteArray::number(s.meanWords, 'g', 10);
        out += ",\"median\":";
        out += QByteArray::number(s.medianWords, 'g', 10);
        out += ",\"p90\":";
        AppendNumber(s.percentile90Words, out);
        out += ",\"max\":";
        AppendNumber(s.maxWords, out);
        out += "},\"longest\":";
        if (s.longestIndex < 0) {
            out += "null";
        } else {
            out += "{";
            if (longestFile) {
                out += "\"file\":\"";
                AppendJsonName(*longestFile, out);
                out += "\",";
            }
            out += "\"index\":";
            AppendNumber(s.longestIndex + 1, out);
            out += ",\"start\":";
            AppendNumber(summary.longestStart, out);
            out += ",\"end\":";
            AppendNumber(summary.longestEnd, out);
            out += ",\"words\":";
            AppendNumber(s.maxWords, out);
            out += ",\"preview\":\"";
            AppendJsonString(s.longestPreview, out);
            out += "\"}";
        }
        out += ",\"long_words\":";
        AppendNumber(s.longThreshold, out);
        out += ",\"long_sentences\":";
        AppendNumber(s.longerThanThreshold, out);
        return out + "}\n";
    }
    if (settings.severalFiles) {
        out += "==> ";
        if (total)
            out += "total";
        else
            AppendFieldName(*name, out);
        out += " <==\n";
    }
    out += "sentences: ";
    AppendNumber(s.sentences, out);
    out += "\nwords: ";
    AppendNumber(s.words, out);
    out += "\ncharacters: ";
    AppendNumber(s.characters, out);
    out += "\nwords per sentence: mean ";
    AppendDecimal(s.meanWords, out);
    out += ", median ";
    out += QByteArray::number(s.medianWords, 'g', 10);
    out += ", 90th percentile ";
    AppendNumber(s.percentile90Words, out);
    out += ", maximum ";
    AppendNumber(s.maxWords, out);
    out += "\nlongest sentence: ";
    if (s.longestIndex < 0) {
        out += "none";
    } else {
        if (longestFile) {
            AppendFieldName(*longestFile, out);
            out += ' ';
        }
        out += "number ";
        AppendNumber(s.longestIndex + 1, out);
        out += ", characters ";
        AppendNumber(summary.longestStart, out);
        out += " to ";
        AppendNumber(summary.longestEnd, out);
        out += ": ";
        AppendUtf8(s.longestPreview, out);
    }
    out += "\nsentences of more than ";
    AppendNumber(s.longThreshold, out);
    out += " words: ";
    AppendNumber(s.longerThanThreshold, out);
    out += '\n';
    return out;
}

}  // namespace

QByteArray SummaryText(const FileSummary& summary, const CountSettings& settings,
                       const InputName* input) {
    const QByteArray* name = input ? &input->bytes : nullptr;
    if (settings.countOnly) return CountLine(summary.sentences, name, false, settings);
    if (!settings.stats) return {};
    QByteArray text = StatisticsText(summary, settings, name, false, nullptr);
    // A blank line between the blocks of several files.
    if (settings.severalFiles && settings.format != Format::Jsonl) text += '\n';
    return text;
}

QByteArray TotalText(const std::vector<FileSummary>& summaries,
                     const std::vector<const InputName*>& inputs, const CountSettings& settings) {
    if (!settings.severalFiles || !(settings.countOnly || settings.stats)) return {};
    FileSummary total;
    const QByteArray* longestFile = nullptr;
    std::int64_t most = -1;
    for (std::size_t i = 0; i < summaries.size(); ++i) {
        const FileSummary& s = summaries[i];
        if (!s.ok) continue;
        total.sentences += s.sentences;
        if (!settings.stats) continue;
        const SentenceStatistics figures = s.statistics.Result(settings.longWords);
        // The first of the longest, as within a file.
        if (figures.longestIndex >= 0 && figures.maxWords > most) {
            most = figures.maxWords;
            longestFile = &inputs[i]->bytes;
            total.longestStart = s.longestStart;
            total.longestEnd = s.longestEnd;
        }
        total.statistics.Merge(s.statistics);
    }
    if (settings.countOnly) return CountLine(total.sentences, nullptr, true, settings);
    return StatisticsText(total, settings, nullptr, true, longestFile);
}

}  // namespace brintale::cli
