#include "documents/document_format.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <array>
#include <cerrno>

namespace brintale::documents {

namespace {

struct Named {
    Format format;
    QStringView name;
};

constexpr std::array<Named, 7> kNames = {{{Format::Text, u"text"},
                                          {Format::Docx, u"docx"},
                                          {Format::Odt, u"odt"},
                                          {Format::Html, u"html"},
                                          {Format::Markdown, u"md"},
                                          {Format::Epub, u"epub"},
                                          {Format::Pdf, u"pdf"}}};

// How much of a file tells an HTML document, and how much of a ZIP its formats: the
// mimetype entry comes first, the content types within the first entries.
constexpr qsizetype kHeadBytes = 64 * 1024;

bool LooksLikeHtml(QByteArrayView head) {
    QByteArray start = head.first(std::min<qsizetype>(head.size(), 4096)).toByteArray().toLower();
    if (start.startsWith("\xEF\xBB\xBF")) start.remove(0, 3);
    qsizetype i = 0;
    const auto skipSpace = [&] {
        while (i < start.size() && (start[i] == ' ' || start[i] == '\t' || start[i] == '\n' ||
                                    start[i] == '\r' || start[i] == '\f'))
            ++i;
    };
    for (;;) {
        skipSpace();
        const QByteArrayView rest = QByteArrayView(start).sliced(i);
        if (rest.startsWith("<!doctype html") || rest.startsWith("<html")) return true;
        // A declaration or a comment may stand before the document.
        if (rest.startsWith("<?xml") || rest.startsWith("<!--")) {
            const QByteArray close = rest.startsWith("<!--") ? "-->" : "?>";
            const qsizetype end = start.indexOf(close, i);
            if (end < 0) return false;
            i = end + close.size();
            continue;
        }
        return false;
    }
}

Format ZipFormat(QByteArrayView head) {
    // The mimetype entry, stored first and uncompressed, names ODF and EPUB documents.
    if (head.size() > 30 && head.sliced(30).startsWith("mimetype")) {
        if (head.indexOf("application/vnd.oasis.opendocument.text") >= 0) return Format::Odt;
        if (head.indexOf("application/epub+zip") >= 0) return Format::Epub;
    }
    return Format::Text;
}

}  // namespace

QString FormatName(Format format) {
    for (const Named& n : kNames)
        if (n.format == format) return n.name.toString();
    return QString();
}

std::optional<Format> FormatFromName(QStringView name) {
    for (const Named& n : kNames)
        if (n.name == name) return n.format;
    return std::nullopt;
}

Format DetectFormatOfBytes(const QByteArray& bytes, QStringView fileName) {
    if (bytes.startsWith("%PDF-")) return Format::Pdf;
    if (LooksLikeZip(bytes)) {
        const Format format = ZipFormat(bytes);
        if (format != Format::Text) return format;
    }
    if (LooksLikeHtml(bytes)) return Format::Html;
    const QString lower = fileName.toString().toLower();
    if (lower.endsWith(u".md") || lower.endsWith(u".markdown")) return Format::Markdown;
    return Format::Text;
}

std::optional<Format> DetectFormatByHead(const QByteArray& nativePath) {
    // Only a regular file is looked at: a pipe's bytes, once read, would be lost to its text.
    struct stat status {};
    if (::stat(nativePath.constData(), &status) != 0 || !S_ISREG(status.st_mode))
        return Format::Text;
    // By the name's bytes, which need not be text in the locale's encoding.
    const int fd = ::open(nativePath.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return Format::Text;
    QByteArray head(kHeadBytes, Qt::Uninitialized);
    qsizetype have = 0;
    for (ssize_t got;
         have < head.size() && (got = ::read(fd, head.data() + have, head.size() - have)) != 0;) {
        if (got < 0) {
            if (errno == EINTR) continue;
            break;
        }
        have += got;
    }
    ::close(fd);
    head.truncate(have);
    if (LooksLikeZip(head)) {
        const Format format = ZipFormat(head);
        if (format != Format::Text) return format;
        return std::nullopt;
    }
    // A compound file protecting an OOXML document by a password.
    if (LooksLikeCompoundFile(head) &&
        head.contains(QByteArray("E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e", 31)))
        return Format::Docx;
    return DetectFormatOfBytes(head, QFile::decodeName(nativePath));
}

bool LooksLikeZip(QByteArrayView head) { return head.startsWith("PK\x03\x04"); }

bool LooksLikeCompoundFile(QByteArrayView head) {
    return head.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
}

}  // namespace brintale::documents
