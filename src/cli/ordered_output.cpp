#include "cli/ordered_output.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <utility>

namespace brintale::cli {

namespace {

constexpr std::int64_t kCopyBlock = std::int64_t(1) << 20;
// Written to the temporary file at once: the system's cost of a write is mostly per call up
// to about this size.
constexpr qsizetype kSpillBlock = qsizetype(1) << 20;

// Writes all of bytes at offset; false with errno on the first failure.
bool WriteAllAt(int fd, QByteArrayView bytes, std::int64_t offset) {
    const char* data = bytes.data();
    std::int64_t left = bytes.size();
    while (left > 0) {
        const ssize_t wrote = ::pwrite(fd, data, static_cast<size_t>(left), off_t(offset));
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) {
            if (wrote == 0) errno = ENOSPC;
            return false;
        }
        data += wrote;
        left -= wrote;
        offset += wrote;
    }
    return true;
}

}  // namespace

int OpenSpillFile() {
    const char* tmpdir = std::getenv("TMPDIR");
    const std::string folder = tmpdir && *tmpdir ? tmpdir : "/tmp";
    // A file without a name is gone with the process, however it ends.
    int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
    std::string name = folder + "/brintale-count-XXXXXX";
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return -1;
    ::unlink(name.c_str());
    return fd;
}

OrderedOutput::OrderedOutput(std::FILE* out, std::FILE* errors, int files, qsizetype keepLimit,
                             std::function<void(int)> onFailure, std::function<int()> openSpill,
                             std::int64_t spillLimit)
    : out_(out),
      errors_(errors),
      keepLimit_(keepLimit),
      onFailure_(std::move(onFailure)),
      openSpill_(std::move(openSpill)),
      spillLimit_(spillLimit),
      slots_(static_cast<std::size_t>(files)) {}

OrderedOutput::~OrderedOutput() {
    if (spill_ >= 0) ::close(spill_);
}

void OrderedOutput::Failed(int error) {
    {
        std::unique_lock lock(mutex_);
        if (failed_) return;
        failed_ = true;
        error_ = error != 0 ? error : EIO;
        if (onFailure_) onFailure_(error_);
    }
    turnChanged_.notify_all();
}

void OrderedOutput::Emit(Piece::Kind kind, QByteArrayView bytes) {
    const auto size = static_cast<size_t>(bytes.size());
    if (kind == Piece::Message) {
        // A message goes after the output written before it.
        errno = 0;
        if (!failed_ && std::fflush(out_) != 0) Failed(errno);
        std::fwrite(bytes.data(), 1, size, errors_);
        return;
    }
    // Read errno at once: the next call may change it.
    errno = 0;
    if (!failed_ && std::fwrite(bytes.data(), 1, size, out_) != size) Failed(errno);
}

