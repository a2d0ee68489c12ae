#pragma once

#include <QByteArray>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace brintale::cli {

// An unlinked temporary file in $TMPDIR (or /tmp), read and written; -1 with errno when
// there is none.
int OpenSpillFile();

// The output of several files worked on at once, in the order of the files: the file whose
// turn it is writes straight through, the others keep theirs until their turn. Together
// they keep at most `keepLimit` bytes in memory (and each writer a block on its way);
// beyond that the output goes to a temporary file, and where that cannot be made or fills
// up, the file's writer waits for its turn, so that memory stays bounded and nothing is
// lost. The temporary file holds at most `spillLimit` bytes not yet sent on, and never
// more than half the room its folder had when it was made (an eighth where the folder is
// memory): a later file without end (a device, a pipe that never closes) must not fill the
// disk while an earlier one is slow.
//
// When a file is done, the thread that finished it sends on what the next file kept so far
// while that file's writer goes on keeping more; the writer writes straight through from
// when all it kept before has gone out. So a writer never stops to send what it kept, and a
// thread with no file left to work on does it.
//
// Each file is written by one thread at a time (its writer), which may change from one call
// to the next only where the calls are ordered (one thread hands the file to another).
class OrderedOutput {
  public:
    // onFailure hears the system's reason (errno) of the first write that fails, at once,
    // from the thread that met it; it may end the process. openSpill makes the temporary
    // file at the first need (an open descriptor, or -1 with errno).
    OrderedOutput(std::FILE* out, std::FILE* errors, int files, qsizetype keepLimit,
                  std::function<void(int)> onFailure = {},
                  std::function<int()> openSpill = OpenSpillFile,
                  std::int64_t spillLimit = std::int64_t(4) << 30);
    ~OrderedOutput();
    OrderedOutput(const OrderedOutput&) = delete;
    OrderedOutput& operator=(const OrderedOutput&) = delete;

    // Output and one-line messages of file `file`, in the order written.
    void Write(int file, QByteArrayView bytes);
    void Error(int file, QByteArrayView line);
    // The file is done; the next one's turn comes when every earlier one is done.
    void Finish(int file);

    // Whether the file's output goes straight through now; a writer whose output is kept
    // hands it over in blocks of kHeldBlock, which go to the temporary file without a copy.
    bool WritesThrough(int file) const { return direct_.load(std::memory_order_acquire) == file; }
    static constexpr qsizetype kHeldBlock = qsizetype(1) << 19;

    // Whether every write reached the stream (false after the first that failed).
    bool ok() const;
    // Why the first failed write failed; 0 while none has.
    int error() const;
    // Bytes that went through the temporary file so far.
    std::int64_t spilledBytes() const;

  private:
    struct Piece {
        enum Kind { Output, Message, Spilled } kind;
        QByteArray bytes;         // Output, Message
        std::int64_t offset = 0;  // Spilled: where in the temporary file
        std::int64_t length = 0;
    };
    struct Slot {
        // Under the lock while another thread may be sending them; the writer's alone once
        // it writes straight through.
        std::deque<Piece> kept;
        // The writer's: output on its way to the temporary file, a block at a time, after
        // all that is kept; the memory limit does not count it.
        QByteArray pending;
        bool done = false;  // under the lock
    };
    bool SpillReady();
    // Adds the bytes to those on their way to the temporary file; false where nothing
    // can go there now.
    bool Spill(Slot& slot, QByteArrayView bytes);
    // Writes the pending block to the temporary file; where that fails it is kept in memory
    // and nothing more goes there.
    void WriteSpill(Slot& slot);
    // Writes bytes to the temporary file after all the slot kept; false where it cannot.
    bool WriteSpill(Slot& slot, QByteArrayView bytes);
    void Keep(Slot& slot, Piece piece);
    // The first of the pieces kept, with the stretches of the temporary file right after it.
    static Piece TakeFront(std::deque<Piece>& kept);
    // The writer's, once it writes straight through: what it kept, then what was pending.
    void SendOwn(Slot& slot);
    // With the lock, by the thread that is to send what the file whose turn it is kept:
    // sends it and hands the turn on over the files done, until a file's writer takes over.
    void SendOn(std::unique_lock<std::mutex>& lock);
    // Stretches of the temporary file sent on, whose room is given back later.
    using Stretches = std::vector<std::pair<std::int64_t, std::int64_t>>;
    // By the thread sending output, without the lock; the room of what went out of the
    // temporary file is given back at once, or noted in `sent`.
    void Send(Piece& piece, Stretches* sent = nullptr);
    void Emit(Piece::Kind kind, QByteArrayView bytes);
    void CopyBack(std::int64_t offset, std::int64_t length, Stretches* sent);
    void GiveBack(std::int64_t offset, std::int64_t length);
    void Failed(int error);

    std::FILE* out_;
    std::FILE* errors_;
    const qsizetype keepLimit_;
    std::function<void(int)> onFailure_;
    std::function<int()> openSpill_;
    std::int64_t spillLimit_;  // set with spill_

    mutable std::mutex mutex_;
    std::condition_variable turnChanged_;
    std::vector<Slot> slots_;
    int turn_ = 0;  // under the lock: the file whose output goes out now
    // The file whose writer writes straight through: the turn's, or none while another
    // thread sends what the turn's file kept.
    std::atomic<int> direct_{0};
    std::atomic<bool> failed_{false};
    int error_ = 0;                        // under the lock
    std::atomic<qsizetype> keptBytes_{0};  // in memory, all files together
    std::once_flag spillOpened_;
    int spill_ = -1;                         // set once, under spillOpened_
    std::atomic<bool> spillBroken_{false};   // no more spilling: waiting as before
    std::atomic<std::int64_t> spillEnd_{0};  // room handed out in the temporary file
    std::atomic<std::int64_t> spilled_{0};
    std::atomic<std::int64_t> spillHeld_{0};  // in the temporary file, not yet sent on
    // The sending thread's, for sending spilled output back.
    std::unique_ptr<char[]> copyBuffer_;
    std::optional<bool> sendFile_;  // whether the system sends it, once known
};

}  // namespace brintale::cli
