#include "documents/document_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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

void ReadZip(const ZipArchive& archive, Format format, TextOut& out) {
    switch (format) {
        case Format::Docx:
            ReadDocx(archive, out);
            break;
        case Format::Odt:
            ReadOdt(archive, out);
            break;
        default:
            ReadEpub(archive, out);
            break;
    }
}

// A word processor keeps a document that a password protects in a compound file, no ZIP.
[[noreturn]] void ThrowNoZip(QByteArrayView head, const Failure& failure) {
    if (LooksLikeCompoundFile(head)) throw Failure(QStringLiteral("it is protected by a password"));
    throw failure;
}

}  // namespace

void ReadDocument(const QByteArray& nativePath, Format format, const TextSink& sink,
                  const ReadOptions& options) {
    TextOut out(sink);
    Intake intake(options);
    switch (format) {
        case Format::Text:
            break;
        case Format::Html:
        case Format::Markdown: {
            FileStream stream(nativePath, &intake);
            if (format == Format::Html)
                ReadHtml(stream, out);
            else
                ReadMarkdown(stream, out);
            break;
        }
        case Format::Pdf:
            ReadPdfFile(nativePath, out, options.progress);
            break;
        case Format::Docx:
        case Format::Odt:
        case Format::Epub: {
            std::optional<ZipArchive> archive;
            try {
                archive.emplace(ZipArchive::OpenFile(nativePath, &intake));
            } catch (const Failure& failure) {
                char head[8] = {};
                qsizetype have = 0;
                try {
                    FileStream file(nativePath);
                    have = file.Read(head, sizeof head);
                } catch (const Failure&) {
                }
                ThrowNoZip(QByteArrayView(head, have), failure);
            }
            ReadZip(*archive, format, out);
            break;
        }
    }
}

void ReadDocumentBytes(QByteArrayView bytes, Format format, const TextSink& sink,
                       const ReadOptions& options) {
    TextOut out(sink);
    Intake intake(options);
    switch (format) {
        case Format::Text:
            break;
        case Format::Html:
        case Format::Markdown: {
            intake.Declare(static_cast<quint64>(bytes.size()));
            MemoryStream stream(bytes);
            if (format == Format::Html)
                ReadHtml(stream, out);
            else
                ReadMarkdown(stream, out);
            break;
        }
        case Format::Pdf:
            ReadPdfBytes(bytes, out, options.progress);
            break;
        case Format::Docx:
        case Format::Odt:
        case Format::Epub: {
            std::optional<ZipArchive> archive;
            try {
                archive.emplace(ZipArchive::OpenBytes(bytes, &intake));
            } catch (const Failure& failure) {
                ThrowNoZip(bytes, failure);
            }
            ReadZip(*archive, format, out);
            break;
        }
    }
}

}  // namespace brintale::documents
