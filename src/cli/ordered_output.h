#pragma once

#include <QByteArray>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

namespace brintale::cli {

// The output of several files worked on at once, in the order of the files: the file whose
// turn it is writes straight through, the others keep theirs until their turn, and wait
// when they have kept `keepLimit` bytes, so that memory stays bounded.
class OrderedOutput {
  public:
    // onFailure hears the system's reason (errno) of the first write that fails, at once,
    // from the thread that met it; it may end the process.
    OrderedOutput(std::FILE* out, std::FILE* errors, int files, qsizetype keepLimit,
                  std::function<void(int)> onFailure = {});
    OrderedOutput(const OrderedOutput&) = delete;
    OrderedOutput& operator=(const OrderedOutput&) = delete;

    // Output and one-line messages of file `file`, in the order written.
    void Write(int file, QByteArrayView bytes);
    void Error(int file, QByteArrayView line);
    // The file is done; the next one's turn comes when every earlier one is done.
    void Finish(int file);

    // Whether every write reached the stream (false after the first that failed).
    bool ok() const;
    // Why the first failed write failed; 0 while none has.
    int error() const;

  private:
    struct Piece {
        bool error;
        QByteArray bytes;
    };
    struct Slot {
        std::deque<Piece> kept;
        qsizetype keptBytes = 0;
        bool done = false;
    };
    void Emit(bool error, QByteArrayView bytes);  // with the lock held
    void Advance();                               // with the lock held
    void Failed(int error);                       // with the lock held

    std::FILE* out_;
    std::FILE* errors_;
    qsizetype keepLimit_;
    mutable std::mutex mutex_;
    std::condition_variable turnChanged_;
    std::vector<Slot> slots_;
    int turn_ = 0;
    bool failed_ = false;
    int error_ = 0;
    std::function<void(int)> onFailure_;
};

}  // namespace brintale::cli