void OrderedOutput::CopyBack(std::int64_t offset, std::int64_t length, Stretches* sent) {
    if (failed_) return;
    const std::int64_t start = offset, end = offset + length;
    // From file to file inside the system where it can: into a file or a device. A pipe
    // would hold the temporary file's pages themselves until read, and the room given back
    // below would change them; a stream without a descriptor, or one the system cannot send
    // to (a file opened for appending, a terminal), takes the bytes through here.
    if (!sendFile_) {
        struct stat status {};
        const int fd = ::fileno(out_);
        sendFile_ = fd >= 0 && ::fstat(fd, &status) == 0 &&
                    (S_ISREG(status.st_mode) || S_ISCHR(status.st_mode));
    }
    const int to = *sendFile_ ? ::fileno(out_) : -1;
    if (to >= 0) {
        errno = 0;
        if (std::fflush(out_) != 0) return Failed(errno);
        while (offset < end) {
            off_t at = off_t(offset);
            const ssize_t sent = ::sendfile(to, spill_, &at, static_cast<size_t>(end - offset));
            if (sent > 0) {
                offset += sent;
                continue;
            }
            if (sent < 0 && errno == EINTR) continue;
            if (sent < 0 && (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
                sendFile_ = false;
                break;
            }
            return Failed(sent == 0 ? EIO : errno);
        }
    }
    if (offset < end && !copyBuffer_) copyBuffer_.reset(new char[kCopyBlock]);
    while (offset < end && !failed_) {
        const ssize_t got =
            ::pread(spill_, copyBuffer_.get(),
                    static_cast<size_t>(std::min(kCopyBlock, end - offset)), off_t(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            // Output that cannot be read back is output lost: the count has failed.
            Failed(got == 0 ? EIO : errno);
            return;
        }
        Emit(Piece::Output, QByteArrayView(copyBuffer_.get(), got));
        offset += got;
    }
    if (sent)
        sent->emplace_back(start, length);
    else
        GiveBack(start, length);
}

void OrderedOutput::GiveBack(std::int64_t offset, std::int64_t length) {
    // The room is given back to the file system where it can be; a folder that cannot do
    // so keeps it until the end.
    (void)::fallocate(spill_, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, off_t(offset),
                      off_t(length));
    spillHeld_ -= length;
}

void OrderedOutput::Send(Piece& piece, Stretches* sent) {
    if (piece.kind == Piece::Spilled) return CopyBack(piece.offset, piece.length, sent);
    Emit(piece.kind, piece.bytes);
    if (piece.kind == Piece::Output) keptBytes_ -= piece.bytes.size();
}

OrderedOutput::Piece OrderedOutput::TakeFront(std::deque<Piece>& kept) {
    Piece piece = std::move(kept.front());
    kept.pop_front();
    // Stretches of the temporary file that follow one another go out at once.
    while (piece.kind == Piece::Spilled && !kept.empty() && kept.front().kind == Piece::Spilled &&
           kept.front().offset == piece.offset + piece.length) {
        piece.length += kept.front().length;
        kept.pop_front();
    }
    return piece;
}

void OrderedOutput::SendOwn(Slot& slot) {
    while (!slot.kept.empty()) {
        Piece piece = TakeFront(slot.kept);
        Send(piece);
    }
    if (slot.pending.isNull()) return;
    if (!slot.pending.isEmpty()) Emit(Piece::Output, slot.pending);
    slot.pending = QByteArray();
}

void OrderedOutput::SendOn(std::unique_lock<std::mutex>& lock) {
    // Room given back once the writer writes straight through, which is what it waits for.
    Stretches sent;
    while (turn_ < int(slots_.size())) {
        Slot& slot = slots_[static_cast<std::size_t>(turn_)];
        // What a file still at work kept when this began, and all of a file done; the
        // writer sends the rest itself, so that this thread soon gets back to its work.
        for (std::size_t left = slot.kept.size(); !slot.kept.empty() && (slot.done || left > 0);) {
            const std::size_t had = slot.kept.size();
            Piece piece = TakeFront(slot.kept);
            left -= std::min(left, had - slot.kept.size());
            lock.unlock();
            Send(piece, &sent);
            lock.lock();
        }
        if (!slot.done) {
            direct_.store(turn_, std::memory_order_release);
            break;
        }
        ++turn_;
    }
    lock.unlock();
    turnChanged_.notify_all();
    // In as few stretches as there are.
    std::sort(sent.begin(), sent.end());
    for (std::size_t at = 0; at < sent.size();) {
        auto [offset, length] = sent[at];
        while (++at < sent.size() && sent[at].first == offset + length) length += sent[at].second;
        GiveBack(offset, length);
    }
}

bool OrderedOutput::SpillReady() {
    std::call_once(spillOpened_, [this] {
        spill_ = openSpill_ ? openSpill_() : -1;
        if (spill_ < 0) {
            spillBroken_ = true;
            return;
        }
        struct statfs room {};
        if (::fstatfs(spill_, &room) == 0 && room.f_bsize > 0) {
            const bool memory = room.f_type == TMPFS_MAGIC || room.f_type == RAMFS_MAGIC;
            const std::int64_t free = std::int64_t(room.f_bavail) * std::int64_t(room.f_bsize);
            spillLimit_ = std::min(spillLimit_, free / (memory ? 8 : 2));
        }
    });
    return spill_ >= 0 && !spillBroken_;
}

bool OrderedOutput::Spill(Slot& slot, QByteArrayView bytes) {
    if (!SpillReady()) return false;
    // Full for now: what comes is kept in memory, or the writer waits until earlier output
    // is sent on.
    if (spillHeld_ + slot.pending.size() + bytes.size() > spillLimit_) return false;
    // A writer whose turn is not near writes blocks that large: they go out without a copy.
    if (slot.pending.isEmpty() && bytes.size() >= kHeldBlock) return WriteSpill(slot, bytes);
    if (slot.pending.capacity() < kSpillBlock) slot.pending.reserve(kSpillBlock + bytes.size());
    slot.pending.append(bytes);
    if (slot.pending.size() >= kSpillBlock) WriteSpill(slot);
    return true;
}

void OrderedOutput::WriteSpill(Slot& slot) {
    if (WriteSpill(slot, slot.pending)) {
        slot.pending.resize(0);
        return;
    }
    keptBytes_ += slot.pending.size();
    Keep(slot, Piece{Piece::Output, std::exchange(slot.pending, QByteArray())});
}

bool OrderedOutput::WriteSpill(Slot& slot, QByteArrayView bytes) {
    if (spillBroken_) return false;
    const qsizetype size = bytes.size();
    const std::int64_t offset = spillEnd_.fetch_add(size);
    if (!WriteAllAt(spill_, bytes, offset)) {
        // A full folder: what went out before stays good, the rest waits in memory.
        spillBroken_ = true;
        return false;
    }
    spilled_ += size;
    spillHeld_ += size;
    std::unique_lock lock(mutex_);
    if (!slot.kept.empty()) {
        Piece& last = slot.kept.back();
        if (last.kind == Piece::Spilled && last.offset + last.length == offset) {
            last.length += size;
            return true;
        }
    }
    slot.kept.push_back(Piece{Piece::Spilled, {}, offset, size});
    return true;
}

void OrderedOutput::Keep(Slot& slot, Piece piece) {
    std::unique_lock lock(mutex_);
    slot.kept.push_back(std::move(piece));
}

void OrderedOutput::Write(int file, QByteArrayView bytes) {
    if (bytes.isEmpty() || failed_) return;
    Slot& slot = slots_[static_cast<std::size_t>(file)];
    if (direct_.load(std::memory_order_acquire) == file) {
        if (!slot.kept.empty() || !slot.pending.isNull()) SendOwn(slot);
        Emit(Piece::Output, bytes);
        return;
    }
    // Once output is on its way to the temporary file, what follows goes the same way.
    if (!slot.pending.isEmpty() || keptBytes_ + bytes.size() > keepLimit_) {
        if (Spill(slot, bytes)) return;
        if (!slot.pending.isEmpty()) WriteSpill(slot);
    }
    keptBytes_ += bytes.size();
    Keep(slot, Piece{Piece::Output, bytes.toByteArray()});
    if (keptBytes_ <= keepLimit_) return;
    // No room left anywhere: the writer waits until it writes straight through, as the
    // earlier ones never do.
    {
        std::unique_lock lock(mutex_);
        turnChanged_.wait(lock, [&] { return failed_ || direct_ == file; });
    }
    // After a failure only the messages still go out, whoever sends them.
    if (direct_.load(std::memory_order_acquire) == file) SendOwn(slot);
}

void OrderedOutput::Error(int file, QByteArrayView line) {
    Slot& slot = slots_[static_cast<std::size_t>(file)];
    if (direct_.load(std::memory_order_acquire) == file) {
        SendOwn(slot);
        Emit(Piece::Message, line);
        return;
    }
    if (!slot.pending.isEmpty()) WriteSpill(slot);
    Keep(slot, Piece{Piece::Message, line.toByteArray()});
}

void OrderedOutput::Finish(int file) {
    Slot& slot = slots_[static_cast<std::size_t>(file)];
    if (direct_.load(std::memory_order_acquire) == file) {
        SendOwn(slot);
    } else {
        // A file done before its turn keeps no block in memory: many may be done so.
        if (!slot.pending.isEmpty()) WriteSpill(slot);
        slot.pending = QByteArray();
    }
    std::unique_lock lock(mutex_);
    slot.done = true;
    // Otherwise whoever sends what this file or an earlier one kept hands the turn on.
    if (turn_ == file && direct_ == file) SendOn(lock);
}

bool OrderedOutput::ok() const { return !failed_; }

int OrderedOutput::error() const {
    std::unique_lock lock(mutex_);
    return error_;
}

std::int64_t OrderedOutput::spilledBytes() const { return spilled_; }

}  // namespace brintale::cli
