#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>

#include "cli/options.h"
#include "cli/text_decoder.h"

namespace brintale::cli {

// A reading fault, as one line for the user.
struct ReadError {
    QString message;
};

// Where a text's bytes come from, a block at a time.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    // Up to size bytes; 0 only at the end. Throws ReadError.
    virtual qsizetype Read(char* buffer, qsizetype size) = 0;
    // Whether ReadAt can read ahead of Read without disturbing it.
    virtual bool CanReadAhead() const { return false; }
    virtual qsizetype ReadAt(std::int64_t offset, char* buffer, qsizetype size);
    // The offset for ReadAt of the first byte Read gives.
    virtual std::int64_t ReadAtStart() const { return 0; }
    // The offset ReadAt reaches the end at, as the system last reported it; -1: not known.
    virtual std::int64_t SizeAtOpen() const { return -1; }
    // The bytes from offset to the end (as it is when they run out) fed into validator, block
    // bytes at a time, for a source that can read ahead, by ReadAt.
    virtual Utf8Validator ValidateFrom(std::int64_t offset, Utf8Validator validator,
                                       qsizetype block);
    // The name as the user gave it, for messages.
    virtual QString name() const = 0;

    // Whether a core is to spare for ValidateFrom.
    void ValidateOnTwoCores(bool two) { twoCores_ = two; }

  protected:
    bool twoCores_ = false;
};

// A file named by the shell's bytes, or standard input for "-": read(2) in large blocks.
class FileSource : public ByteSource {
  public:
    // Throws ReadError: no such file, a folder, permission denied...
    explicit FileSource(const InputName& input);
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    qsizetype Read(char* buffer, qsizetype size) override;
    bool CanReadAhead() const override { return regular_; }
    qsizetype ReadAt(std::int64_t offset, char* buffer, qsizetype size) override;
    std::int64_t ReadAtStart() const override { return start_; }
    std::int64_t SizeAtOpen() const override { return regular_ ? size_ : -1; }
    // A window at a time, read into a buffer the cache holds. A file cut short meanwhile is
    // looked at to its new end, one grown to its new end.
    Utf8Validator ValidateFrom(std::int64_t offset, Utf8Validator validator,
                               qsizetype block) override;
    QString name() const override { return name_; }

    // For tests: the bytes looked at at once, and a call before each window is read.
    void SetWindow(qsizetype bytes) { windowBytes_ = bytes; }
    void OnWindow(std::function<void()> call) { onWindow_ = std::move(call); }
    void SetTwoCoresFrom(std::int64_t bytes) { twoCoresFrom_ = bytes; }

    // A look on two cores pays from so many bytes on.
    static constexpr std::int64_t kTwoCoresFrom = std::int64_t(16) << 20;

  private:
    std::int64_t ValidateRead(std::int64_t from, std::int64_t to, Utf8Validator& validator);

    int fd_ = -1;
    bool standardInput_ = false;
    bool regular_ = false;
    std::int64_t start_ = 0;  // where standard input stood when handed over
    std::int64_t size_ = 0;
    QString name_;
    qsizetype windowBytes_ = qsizetype(1) << 19;
    std::int64_t twoCoresFrom_ = kTwoCoresFrom;
    std::function<void()> onWindow_;
};

// Bytes in memory, handed out in blocks of at most `block` bytes; for tests.
class MemorySource : public ByteSource {
  public:
    MemorySource(QByteArray bytes, qsizetype block, bool readAhead)
        : bytes_(std::move(bytes)), block_(block), readAhead_(readAhead) {}
    qsizetype Read(char* buffer, qsizetype size) override;
    bool CanReadAhead() const override { return readAhead_; }
    qsizetype ReadAt(std::int64_t offset, char* buffer, qsizetype size) override;
    QString name() const override { return QStringLiteral("memory"); }

  private:
    QByteArray bytes_;
    qsizetype block_;
    bool readAhead_;
    qsizetype next_ = 0;
};

// How a name is shown in messages: the bytes as the locale reads them.
QString ShownName(const InputName& input);

}  // namespace brintale::cli
