#include "cli/count_job.h"

#include <QByteArray>
#include <algorithm>
#include <memory>
#include <new>

#include "cli/document_source.h"
#include "cli/ordered_output.h"
#include "cli/output_formats.h"
#include "cli/pieced_print.h"
#include "cli/text_feeder.h"
#include "cli/unicode_split.h"
#include "core/failure.h"
#include "core/sample_text.h"
#include "core/splitter/byte_counter.h"
#include "core/splitter/byte_splitter.h"
#include "core/splitter/sentence_stream.h"

namespace brintale::cli {

namespace {

class NoReceiver : public SentenceReceiver {
  public:
    void Sentence(QStringView, std::int64_t, std::int64_t) override {}
};

QByteArray Line(const QString& message) {
    return "brintale-count: " + message.toLocal8Bit() + '\n';
}

ReadError EndedInsideParts(const ByteSource& source, const Tuning& tuning) {
    return ReadError{QStringLiteral("%1: the text ends inside a sentence of more than %2 "
                                    "characters, whose start went out already; it is no "
                                    "sentence, since no separator ends it")
                         .arg(source.name())
                         .arg(tuning.sentencePartUnits)};
}

// Where ReadAt finds the text's first byte, after its mark.
std::int64_t TextStart(ByteSource& source) {
    char start[kByteOrderMarkBytes] = {};
    const std::int64_t first = source.ReadAtStart();
    const qsizetype got = source.ReadAt(first, start, kByteOrderMarkBytes);
    return first + ReadByteOrderMark(QByteArrayView(start, got)).length;
}

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
    source.ValidateOnTwoCores(settings.secondCore);
    TextReader reader(source, tuning);
    // Sentences printed straight from the bytes where the rules allow: not behind a UTF-16
    // mark, and for a receiver that takes them so.
    auto* const bytes = dynamic_cast<ByteSentenceReceiver*>(&receiver);
    if (bytes && !settings.countOnly && !reader.empty() && !reader.utf16()) {
        ByteSplitter::Options byteOptions;
        byteOptions.codePoints = options.codePoints;
        byteOptions.partUnits = options.partUnits;
        byteOptions.heldLimit = tuning.heldUnits;
        if (const auto splitter =
                ByteSplitter::For(settings.separators, settings.abbreviations, byteOptions)) {
            // A large file on two cores, piece by piece, where the output is the sentences.
            auto* const writer = dynamic_cast<SentenceWriter*>(&receiver);
            if (writer && settings.secondCore && !settings.stats && source.CanReadAhead() &&
                source.SizeAtOpen() >= 4 * tuning.pieceBytes) {
                std::int64_t sentences = 0;
                bool endedInsideParts = false;
                if (PrintInPieces(source, TextStart(source), *splitter, byteOptions, tuning,
                                  *writer, sentences, endedInsideParts)) {
                    if (endedInsideParts) throw EndedInsideParts(source, tuning);
                    return sentences;
                }
            }
            SplitterTarget target(*splitter, *bytes);
            reader.ReadInto(target, TriggerFor(settings));
            splitter->Finish(*bytes);
            if (splitter->endedInsideParts()) throw EndedInsideParts(source, tuning);
            return splitter->count();
        }
    }
    // Counting alone goes straight over the bytes where it can: not behind a UTF-16 mark.
    const std::unique_ptr<ByteCounter> counter =
        settings.countOnly && !reader.empty() && !reader.utf16()
            ? ByteCounter::For(settings.separators, settings.abbreviations)
            : nullptr;
    if (counter) {
        counter->LimitHeld(tuning.heldUnits);
        // With cores to spare the bytes are counted on two threads while this one reads (or
        // on this one alone where the system starts none).
        if (settings.secondCore) counter->UseCores(2);
        // A file read ahead is read by the threads that count it, half a block at a time,
        // which the core's cache holds while it is counted: where its size is known, this
        // thread and one more each a range of its own; else each thread its own pieces.
        if (source.CanReadAhead()) {
            const std::int64_t text = TextStart(source);
            counter->FeedFrom(
                [&source](std::int64_t offset, char* buffer, qsizetype size) {
                    return source.ReadAt(offset, buffer, size);
                },
                text, tuning.blockBytes / 2,
                [&] {
                    const Utf8Validator rest =
                        source.ValidateFrom(text, Utf8Validator(), tuning.blockBytes);
                    return ReadingWithoutMark(rest.Finish()) == TextEncoding::Utf8;
                },
                source.SizeAtOpen());
            return counter->Finish();
        }
        CounterTarget toCounter(*counter);
        reader.ReadInto(toCounter, TriggerFor(settings));
        return counter->Finish();
    }
    // A thread the system will not start leaves the work to this one.
    SentenceStream stream(settings.separators, settings.abbreviations, options);
    StreamTarget toStream(stream, receiver);
    reader.ReadInto(toStream, TriggerFor(settings));
    stream.Finish(receiver);
    if (stream.endedInsideParts()) throw EndedInsideParts(source, tuning);
    return stream.count();
}

FileSummary CountInput(const InputName* input, const CountSettings& settings, const Tuning& tuning,
                       OrderedOutput& out, int index) {
    FileSummary summary;
    FileOutput output(out, index, tuning.outputBytes);
    const QByteArray* name = input ? &input->bytes : nullptr;
    try {
        SentenceWriter writer(settings, name, output);
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

}  // namespace brintale::cli
