#include "documents/document_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>

#include "core/failure.h"
#include "documents/html_reader.h"
#include "documents/markdown_reader.h"
#include "documents/office_readers.h"
#include "documents/pdf_reader.h"
#include "documents/zip_archive.h"

namespace brintale::documents {

namespace {

// By the name's bytes, which need not be text in the locale's encoding.
class FileStream : public ByteStream {
  public:
    explicit FileStream(const QByteArray& nativePath, Intake* intake = nullptr)
        : fd_(::open(nativePath.constData(), O_RDONLY | O_CLOEXEC)), intake_(intake) {
        if (fd_ < 0) throw Failure(QStringLiteral("it cannot be opened: %1").arg(ErrorText()));
        struct stat status {};
        if (intake_ && ::fstat(fd_, &status) == 0 && S_ISREG(status.st_mode)) {
            const auto size = static_cast<quint64>(status.st_size);
            try {
                intake_->Declare(size);
            } catch (...) {
                ::close(fd_);
                throw;
            }
            intake_->Expect(size);
        }
    }
    ~FileStream() override { ::close(fd_); }
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;

    qsizetype Read(char* buffer, qsizetype size) override {
        for (;;) {
            const ssize_t got = ::read(fd_, buffer, static_cast<size_t>(size));
            if (got >= 0) {
                if (intake_) intake_->Take(static_cast<quint64>(got));
                return got;
            }
            if (errno != EINTR)
                throw Failure(QStringLiteral("it cannot be read: %1").arg(ErrorText()));
        }
    }

  private:
    static QString ErrorText() { return QString::fromLocal8Bit(std::strerror(errno)); }
    int fd_;
    Intake* intake_;
};

// Where a document's bytes come from: a file by its name or bytes in memory. Each format
// is read the same way from either.
struct Source {
    std::function<std::unique_ptr<ByteStream>(Intake&)> stream;
    std::function<void(TextOut&)> readPdf;
    std::function<ZipArchive(Intake&)> openZip;
    // The first bytes, to tell a document a password protects from a broken ZIP.
    std::function<QByteArray()> head;
};

void Read(const Source& source, Format format, const TextSink& sink, const ReadOptions& options) {
    TextOut out(sink);
    Intake intake(options);
    switch (format) {
        case Format::Text:
            break;
        case Format::Html:
            ReadHtml(*source.stream(intake), out);
            break;
        case Format::Markdown:
            ReadMarkdown(*source.stream(intake), out);
            break;
        case Format::Pdf:
            source.readPdf(out);
            break;
        case Format::Docx:
        case Format::Odt:
        case Format::Epub: {
            std::optional<ZipArchive> archive;
            try {
                archive.emplace(source.openZip(intake));
            } catch (const Failure& failure) {
                // A word processor keeps a document that a password protects in a compound
                // file, no ZIP.
                if (LooksLikeCompoundFile(source.head()))
                    throw Failure(QStringLiteral("it is protected by a password"));
                throw;
            }
            if (format == Format::Docx)
                ReadDocx(*archive, out);
            else if (format == Format::Odt)
                ReadOdt(*archive, out);
            else
                ReadEpub(*archive, out);
            break;
        }
    }
}

}  // namespace

void ReadDocument(const QByteArray& nativePath, Format format, const TextSink& sink,
                  const ReadOptions& options) {
    const Source file{
        [&](Intake& intake) { return std::make_unique<FileStream>(nativePath, &intake); },
        [&](TextOut& out) { ReadPdfFile(nativePath, out, options.progress); },
        [&](Intake& intake) { return ZipArchive::OpenFile(nativePath, &intake); },
        [&] {
            char head[8] = {};
            qsizetype have = 0;
            try {
                FileStream stream(nativePath);
                have = stream.Read(head, sizeof head);
            } catch (const Failure&) {
            }
            return QByteArray(head, have);
        }};
    Read(file, format, sink, options);
}

void ReadDocumentBytes(QByteArrayView bytes, Format format, const TextSink& sink,
                       const ReadOptions& options) {
    const Source memory{
        [&](Intake& intake) {
            intake.Declare(static_cast<quint64>(bytes.size()));
            return std::make_unique<MemoryStream>(bytes);
        },
        [&](TextOut& out) { ReadPdfBytes(bytes, out, options.progress); },
        [&](Intake& intake) { return ZipArchive::OpenBytes(bytes, &intake); },
        [&] { return bytes.first(std::min<qsizetype>(bytes.size(), 8)).toByteArray(); }};
    Read(memory, format, sink, options);
}

}  // namespace brintale::documents
