#include "documents/zip_archive.h"

#include <zip.h>

#include <QFile>

#include "core/failure.h"

namespace brintale::documents {

namespace {

QString Cause(int code) {
    switch (code) {
        case ZIP_ER_NOZIP:
            return QStringLiteral("it is not a ZIP container, or it is cut short");
        case ZIP_ER_INCONS:
        case ZIP_ER_CRC:
            return QStringLiteral("its ZIP container is corrupt");
        case ZIP_ER_NOPASSWD:
        case ZIP_ER_WRONGPASSWD:
        case ZIP_ER_ENCRNOTSUPP:
            return QStringLiteral("it is protected by a password");
        case ZIP_ER_EOF:
            return QStringLiteral("it is cut short");
        default: {
            zip_error_t error;
            zip_error_init_with_code(&error, code);
            QString text = QString::fromLocal8Bit(zip_error_strerror(&error));
            zip_error_fini(&error);
            return QStringLiteral("its ZIP container cannot be read (%1)").arg(text);
        }
    }
}

class EntryStream : public ByteStream {
  public:
    EntryStream(zip_file_t* file, QString name, Intake* intake)
        : file_(file), name_(std::move(name)), intake_(intake) {}
    ~EntryStream() override { zip_fclose(file_); }
    EntryStream(const EntryStream&) = delete;
    EntryStream& operator=(const EntryStream&) = delete;

    qsizetype Read(char* buffer, qsizetype size) override {
        const zip_int64_t got = zip_fread(file_, buffer, static_cast<zip_uint64_t>(size));
        if (got < 0) {
            const int code = zip_error_code_zip(zip_file_get_error(file_));
            throw Failure(QStringLiteral("%1 (in its part %2)")
                              .arg(Cause(code == 0 ? ZIP_ER_READ : code), name_));
        }
        if (intake_) intake_->Take(static_cast<quint64>(got));
        return static_cast<qsizetype>(got);
    }

  private:
    zip_file_t* file_;
    QString name_;
    Intake* intake_;
};

// The parts that hold a document's text are XML or XHTML; pictures and fonts are never read.
bool HoldsText(QByteArrayView name) {
    for (const char* ending : {".xml", ".xhtml", ".html", ".htm"})
        if (name.endsWith(ending)) return true;
    return false;
}

}  // namespace

ZipArchive::ZipArchive(zip* archive, Intake* intake) : archive_(archive), intake_(intake) {
    if (!intake_) return;
    const zip_int64_t entries = zip_get_num_entries(archive_, 0);
    for (zip_int64_t i = 0; i < entries; ++i) {
        zip_stat_t stat;
        if (zip_stat_index(archive_, static_cast<zip_uint64_t>(i), 0, &stat) == 0 &&
            (stat.valid & ZIP_STAT_SIZE) && (stat.valid & ZIP_STAT_NAME) &&
            HoldsText(QByteArrayView(stat.name)))
            intake_->Expect(stat.size);
    }
}

ZipArchive ZipArchive::OpenFile(const QByteArray& nativePath, Intake* intake) {
    int code = 0;
    zip_t* archive = zip_open(nativePath.constData(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
    if (!archive) {
        if (code == ZIP_ER_OPEN || code == ZIP_ER_READ) {
            throw Failure(QStringLiteral("it cannot be opened: %1")
                              .arg(QString::fromLocal8Bit(strerror(errno))));
        }
        throw Failure(Cause(code));
    }
    return ZipArchive(archive, intake);
}

ZipArchive ZipArchive::OpenBytes(QByteArrayView bytes, Intake* intake) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source =
        zip_source_buffer_create(bytes.data(), static_cast<zip_uint64_t>(bytes.size()), 0, &error);
    if (!source) throw std::bad_alloc();
    zip_t* archive = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
    const int code = zip_error_code_zip(&error);
    zip_error_fini(&error);
    if (!archive) {
        zip_source_free(source);
        throw Failure(Cause(code));
    }
    return ZipArchive(archive, intake);
}

ZipArchive::~ZipArchive() {
    if (archive_) zip_discard(archive_);
}

ZipArchive::ZipArchive(ZipArchive&& other) noexcept
    : archive_(other.archive_), intake_(other.intake_) {
    other.archive_ = nullptr;
}

bool ZipArchive::Contains(const QString& name) const {
    return zip_name_locate(archive_, name.toUtf8().constData(), 0) >= 0;
}

std::unique_ptr<ByteStream> ZipArchive::Open(const QString& name) const {
    const zip_int64_t index = zip_name_locate(archive_, name.toUtf8().constData(), 0);
    if (index < 0) throw Failure(QStringLiteral("its part %1 is missing").arg(name));
    if (intake_) {
        // Refused by its size before it is inflated, where a bomb would take long.
        zip_stat_t stat;
        if (zip_stat_index(archive_, static_cast<zip_uint64_t>(index), 0, &stat) == 0 &&
            (stat.valid & ZIP_STAT_SIZE))
            intake_->Declare(stat.size);
    }
    zip_file_t* file = zip_fopen_index(archive_, static_cast<zip_uint64_t>(index), 0);
    if (!file) {
        const int code = zip_error_code_zip(zip_get_error(archive_));
        throw Failure(QStringLiteral("%1 (in its part %2)").arg(Cause(code), name));
    }
    return std::make_unique<EntryStream>(file, name, intake_);
}

QByteArray ZipArchive::ReadSmall(const QString& name, qsizetype limit) const {
    auto stream = Open(name);
    QByteArray bytes;
    char block[16 * 1024];
    for (qsizetype got; (got = stream->Read(block, sizeof block)) > 0;) {
        bytes.append(block, got);
        if (bytes.size() > limit)
            throw Failure(QStringLiteral("its part %1 is implausibly large").arg(name));
    }
    return bytes;
}

Format DetectFormat(const QByteArray& nativePath) {
    if (const auto byHead = DetectFormatByHead(nativePath)) return *byHead;
    // OOXML names its kind in [Content_Types].xml, compressed, anywhere in the archive.
    try {
        const ZipArchive archive = ZipArchive::OpenFile(nativePath);
        if (archive.Contains(QStringLiteral("[Content_Types].xml")) &&
            archive.ReadSmall(QStringLiteral("[Content_Types].xml")).contains("wordprocessingml"))
            return Format::Docx;
        if (archive.Contains(QStringLiteral("mimetype"))) {
            const QByteArray type = archive.ReadSmall(QStringLiteral("mimetype"), 256);
            if (type.startsWith("application/vnd.oasis.opendocument.text")) return Format::Odt;
            if (type.startsWith("application/epub+zip")) return Format::Epub;
        }
    } catch (...) {
        // A damaged ZIP by its name, so that reading it names the damage.
        const QString name = QFile::decodeName(nativePath);
        for (const Format format :
             {Format::Docx, Format::Odt, Format::Html, Format::Markdown, Format::Epub, Format::Pdf})
            if (name.endsWith(u'.' + FormatName(format), Qt::CaseInsensitive)) return format;
    }
    return Format::Text;
}

}  // namespace brintale::documents
