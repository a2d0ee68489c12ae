#include "cli/pieced_print.h"

#include <QByteArray>
#include <algorithm>
#include <climits>
#include <condition_variable>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "cli/output_formats.h"
#include "cli/text_decoder.h"
#include "core/splitter/splitter_detail.h"

namespace brintale::cli {

namespace {

// Thrown on a thread whose piece comes after one that failed.
struct Stopped {};

// Tsv and jsonl: the sentences of a piece, kept until the numbers before them are known.
class Recorder : public ByteSentenceReceiver {
  public:
    struct Record {
        qsizetype at = 0, size = 0;
        std::int64_t start = 0, end = 0;
        bool inPiece = false;
    };
    void Sentence(QByteArrayView text, std::int64_t start, std::int64_t end) override {
        // A sentence that stands in the piece as it is written stays there; others are kept.
        const char* at = text.data();
        if (at && at >= kept.data() && at + text.size() <= kept.data() + kept.size()) {
            records.push_back({at - kept.data(), text.size(), start, end, true});
            return;
        }
        records.push_back({arena.size(), text.size(), start, end, false});
        arena.append(text);
    }
    void Clear() {
        records.clear();
        arena.resize(0);
    }
    QByteArrayView Text(const Record& r) const {
        return QByteArrayView((r.inPiece ? kept.data() : arena.constData()) + r.at, r.size);
    }
    std::vector<Record> records;
    QByteArray arena;
    QByteArrayView kept;  // the piece's bytes, as long as its sentences are
};

// Lines: written at once, but for the sentence carried in from the pieces before, which is
// held until theirs have gone out.
class LinesSink : public ByteSentenceReceiver {
  public:
    explicit LinesSink(SentenceWriter& writer) : writer_(writer) {}
    void Sentence(QByteArrayView text, std::int64_t start, std::int64_t end) override {
        if (!holding) return writer_.Sentence(text, start, end);
        head.append(text);
        holding = false;
        ended = true;
    }
    void SentencePart(QByteArrayView text) override {
        if (holding)
            head.append(text);
        else
            writer_.SentencePart(text);
    }
    void Start(bool continued) {
        head.resize(0);
        holding = continued;
        ended = false;
    }
    QByteArray head;
    bool holding = false;
    bool ended = false;  // the sentence carried in ended in this piece

  private:
    SentenceWriter& writer_;
};

class Printer {
  public:
    Printer(ByteSource& source, std::int64_t text, const ByteSplitter::Options& options,
            const Tuning& tuning, SentenceWriter& writer, std::vector<std::int64_t> starts)
        : source_(source),
          text_(text),
          options_(options),
          tuning_(tuning),
          writer_(writer),
          lines_(writer.settings().format == Format::Lines),
          starts_(std::move(starts)),
          pieces_(starts_.size() - 1) {}

    void Work(ByteSplitter& splitter);
    std::int64_t Finish();
    bool endedInsideParts() const { return endedInsideParts_; }

  private:
    struct Worker {
        Recorder recorder;
        QByteArray piece;
        bool readingSet = false;
    };
    struct Done {
        std::int64_t sentences = 0, points = 0;
        ByteSplitter::Tail tail;
    };
    // What a piece prints, kept until the pieces before it have gone out.
    struct Result {
        Result(SentenceWriter& like, qsizetype room)
            : output(room), writer(like, output), lines(writer) {}
        FileOutput output;
        SentenceWriter writer;
        LinesSink lines;
        Done done;
    };
    // Pieces printed and not yet gone out, at most: a thread slowed down by others does
    // not hold up the other thread until they are.
    static constexpr std::size_t kHeldResults = 6;

    void Piece(std::size_t k, ByteSplitter& splitter, Worker& w, Result& r);
    void Read(std::size_t k, ByteSplitter& splitter, Worker& w, ByteSentenceReceiver& sink);
    void Format(std::size_t k, Worker& w, Result& r);
    // Hands the piece's output on; the thread whose piece comes next sends it and those
    // after it that are done.
    void Offer(std::size_t k, std::unique_ptr<Result> r);
    void Deliver(std::size_t k, Result& r);
    bool Utf8();
    void WaitTurn(const std::size_t& turn, std::size_t k);
    void PassTurn(std::size_t& turn);
    void Fail(std::size_t k);

    ByteSource& source_;
    const std::int64_t text_;
    const ByteSplitter::Options& options_;
    const Tuning& tuning_;
    SentenceWriter& writer_;
    const bool lines_;
    // Of each piece, and the end of the last (the file's size when it was opened).
    const std::vector<std::int64_t> starts_;
    const std::size_t pieces_;

    std::once_flag decided_;
    bool utf8_ = false;

    std::mutex mutex_;
    std::condition_variable turned_;
    std::size_t next_ = 0;       // the piece to take next
    std::size_t numbered_ = 0;   // tsv and jsonl: the piece whose numbers come next
    std::size_t delivered_ = 0;  // the piece whose output goes next
    std::vector<std::unique_ptr<Result>> free_;
    std::size_t made_ = 0;
    std::map<std::size_t, std::unique_ptr<Result>> ready_;
    bool delivering_ = false;
    std::size_t failedAt_ = SIZE_MAX;
    std::exception_ptr failure_;

