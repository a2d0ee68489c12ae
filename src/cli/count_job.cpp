#include "cli/count_job.h"

#include <QByteArray>
#include <algorithm>
#include <memory>
#include <new>
#include <optional>
#include <system_error>

#include "cli/document_source.h"
#include "cli/ordered_output.h"
#include "cli/output_formats.h"
#include "cli/text_decoder.h"
#include "cli/text_feeder.h"
#include "cli/unicode_split.h"
#include "core/failure.h"
#include "core/sample_text.h"
#include "core/splitter/byte_counter.h"
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
            stream.Feed(units, receiver);
            const qsizetype got = source.Read(block.data(), block.size());
            if (got == 0) break;
            next = QByteArrayView(block.constData(), got);
        }
        units.clear();
        decoder.Finish(units);
        stream.Feed(units, receiver);
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
        StreamTarget toStream(stream, receiver);
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
    stream.Finish(receiver);
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
