#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <string_view>
#include <vector>

#include "cli/count_settings.h"
#include "cli/options.h"
#include "core/splitter/byte_splitter.h"
#include "core/splitter/splitter.h"

// What brintale-count prints: the sentences in the format asked, the count and the
// statistics of each file and of all of them.

namespace brintale::cli {

class OrderedOutput;

// Output of one file, gathered into blocks.
class FileOutput {
  public:
    // The buffer comes with the first output, so that making one cannot fail.
    FileOutput(OrderedOutput& out, int index, qsizetype block)
        : out_(&out), index_(index), block_(block), through_(block), room_(block) {}
    // Output gathered in memory, as much as comes, until Collected hands it over.
    explicit FileOutput(qsizetype block)
        : index_(-1), block_(kCollect), through_(block), room_(block) {}
    ~FileOutput();
    FileOutput(const FileOutput&) = delete;
    FileOutput& operator=(const FileOutput&) = delete;
    // Room for `bytes` more at the end; Used says where the writing ended.
    char* Room(qsizetype bytes) {
        // Inline where there is room, as for every sentence.
        if (data_ && used_ + bytes <= room_) return data_.get() + used_;
        return MakeRoom(bytes);
    }
    void Used(const char* end) {
        used_ = end - data_.get();
        if (used_ >= block_) Flush();
    }
    void Append(QByteArrayView bytes);
    void Flush();
    // Bytes gathered elsewhere, after all before them, without a copy.
    void Pass(QByteArrayView bytes);
    // What a gathering output holds; the next output starts it anew.
    QByteArrayView Collected() {
        const QByteArrayView bytes(data_.get(), used_);
        used_ = 0;
        return bytes;
    }

  private:
    static constexpr qsizetype kCollect = std::numeric_limits<qsizetype>::max();
    char* MakeRoom(qsizetype bytes);

    OrderedOutput* out_ = nullptr;
    int index_;
    qsizetype block_;    // handed on when full
    qsizetype through_;  // the block while the output goes straight through
    qsizetype room_;
    std::unique_ptr<char[]> data_;
    qsizetype used_ = 0;
};

// The sentences of one file as lines, tsv or jsonl lines. name: the file's, or nullptr for
// the built-in example.
class SentenceWriter : public SentenceReceiver, public ByteSentenceReceiver {
  public:
    SentenceWriter(const CountSettings& settings, const QByteArray* name, FileOutput& out)
        : settings_(settings), name_(name), out_(out) {}
    // The same settings and file, into another output (a piece of the file's).
    SentenceWriter(const SentenceWriter& like, FileOutput& out)
        : settings_(like.settings_), name_(like.name_), out_(out) {}
    const CountSettings& settings() const { return settings_; }
    FileOutput& output() { return out_; }
    // The sentences before the next one, for its number.
    void NumberFrom(std::int64_t sentences) { index_ = sentences; }
    void Sentence(QStringView text, std::int64_t start, std::int64_t end) override;
    void SentencePart(QStringView text) override;
    // The same in UTF-8, written straight into the output.
    void Sentence(QByteArrayView text, std::int64_t start, std::int64_t end) override;
    void SentencePart(QByteArrayView text) override;
    // The line begun stays a line.
    void AbandonSentence() override;

  private:
    // What every line of the file starts with in tsv and jsonl, made once.
    const QByteArray& Head();
    QByteArray head_;
    // The head again, where it is short, in room copied whole.
    static constexpr qsizetype kHeadPad = 64;
    char headPad_[kHeadPad] = {};
    bool headMade_ = false;
    // A number as its digits, moved on by adding to them: the numbers of a file's lines
    // grow a little from one line to the next.
    class Digits {
      public:
        // The digits of value at w, with what follows them in their buffer (kRoom in all);
        // returns their end. The buffer is copied before its last digits are written anew,
        // not after: a wide read of bytes just written one by one would wait for them.
        char* Put(std::int64_t value, char* w);
        static constexpr qsizetype kRoom = 24;

      private:
        char digits_[kRoom] = {};
        int length_ = 0;
        int low_ = 0;  // the value of the last four digits
        std::int64_t value_ = 0;
    };
    Digits indexDigits_, startDigits_, endDigits_;

    const CountSettings& settings_;
    const QByteArray* name_;
    FileOutput& out_;
    std::int64_t index_ = 0;
    QByteArray line_;  // a tsv or jsonl line being made
};

// The statistics of one file, gathered sentence by sentence into its summary.
class StatisticsReceiver : public SentenceReceiver, public ByteSentenceReceiver {
  public:
    explicit StatisticsReceiver(FileSummary& summary) : summary_(summary) {}
    void Sentence(QStringView text, std::int64_t start, std::int64_t end) override;
    void Sentence(QByteArrayView text, std::int64_t start, std::int64_t end) override;
    void AbandonSentence() override {}

  private:
    FileSummary& summary_;
    std::int32_t most_ = -1;
};

// What --count and --stats print after a file, and after all of them when there are
// several: "N" or "N<TAB>name", and the statistics.
QByteArray SummaryText(const FileSummary& summary, const CountSettings& settings,
                       const InputName* input);
QByteArray TotalText(const std::vector<FileSummary>& summaries,
                     const std::vector<const InputName*>& inputs, const CountSettings& settings);

}  // namespace brintale::cli