    // Under the turn of numbering (tsv, jsonl) or delivering (lines): what the pieces
    // before have given, and the sentence they leave open.
    std::int64_t sentences_ = 0, points_ = 0;
    QByteArray open_;
    std::int64_t openStart_ = -1;
    bool parted_ = false;
    bool endedInsideParts_ = false;
};

bool Printer::Utf8() {
    // Before the first byte beyond ASCII all is ASCII, so the whole text tells.
    std::call_once(decided_, [this] {
        const Utf8Validator all = source_.ValidateFrom(text_, Utf8Validator(), tuning_.blockBytes);
        utf8_ = ReadingWithoutMark(all.Finish()) == TextEncoding::Utf8;
    });
    return utf8_;
}

void Printer::WaitTurn(const std::size_t& turn, std::size_t k) {
    std::unique_lock lock(mutex_);
    turned_.wait(lock, [&] { return turn == k || failedAt_ < k; });
    if (turn != k) throw Stopped{};
}

void Printer::PassTurn(std::size_t& turn) {
    {
        const std::lock_guard lock(mutex_);
        ++turn;
    }
    turned_.notify_all();
}

void Printer::Fail(std::size_t k) {
    {
        const std::lock_guard lock(mutex_);
        if (k < failedAt_) failedAt_ = k, failure_ = std::current_exception();
    }
    turned_.notify_all();
}

void Printer::Work(ByteSplitter& splitter) {
    Worker w;
    // Room from the start for what a piece gives in most texts: a buffer grown by doubling
    // would fault in twice the pages.
    const auto piece = qsizetype(tuning_.pieceBytes);
    const qsizetype room = lines_ ? piece + piece / 8 : 2 * piece;
    for (;;) {
        std::size_t k = 0;
        std::unique_ptr<Result> r;
        {
            std::unique_lock lock(mutex_);
            turned_.wait(lock, [this] {
                return !free_.empty() || made_ < kHeldResults || next_ >= pieces_ ||
                       next_ > failedAt_;
            });
            if (next_ >= pieces_ || next_ > failedAt_) return;
            k = next_++;
            if (free_.empty()) {
                ++made_;
            } else {
                r = std::move(free_.back());
                free_.pop_back();
            }
        }
        try {
            if (!r) r = std::make_unique<Result>(writer_, room);
            Piece(k, splitter, w, *r);
        } catch (const Stopped&) {
            return;
        } catch (...) {
            Fail(k);
            return;
        }
        Offer(k, std::move(r));
    }
}

void Printer::Offer(std::size_t k, std::unique_ptr<Result> r) {
    std::unique_lock lock(mutex_);
    ready_.emplace(k, std::move(r));
    if (delivering_) return;
    delivering_ = true;
    for (auto it = ready_.find(delivered_); it != ready_.end() && delivered_ < failedAt_;
         it = ready_.find(delivered_)) {
        const std::size_t d = delivered_;
        std::unique_ptr<Result> next = std::move(it->second);
        ready_.erase(it);
        lock.unlock();
        try {
            Deliver(d, *next);
        } catch (...) {
            Fail(d);
            lock.lock();
            break;
        }
        lock.lock();
        ++delivered_;
        free_.push_back(std::move(next));
        turned_.notify_all();
    }
    delivering_ = false;
}

// The piece is read whole, so that the sentences in it stay where they are until they are
// written.
void Printer::Read(std::size_t k, ByteSplitter& splitter, Worker& w, ByteSentenceReceiver& sink) {
    const std::int64_t from = starts_[k], to = starts_[k + 1];
    if (w.piece.size() < to - from) w.piece.resize(to - from);
    qsizetype have = 0;
    for (qsizetype got = 1; have < to - from && got > 0; have += got)
        got = source_.ReadAt(from + have, w.piece.data() + have, to - from - have);
    // A file cut short meanwhile ends where it ends.
    const QByteArrayView bytes(w.piece.constData(), have);
    w.recorder.kept = bytes;
    if (!w.readingSet && AsciiPrefix(bytes) < bytes.size()) {
        if (Utf8()) splitter.ReadAsUtf8();
        w.readingSet = true;
    }
    splitter.Feed(bytes, sink);
}

void Printer::Piece(std::size_t k, ByteSplitter& splitter, Worker& w, Result& r) {
    const bool continued = k > 0;
    if (continued) splitter.ContinueSentence();
    r.output.Collected();  // what it held went out with its last piece
    if (lines_) {
        r.lines.Start(continued);
        Read(k, splitter, w, r.lines);
    } else {
        w.recorder.Clear();
        Read(k, splitter, w, w.recorder);
    }
    Done& done = r.done;
    done.tail = splitter.EndPiece(lines_ ? static_cast<ByteSentenceReceiver&>(r.lines)
                                         : static_cast<ByteSentenceReceiver&>(w.recorder),
                                  done.sentences, done.points);
    if (!lines_) {
        WaitTurn(numbered_, k);
        Format(k, w, r);  // the numbers taken under the turn, the lines made after it
    }
}

void Printer::Format(std::size_t k, Worker& w, Result& r) {
    Done& done = r.done;
    const bool continued = k > 0;
    const std::int64_t sentencesBefore = sentences_, pointsBefore = points_;
    QByteArray first;
    std::int64_t firstStart = -1;
    if (continued && done.sentences > 0) {
        first = std::exchange(open_, QByteArray());
        firstStart = openStart_;
    }
    if (!continued || done.sentences > 0) {
        open_ = std::move(done.tail.text);
        openStart_ = done.tail.start >= 0 ? done.tail.start + pointsBefore : -1;
    } else {
        open_ += done.tail.text;
    }
    sentences_ += done.sentences;
    points_ += done.points;
    PassTurn(numbered_);

    r.writer.NumberFrom(sentencesBefore);
    const auto& records = w.recorder.records;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const Recorder::Record& record = records[i];
        QByteArrayView text = w.recorder.Text(record);
        std::int64_t start = record.start + pointsBefore;
        if (i == 0 && continued) {
            first.append(text);
            text = first;
            start = firstStart;
        }
        r.writer.Sentence(text, start, record.end + pointsBefore);
    }
}

void Printer::Deliver(std::size_t k, Result& r) {
    FileOutput& out = writer_.output();
    Done& done = r.done;
    if (lines_) {
        const bool continued = k > 0;
        if (continued && r.lines.ended) {
            open_ += r.lines.head;
            open_ += '\n';
            out.Pass(open_);
            open_.resize(0);
            parted_ = false;
        } else if (continued && !r.lines.head.isEmpty()) {
            // Parts of the sentence carried in went out in this piece.
            open_ += r.lines.head;
            out.Pass(open_);
            open_.resize(0);
            parted_ = true;
        }
        out.Pass(r.output.Collected());
        if (!continued || r.lines.ended) {
            open_ = std::move(done.tail.text);
            parted_ = done.tail.parted;
        } else {
            open_ += done.tail.text;
            parted_ = parted_ || done.tail.parted;
        }
        // A sentence across many pieces goes out in parts, as it would in one go.
        const qsizetype part = options_.partUnits;
        if (ByteSplitter::GoesInParts(open_, part)) {
            out.Pass(open_);
            open_.resize(0);
            parted_ = true;
        }
        sentences_ += done.sentences;
        if (k + 1 == pieces_ && parted_) {
            endedInsideParts_ = true;
            writer_.AbandonSentence();
        }
        return;
    }
    out.Pass(r.output.Collected());
}

std::int64_t Printer::Finish() {
    if (failure_) std::rethrow_exception(failure_);
    if (delivered_ < pieces_) throw std::bad_alloc();
    return sentences_;
}

}  // namespace

