#include "cli/output_formats.h"

#include <QString>
#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>
#include <string_view>
#include <variant>

#include "cli/ordered_output.h"
#include "cli/utf8_output.h"

namespace brintale::cli {

namespace {

void AppendNumber(std::int64_t value, QByteArray& out) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end - digits);
}

// A file's name as a JSON value: null for the example or the total.
void AppendJsonFileName(const QByteArray* name, QByteArray& out) {
    if (!name) {
        out += "null";
        return;
    }
    out += '"';
    AppendJsonName(*name, out);
    out += '"';
}

// ---------------------------------------------------------------------------------------
// The statistics, one table for the JSON and the text forms

// A figure with a fraction: ten significant digits in JSON; in the text as many, or two
// decimals when `decimals` is 2.
struct Real {
    double value;
    int decimals;
};
// The figures up to the next End belong to one: an object in JSON, one line in the text.
// Absent: null in JSON, "none" in the text.
struct Group {
    bool present;
};
struct End {};
using Value = std::variant<std::int64_t, Real, const QByteArray*, QString, Group, End>;

struct Figure {
    std::string_view key;  // in JSON
    // In the text: written before and after the value; nullptr: in JSON only.
    const char* before;
    const char* after;
    Value value;
};

// Every statistic once, in the order printed; longestFile: for the total, the file that
// holds the longest sentence.
std::vector<Figure> StatisticsFigures(const FileSummary& summary, const CountSettings& settings,
                                      const QByteArray* longestFile) {
    const SentenceStatistics s = summary.statistics.Result(settings.longWords);
    using N = std::int64_t;
    std::vector<Figure> figures = {
        {"sentences", "sentences: ", "", N{s.sentences}},
        {"words", "\nwords: ", "", N{s.words}},
        {"characters", "\ncharacters: ", "", N{s.characters}},
        {"words_per_sentence", "\nwords per sentence: ", "", Group{true}},
        {"mean", "mean ", "", Real{s.meanWords, 2}},
        {"median", ", median ", "", Real{s.medianWords, 0}},
        {"p90", ", 90th percentile ", "", N{s.percentile90Words}},
        {"max", ", maximum ", "", N{s.maxWords}},
        {"", "", "", End{}},
        {"longest", "\nlongest sentence: ", "", Group{s.longestIndex >= 0}},
    };
    if (longestFile) figures.push_back({"file", "", " ", longestFile});
    figures.insert(figures.end(),
                   {
                       {"index", "number ", "", N{s.longestIndex + 1}},
                       {"start", ", characters ", "", N{summary.longestStart}},
                       {"end", " to ", "", N{summary.longestEnd}},
                       {"words", nullptr, nullptr, N{s.maxWords}},
                       {"preview", ": ", "", s.longestPreview},
                       {"", "", "", End{}},
                       {"long_words", "\nsentences of more than ", " words: ", N{s.longThreshold}},
                       {"long_sentences", "", "\n", N{s.longerThanThreshold}},
                   });
    // Two decimals in both forms.
    const ReadabilityCounts& counts = summary.statistics.readability();
    const std::optional<ReadabilityScores> scores = Readability(counts);
    const auto score = [&scores](double ReadabilityScores::*member) {
        return Real{scores ? std::round((*scores).*member * 100) / 100 : 0.0, 2};
    };
    figures.insert(
        figures.end(),
        {
            {"readability", "readability: ", "", Group{scores.has_value()}},
            {"flesch_reading_ease", "Flesch Reading Ease ", "",
             score(&ReadabilityScores::fleschReadingEase)},
            {"flesch_kincaid_grade", ", Flesch-Kincaid Grade ", "",
             score(&ReadabilityScores::fleschKincaidGrade)},
            {"gunning_fog", ", Gunning Fog ", "", score(&ReadabilityScores::gunningFog)},
            {"smog", ", SMOG ", "", score(&ReadabilityScores::smog)},
            {"coleman_liau", ", Coleman-Liau ", "", score(&ReadabilityScores::colemanLiau)},
            {"ari", ", Automated Readability Index ", "", score(&ReadabilityScores::ari)},
            {"", "", "", End{}},
            {"syllables", "\nsyllables: ", "", N{counts.syllables}},
            {"letters", ", letters: ", "", N{counts.letters}},
            {"polysyllables", ", polysyllables: ", "\n", N{counts.polysyllables}},
        });
    return figures;
}

// Where the figure after a group that is absent lies.
std::size_t AfterGroup(const std::vector<Figure>& figures, std::size_t i) {
    while (!std::holds_alternative<End>(figures[i].value)) ++i;
    return i + 1;
}

