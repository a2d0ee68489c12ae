#include "cli/byte_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

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