bool PrintInPieces(ByteSource& source, std::int64_t text, ByteSplitter& splitter,
                   const ByteSplitter::Options& options, const Tuning& tuning,
                   SentenceWriter& writer, std::int64_t& sentences, bool& endedInsideParts) {
    // Each piece starts just after a byte a piece may be cut after, looked for from every
    // tuning.pieceBytes; a stretch without one joins the piece before. A text read as it is
    // when opened: one that grows meanwhile may grow without end.
    const std::int64_t size = source.SizeAtOpen(), piece = tuning.pieceBytes;
    std::vector<std::int64_t> starts{text};
    char probe[4096];
    for (std::int64_t nominal = text + piece; nominal < size; nominal += piece) {
        const std::int64_t limit = std::min(nominal + piece, size);
        std::int64_t cut = -1;
        qsizetype got = 0;
        for (std::int64_t at = nominal; cut < 0 && at < limit; at += got) {
            got = source.ReadAt(at, probe,
                                qsizetype(std::min<std::int64_t>(sizeof probe, limit - at)));
            if (got == 0) break;
            for (qsizetype i = 0; i < got && cut < 0; ++i)
                if (splitter.CutsAfter(static_cast<unsigned char>(probe[i]))) cut = at + i + 1;
        }
        if (cut >= 0 && cut < size) starts.push_back(cut);
        if (got == 0) break;
        // A piece is held whole, and so is what it prints: a text with long stretches that
        // cannot be cut goes through in one go, held a block at a time.
        if (limit - starts.back() > 8 * piece) return false;
    }
    starts.push_back(size);
    Printer printer(source, text, options, tuning, writer, std::move(starts));
    std::unique_ptr<ByteSplitter> other =
        ByteSplitter::For(writer.settings().separators, writer.settings().abbreviations, options);
    std::thread thread;
    try {
        if (other) thread = std::thread([&] { printer.Work(*other); });
    } catch (const std::system_error&) {
        // This thread alone, then.
    }
    printer.Work(splitter);
    if (thread.joinable()) thread.join();
    sentences = printer.Finish();
    endedInsideParts = printer.endedInsideParts();
    return true;
}

}  // namespace brintale::cli