// The members after the head of a JSON object (`{"file":...`), and its end.
void AppendJson(const std::vector<Figure>& figures, QByteArray& out) {
    bool first = false;  // the first member of a group
    for (std::size_t i = 0; i < figures.size(); ++i) {
        const Figure& f = figures[i];
        if (std::holds_alternative<End>(f.value)) {
            out += '}';
            continue;
        }
        if (!first) out += ',';
        first = false;
        out += '"';
        out.append(f.key.data(), qsizetype(f.key.size()));
        out += "\":";
        if (const auto* group = std::get_if<Group>(&f.value)) {
            if (group->present) {
                out += '{';
                first = true;
            } else {
                out += "null";
                i = AfterGroup(figures, i) - 1;
            }
        } else if (const auto* n = std::get_if<std::int64_t>(&f.value)) {
            AppendNumber(*n, out);
        } else if (const auto* real = std::get_if<Real>(&f.value)) {
            out += QByteArray::number(real->value, 'g', 10);
        } else if (const auto* name = std::get_if<const QByteArray*>(&f.value)) {
            AppendJsonFileName(*name, out);
        } else if (const auto* text = std::get_if<QString>(&f.value)) {
            out += '"';
            AppendJsonString(*text, out);
            out += '"';
        }
    }
    out += "}\n";
}

void AppendText(const std::vector<Figure>& figures, QByteArray& out) {
    for (std::size_t i = 0; i < figures.size(); ++i) {
        const Figure& f = figures[i];
        if (!f.before) continue;
        out += f.before;
        if (const auto* group = std::get_if<Group>(&f.value)) {
            if (!group->present) {
                out += "none";
                i = AfterGroup(figures, i) - 1;
            }
        } else if (const auto* n = std::get_if<std::int64_t>(&f.value)) {
            AppendNumber(*n, out);
        } else if (const auto* real = std::get_if<Real>(&f.value)) {
            out += real->decimals > 0 ? QByteArray::number(real->value, 'f', real->decimals)
                                      : QByteArray::number(real->value, 'g', 10);
        } else if (const auto* name = std::get_if<const QByteArray*>(&f.value)) {
            AppendFieldName(**name, out);
        } else if (const auto* text = std::get_if<QString>(&f.value)) {
            AppendUtf8(*text, out);
        }
        out += f.after;
    }
}

// The start of a summary's JSON object: {"file":..., and "total":true after several files.
void AppendJsonHead(const QByteArray* name, bool total, QByteArray& out) {
    out += "{\"file\":";
    AppendJsonFileName(name, out);
    if (total) out += ",\"total\":true";
}

