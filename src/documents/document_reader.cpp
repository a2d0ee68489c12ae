#include "documents/document_reader.h"

#include <QFile>

#include "core/failure.h"
#include "documents/html_reader.h"
#include "documents/markdown_reader.h"
#include "documents/office_readers.h"
#include "documents/pdf_reader.h"
#include "documents/zip_archive.h"

namespace brintale::documents {

namespace {

class FileStream : public ByteStream {
  public:
    explicit FileStream(const QByteArray& nativePath) : file_(QFile::decodeName(nativePath)) {
        if (!file_.open(QIODevice::ReadOnly))
            throw Failure(QStringLiteral("it cannot be opened: %1").arg(file_.errorString()));
    }
    qsizetype Read(char* buffer, qsizetype size) override {
        const qint64 got = file_.read(buffer, size);
        if (got < 0)
            throw Failure(QStringLiteral("it cannot be read: %1").arg(file_.errorString()));
        return static_cast<qsizetype>(got);
    }

  private:
    QFile file_;
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

void ReadDocument(const QByteArray& nativePath, Format format, const TextSink& sink) {
    TextOut out(sink);
    switch (format) {
        case Format::Text:
            break;
        case Format::Html:
        case Format::Markdown: {
            FileStream stream(nativePath);
            if (format == Format::Html)
                ReadHtml(stream, out);
            else
                ReadMarkdown(stream, out);
            break;
        }
        case Format::Pdf:
            ReadPdfFile(nativePath, out);
            break;
        case Format::Docx:
        case Format::Odt:
        case Format::Epub: {
            std::optional<ZipArchive> archive;
            try {
                archive.emplace(ZipArchive::OpenFile(nativePath));
            } catch (const Failure& failure) {
                QFile file(QFile::decodeName(nativePath));
                ThrowNoZip(file.open(QIODevice::ReadOnly) ? file.read(8) : QByteArray(), failure);
            }
            ReadZip(*archive, format, out);
            break;
        }
    }
}

void ReadDocumentBytes(QByteArrayView bytes, Format format, const TextSink& sink) {
    TextOut out(sink);
    switch (format) {
        case Format::Text:
            break;
        case Format::Html:
        case Format::Markdown: {
            MemoryStream stream(bytes);
            if (format == Format::Html)
                ReadHtml(stream, out);
            else
                ReadMarkdown(stream, out);
            break;
        }
        case Format::Pdf:
            ReadPdfBytes(bytes, out);
            break;
        case Format::Docx:
        case Format::Odt:
        case Format::Epub: {
            std::optional<ZipArchive> archive;
            try {
                archive.emplace(ZipArchive::OpenBytes(bytes));
            } catch (const Failure& failure) {
                ThrowNoZip(bytes, failure);
            }
            ReadZip(*archive, format, out);
            break;
        }
    }
}

}  // namespace brintale::documents
