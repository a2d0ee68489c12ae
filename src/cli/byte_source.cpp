#include "cli/byte_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/work_queue.h"

namespace brintale::cli {

namespace {

QString ErrorText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

}  // namespace

QString ShownName(const InputName& input) {
    return input.standardInput() ? QStringLiteral("standard input")
                                 : QString::fromLocal8Bit(input.bytes);
}

qsizetype ByteSource::ReadAt(std::int64_t, char*, qsizetype) {
    throw ReadError{QStringLiteral("%1 cannot be read twice").arg(name())};
}

Utf8Validator ByteSource::ValidateFrom(std::int64_t offset, Utf8Validator validator,
                                       qsizetype block) {
    if (!validator.valid()) return validator;
    QByteArray buffer(std::max<qsizetype>(block, 1), Qt::Uninitialized);
    for (;;) {
        const qsizetype got = ReadAt(offset, buffer.data(), buffer.size());
        if (got == 0 || !validator.Feed(QByteArrayView(buffer.constData(), got))) break;
        offset += got;
    }
    return validator;
}

FileSource::FileSource(const InputName& input)
    : standardInput_(input.standardInput()), name_(ShownName(input)) {
    if (standardInput_) {
        fd_ = STDIN_FILENO;
    } else {
        fd_ = ::open(input.bytes.constData(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) {
            const int error = errno;
            if (error == ENOENT) throw ReadError{QStringLiteral("%1: no such file").arg(name_)};
            throw ReadError{QStringLiteral("%1: %2").arg(name_, ErrorText(error))};
        }
    }
    struct stat status {};
    if (::fstat(fd_, &status) != 0) {
        const int error = errno;
        throw ReadError{QStringLiteral("%1: %2").arg(name_, ErrorText(error))};
    }
    if (S_ISDIR(status.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        throw ReadError{
            QStringLiteral("\"%1\" is a folder, not a file, and cannot be read.").arg(name_)};
    }
    // A file the system reports no size for (those of /proc) is read to its end all the
    // same, but not ahead: its bytes may change between two readings.
    regular_ = S_ISREG(status.st_mode) && status.st_size > 0;
    size_ = status.st_size;
    // Standard input may come part read by a program before this one.
    if (regular_ && standardInput_) {
        const off_t at = ::lseek(fd_, 0, SEEK_CUR);
        regular_ = at >= 0;
        start_ = regular_ ? at : 0;
    }
    if (regular_) ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
}

FileSource::~FileSource() {
    if (fd_ >= 0 && !standardInput_) ::close(fd_);
}

qsizetype FileSource::Read(char* buffer, qsizetype size) {
    for (;;) {
        const ssize_t got = ::read(fd_, buffer, static_cast<size_t>(size));
        if (got >= 0) return got;
        if (errno == EINTR) continue;
        const int error = errno;
        throw ReadError{QStringLiteral("\"%1\" cannot be read: %2.").arg(name_, ErrorText(error))};
    }
}

qsizetype FileSource::ReadAt(std::int64_t offset, char* buffer, qsizetype size) {
    for (;;) {
        const ssize_t got = ::pread(fd_, buffer, static_cast<size_t>(size), offset);
        if (got >= 0) return got;
        if (errno == EINTR) continue;
        const int error = errno;
        throw ReadError{QStringLiteral("\"%1\" cannot be read: %2.").arg(name_, ErrorText(error))};
    }
}

// The bytes [from, to) fed into validator a window at a time, read into a buffer the core's
// cache holds: on a virtual machine, bytes looked at through a mapping come a third as fast.
// A file cut short meanwhile ends the look where its bytes end.
std::int64_t FileSource::ValidateRead(std::int64_t from, std::int64_t to,
                                      Utf8Validator& validator) {
    static const std::int64_t page = ::sysconf(_SC_PAGESIZE);
    const std::int64_t window = std::max<std::int64_t>((windowBytes_ + page - 1) / page, 1) * page;
    // One buffer a thread, from file to file: a fresh one would fault in every page.
    thread_local QByteArray buffer;
    const auto size = qsizetype(std::min(window, std::max<std::int64_t>(to - from, 1)));
    if (buffer.size() < size) buffer.resize(size);
    std::int64_t offset = from;
    while (offset < to && validator.valid()) {
        const std::int64_t end = std::min(offset / page * page + window, to);
        const auto wanted = qsizetype(end - offset);
        if (onWindow_) onWindow_();
        const qsizetype got = ReadAt(offset, buffer.data(), wanted);
        validator.Feed(QByteArrayView(buffer.constData(), got));
        offset += got;
        if (got < wanted) break;
    }
    return offset;
}

Utf8Validator FileSource::ValidateFrom(std::int64_t offset, Utf8Validator validator,
                                       qsizetype block) {
    struct stat status {};
    if (!regular_ || ::fstat(fd_, &status) != 0)
        return ByteSource::ValidateFrom(offset, validator, block);
    // With a core to spare, the second half is looked at on it: the look is as fast as the
    // memory gives bytes to one core, and nothing is printed before it ends.
    if (twoCores_ && status.st_size - offset >= twoCoresFrom_ && validator.Finish()) {
        std::int64_t middle = offset + (status.st_size - offset) / 2;
        // From a byte that starts a character: a valid text has one within three.
        char head[3] = {};
        const qsizetype got = ReadAt(middle, head, sizeof head);
        for (qsizetype k = 0; k < got && (static_cast<unsigned char>(head[k]) & 0xC0) == 0x80; ++k)
            ++middle;
        struct Half {
            std::int64_t from = 0, to = 0, reached = 0;
            Utf8Validator validator;
        };
        OrderedWorkQueue<Half> other(1, 1, [this](Half& half) {
            half.reached = ValidateRead(half.from, half.to, half.validator);
        });
        if (other.threads() == 1) {
            Half second{middle, status.st_size, middle, Utf8Validator()};
            other.Push(std::move(second), [](Half&) {});
            Utf8Validator first = validator;
            const std::int64_t reached = ValidateRead(offset, middle, first);
            other.TakeFinished(true, [&](Half& half) { second = std::move(half); });
            if (!first.valid()) return first;
            if (reached == middle && first.Finish()) {
                first.Then(second.validator);
                return ByteSource::ValidateFrom(second.reached, first, block);
            }
            // A file cut short, or a character cut at the middle (no UTF-8 then): on from there.
            offset = reached;
            validator = first;
        }
    }
    offset = ValidateRead(offset, status.st_size, validator);
    // What the windows did not reach: the bytes added since.
    return ByteSource::ValidateFrom(offset, validator, block);
}

qsizetype MemorySource::Read(char* buffer, qsizetype size) {
    const qsizetype n = std::min({size, block_, bytes_.size() - next_});
    std::memcpy(buffer, bytes_.constData() + next_, static_cast<size_t>(n));
    next_ += n;
    return n;
}

qsizetype MemorySource::ReadAt(std::int64_t offset, char* buffer, qsizetype size) {
    if (!readAhead_) return ByteSource::ReadAt(offset, buffer, size);
    const qsizetype from = std::min<qsizetype>(offset, bytes_.size());
    const qsizetype n = std::min(size, bytes_.size() - from);
    std::memcpy(buffer, bytes_.constData() + from, static_cast<size_t>(n));
    return n;
}

}  // namespace brintale::cli
