#include "cli/document_source.h"

#include <unistd.h>

#include <QFile>
#include <QTemporaryFile>
#include <optional>

#include "core/failure.h"
#include "documents/document_format.h"
#include "documents/document_stream.h"

namespace brintale::cli {

namespace {

class DocumentSource : public ByteSource {
  public:
    DocumentSource(const QByteArray& nativePath, documents::Format format, QString name,
                   std::unique_ptr<QTemporaryFile> spool)
        : spool_(std::move(spool)), stream_(nativePath, format), name_(std::move(name)) {}

    qsizetype Read(char* buffer, qsizetype size) override {
        try {
            return stream_.Read(buffer, size);
        } catch (const Failure& failure) {
            throw ReadError{QStringLiteral("%1: %2").arg(name_, failure.description())};
        }
    }
    QString name() const override { return name_; }

  private:
    std::unique_ptr<QTemporaryFile> spool_;  // standard input, which a container needs whole
    documents::DocumentTextStream stream_;
    QString name_;
};

// A document cannot be read from a pipe as it comes: its parts are found by seeking.
std::unique_ptr<QTemporaryFile> SpoolStandardInput() {
    auto file = std::make_unique<QTemporaryFile>();
    if (!file->open())
        throw ReadError{QStringLiteral("standard input: no temporary file to hold it: %1")
                            .arg(file->errorString())};
    char block[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(STDIN_FILENO, block, sizeof block);
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            throw ReadError{QStringLiteral("standard input: %1")
                                .arg(QString::fromLocal8Bit(std::strerror(errno)))};
        }
        if (file->write(block, got) != got)
            throw ReadError{QStringLiteral("standard input: the temporary file cannot hold it: %1")
                                .arg(file->errorString())};
    }
    file->flush();
    return file;
}

}  // namespace

std::unique_ptr<ByteSource> OpenInput(const InputName& input, const QString& from) {
    const auto named = documents::FormatFromName(from);
    if (named == documents::Format::Text) return std::make_unique<FileSource>(input);
    if (input.standardInput()) {
        // A pipe is told by nothing but --from.
        if (!named) return std::make_unique<FileSource>(input);
        auto spool = SpoolStandardInput();
        const QByteArray path = QFile::encodeName(spool->fileName());
        return std::make_unique<DocumentSource>(path, *named, ShownName(input), std::move(spool));
    }
    // Opening it first names a missing file or a folder as for any text.
    auto file = std::make_unique<FileSource>(input);
    const documents::Format format = named ? *named : documents::DetectFormat(input.bytes);
    if (format == documents::Format::Text) return file;
    file.reset();
    return std::make_unique<DocumentSource>(input.bytes, format, ShownName(input), nullptr);
}

}  // namespace brintale::cli
