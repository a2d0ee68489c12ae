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

bool OrderedOutput::IsTurn(int file) const { return turn_.load(std::memory_order_acquire) == file; }

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

void OrderedOutput::CopyBack(std::int64_t offset, std::int64_t length) {
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
    // The room is given back to the file system where it can be; a folder that cannot do
    // so keeps it until the end.
    (void)::fallocate(spill_, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, off_t(start),
                      off_t(length));
    spillHeld_ -= length;
}

void OrderedOutput::Drain(Slot& slot) {
    for (const Piece& piece : slot.kept) {
        if (piece.kind == Piece::Spilled)
            CopyBack(piece.offset, piece.length);
        else
            Emit(piece.kind == Piece::Message ? Piece::Message : Piece::Output, piece.bytes);
        if (piece.kind == Piece::Output) keptBytes_ -= piece.bytes.size();
    }
    slot.kept.clear();
    slot.spare = QByteArray();
}

bool OrderedOutput::Spill(Slot& slot, QByteArrayView bytes) {
    if (spillBroken_) return false;
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
    if (spill_ < 0) return false;
    // Full for now: the writer waits for its turn until earlier output is sent on.
    const qsizetype pending = !slot.kept.empty() && slot.kept.back().kind == Piece::Pending
                                  ? slot.kept.back().bytes.size()
                                  : 0;
    if (spillHeld_ + pending + bytes.size() > spillLimit_) return false;
    if (slot.kept.empty() || slot.kept.back().kind != Piece::Pending) {
        slot.kept.push_back(Piece{Piece::Pending, std::move(slot.spare)});
        slot.kept.back().bytes.reserve(kSpillBlock + bytes.size());
    }
    slot.kept.back().bytes.append(bytes);
    if (slot.kept.back().bytes.size() >= kSpillBlock) WriteSpill(slot, slot.kept.size() - 1);
    return true;
}

void OrderedOutput::WriteSpill(Slot& slot, std::size_t at) {
    if (spillBroken_) return;
    Piece& piece = slot.kept[at];
    const qsizetype size = piece.bytes.size();
    const std::int64_t offset = spillEnd_.fetch_add(size);
    if (!WriteAllAt(spill_, piece.bytes, offset)) {
        // A full folder: what went out before stays good, the rest waits in memory.
        spillBroken_ = true;
        return;
    }
    spilled_ += size;
    spillHeld_ += size;
    slot.spare = std::move(piece.bytes);
    slot.spare.resize(0);
    if (at > 0) {
        Piece& before = slot.kept[at - 1];
        if (before.kind == Piece::Spilled && before.offset + before.length == offset) {
            before.length += size;
            slot.kept.erase(slot.kept.begin() + std::ptrdiff_t(at));
            return;
        }
    }
    piece = Piece{Piece::Spilled, {}, offset, size};
}

void OrderedOutput::WaitForTurn(int file) {
    std::unique_lock lock(mutex_);
    turnChanged_.wait(lock, [&] { return failed_ || IsTurn(file); });
}

void OrderedOutput::Write(int file, QByteArrayView bytes) {
    if (bytes.isEmpty() || failed_) return;
    Slot& slot = slots_[static_cast<std::size_t>(file)];
    if (!IsTurn(file)) {
        if (keptBytes_ + bytes.size() > keepLimit_ && Spill(slot, bytes)) return;
        slot.kept.push_back(Piece{Piece::Output, bytes.toByteArray()});
        keptBytes_ += bytes.size();
        if (keptBytes_ <= keepLimit_) return;
        // No room left anywhere: the file waits for its turn, as the earlier ones never do.
        WaitForTurn(file);
        // After a failure only the messages still go out.
        Drain(slot);
        return;
    }
    Drain(slot);
    Emit(Piece::Output, bytes);
}

void OrderedOutput::Error(int file, QByteArrayView line) {
    Slot& slot = slots_[static_cast<std::size_t>(file)];
    if (!IsTurn(file)) {
        slot.kept.push_back(Piece{Piece::Message, line.toByteArray()});
        return;
    }
    Drain(slot);
    Emit(Piece::Message, line);
}

void OrderedOutput::Finish(int file) {
    Slot& slot = slots_[static_cast<std::size_t>(file)];
    if (!IsTurn(file)) {
        // A file done before its turn keeps no block in memory: many may be done so.
        for (std::size_t at = slot.kept.size(); at-- > 0;)
            if (slot.kept[at].kind == Piece::Pending) WriteSpill(slot, at);
        slot.spare = QByteArray();
    }
    std::unique_lock lock(mutex_);
    slot.done = true;
    if (!IsTurn(file)) return;  // whoever finishes the file before hands the turn on
    // The turn moves on over the files already done, each written out without the lock
    // while it is theirs, so that the others may keep theirs meanwhile.
    for (int next = file;;) {
        lock.unlock();
        Drain(slots_[static_cast<std::size_t>(next)]);
        lock.lock();
        ++next;
        turn_.store(next, std::memory_order_release);
        if (next == int(slots_.size()) || !slots_[static_cast<std::size_t>(next)].done) break;
    }
    lock.unlock();
    turnChanged_.notify_all();
}

bool OrderedOutput::ok() const { return !failed_; }

int OrderedOutput::error() const {
    std::unique_lock lock(mutex_);
    return error_;
}

std::int64_t OrderedOutput::spilledBytes() const { return spilled_; }

}  // namespace brintale::cli