// name: the file's, or nullptr for the example; total: the line after several files.
QByteArray CountLine(std::int64_t sentences, const QByteArray* name, bool total,
                     const CountSettings& settings) {
    QByteArray line;
    if (settings.format == Format::Jsonl) {
        AppendJsonHead(name, total, line);
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
    const std::vector<Figure> figures = StatisticsFigures(summary, settings, longestFile);
    QByteArray out;
    if (settings.format == Format::Jsonl) {
        AppendJsonHead(name, total, out);
        AppendJson(figures, out);
        return out;
    }
    if (settings.severalFiles) {
        out += "==> ";
        if (total)
            out += "total";
        else
            AppendFieldName(*name, out);
        out += " <==\n";
    }
    AppendText(figures, out);
    return out;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Output of one file

namespace {
// A buffer of the held size outlives its file on the thread that wrote it, for the next file's
// writer there: its pages are the program's already, where a fresh one faults in every page.
thread_local std::unique_ptr<char[]> tSpareHeld;
}  // namespace

FileOutput::~FileOutput() {
    if (data_ && room_ == OrderedOutput::kHeldBlock) tSpareHeld = std::move(data_);
}

char* FileOutput::MakeRoom(qsizetype bytes) {
    if (!out_ && used_ + bytes > room_) {
        // Gathering: a larger buffer, the bytes so far moved into it.
        const qsizetype room = std::max(2 * room_, used_ + bytes);
        std::unique_ptr<char[]> larger(new char[room]);
        if (used_ > 0) std::memcpy(larger.get(), data_.get(), static_cast<size_t>(used_));
        data_ = std::move(larger);
        room_ = room;
    }
    if (used_ + bytes > room_) {
        Flush();
        if (bytes > room_) data_.reset(), room_ = bytes;
    }
    if (!data_) data_.reset(new char[room_]);
    return data_.get() + used_;
}

void FileOutput::Append(QByteArrayView bytes) {
    char* w = Room(bytes.size());
    std::memcpy(w, bytes.data(), static_cast<size_t>(bytes.size()));
    Used(w + bytes.size());
}

void FileOutput::Pass(QByteArrayView bytes) {
    Flush();
    if (!bytes.isEmpty()) out_->Write(index_, bytes);
}

void FileOutput::Flush() {
    if (!out_) return;
    if (used_ > 0) out_->Write(index_, QByteArrayView(data_.get(), used_));
    used_ = 0;
    // Output kept for its turn goes on in larger blocks, each kept without another copy.
    block_ = out_->WritesThrough(index_) ? through_ : std::max(through_, OrderedOutput::kHeldBlock);
    if (block_ > room_) {
        data_ = block_ == OrderedOutput::kHeldBlock ? std::move(tSpareHeld) : nullptr;
        room_ = block_;
    }
}

void SentenceWriter::Sentence(QStringView text, std::int64_t start, std::int64_t end) {
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
            AppendJsonFileName(name_, b);
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

const QByteArray& SentenceWriter::Head() {
    if (headMade_) return head_;
    headMade_ = true;
    if (settings_.format == Format::Tsv && settings_.severalFiles) {
        AppendFieldName(*name_, head_);
        head_ += '\t';
    } else if (settings_.format == Format::Jsonl) {
        head_ += "{\"file\":";
        AppendJsonFileName(name_, head_);
        head_ += ",\"index\":";
    }
    if (head_.size() <= kHeadPad)
        std::memcpy(headPad_, head_.constData(), std::size_t(head_.size()));
    return head_;
}

char* SentenceWriter::Digits::Put(std::int64_t value, char* w) {
    static constexpr char kPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    const std::int64_t add = value - value_;
    value_ = value;
    // Most moves change only the last four digits.
    if (length_ >= 4 && add >= 0 && add < 10000 && low_ + add < 10000) {
        std::memcpy(w, digits_, sizeof digits_);
        low_ += int(add);
        // The four digits made in a register: two bytes stored and read as four would wait.
        std::uint16_t high = 0, low = 0;
        std::memcpy(&high, kPairs + 2 * (low_ / 100), 2);
        std::memcpy(&low, kPairs + 2 * (low_ % 100), 2);
        const std::uint32_t last = std::endian::native == std::endian::little
                                       ? high | std::uint32_t(low) << 16
                                       : std::uint32_t(high) << 16 | low;
        std::memcpy(w + length_ - 4, &last, 4);
        std::memcpy(digits_ + length_ - 4, &last, 4);
        return w + length_;
    }
    length_ = int(std::to_chars(digits_, digits_ + sizeof digits_, value).ptr - digits_);
    low_ = int(value % 10000);
    std::memcpy(w, digits_, sizeof digits_);
    return w + length_;
}

void SentenceWriter::Sentence(QByteArrayView text, std::int64_t start, std::int64_t end) {
    ++index_;
    const qsizetype n = text.size();
    if (settings_.format == Format::Lines) {
        char* w = out_.Room(n + 1);
        // An empty sentence may come without any bytes at all.
        if (n > 0) std::memcpy(w, text.data(), static_cast<size_t>(n));
        w[n] = '\n';
        out_.Used(w + n + 1);
        return;
    }
    const QByteArray& head = Head();
    // Three numbers and the members' names, and the text escaped at most sixfold; the head
    // and the numbers copied whole, with what follows them in their buffers.
    char* const begin = out_.Room(head.size() + kHeadPad + 3 * Digits::kRoom + 64 +
                                  (settings_.format == Format::Jsonl ? 6 : 1) * n);
    char* w = begin;
    const auto put = [&w](std::string_view s) {
        std::memcpy(w, s.data(), s.size());
        w += s.size();
    };
    if (head.size() <= kHeadPad) {
        std::memcpy(w, headPad_, kHeadPad);
        w += head.size();
    } else {
        put(std::string_view(head.constData(), std::size_t(head.size())));
    }
    if (settings_.format == Format::Tsv) {
        w = startDigits_.Put(start, w);
        *w++ = '\t';
        w = endDigits_.Put(end, w);
        *w++ = '\t';
        if (n > 0) std::memcpy(w, text.data(), static_cast<size_t>(n));
        w += n;
        *w++ = '\n';
    } else {
        w = indexDigits_.Put(index_, w);
        put(",\"start\":");
        w = startDigits_.Put(start, w);
        put(",\"end\":");
        w = endDigits_.Put(end, w);
        put(",\"text\":\"");
        w = JsonUtf8Into(text, w);
        put("\"}\n");
    }
    out_.Used(w);
}

void SentenceWriter::SentencePart(QByteArrayView text) { out_.Append(text); }

void SentenceWriter::SentencePart(QStringView text) {
    out_.Used(Utf8Into(text, out_.Room(3 * text.size())));
}

void SentenceWriter::AbandonSentence() { out_.Append("\n"); }

void StatisticsReceiver::Sentence(QStringView text, std::int64_t start, std::int64_t end) {
    summary_.statistics.AddWithReadability(text);
    const std::int32_t words = summary_.statistics.wordsPerSentence().back();
    if (summary_.longestStart < 0 || words > most_)
        most_ = words, summary_.longestStart = start, summary_.longestEnd = end;
}

void StatisticsReceiver::Sentence(QByteArrayView text, std::int64_t start, std::int64_t end) {
    Sentence(QString::fromUtf8(text), start, end);
}

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
