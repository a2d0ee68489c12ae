#include "cli/document_source.h"

#include <dlfcn.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryFile>
#include <cerrno>
#include <cstring>
#include <new>
#include <optional>

#include "documents/document_format.h"
#include "documents/document_module.h"

namespace brintale::cli {

namespace {

using documents::ModuleInterface;

// The folder of the running program, from which the module is found wherever the program is
// installed or built.
QByteArray ProgramFolder() {
    QByteArray path(4096, Qt::Uninitialized);
    const ssize_t got = ::readlink("/proc/self/exe", path.data(), size_t(path.size()));
    if (got <= 0 || got >= path.size()) return QByteArray();
    path.truncate(got);
    return path.left(path.lastIndexOf('/'));
}

// The places looked in: beside the program (the build tree), then the package's folder for it.
QList<QByteArray> ModuleCandidates(const QByteArray& folder) {
    const QByteArray name = QByteArray("/") + documents::kModuleFileName;
    return {folder + name, folder + "/" BRINTALE_MODULE_FROM_PROGRAM + name};
}

struct Loaded {
    const ModuleInterface* module = nullptr;
    QString fault;  // why there is none
};

Loaded LoadModule(const QList<QByteArray>& candidates) {
    for (const QByteArray& path : candidates) {
        if (::access(path.constData(), F_OK) != 0) continue;
        // Once loaded it stays: the readers keep process-wide state.
        void* handle = ::dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) return {nullptr, QString::fromLocal8Bit(::dlerror())};
        const auto entry =
            reinterpret_cast<documents::ModuleEntry>(::dlsym(handle, documents::kModuleEntry));
        const ModuleInterface* module = entry ? entry() : nullptr;
        if (!module || module->version != documents::kModuleVersion)
            return {nullptr, QStringLiteral("%1 belongs to another version of brintale-count")
                                 .arg(QFile::decodeName(path))};
        return {module, QString()};
    }
    return {nullptr, QStringLiteral("%1 is not installed")
                         .arg(QDir::cleanPath(QFile::decodeName(candidates.last())))};
}

// Loaded at the first document, once for every thread.
const Loaded& Module() {
    static const Loaded loaded = LoadModule(ModuleCandidates(ProgramFolder()));
    return loaded;
}

const ModuleInterface& ModuleFor(const QString& name) {
    const Loaded& loaded = Module();
    if (!loaded.module)
        throw ReadError{QStringLiteral("%1: documents cannot be read: %2").arg(name, loaded.fault)};
    return *loaded.module;
}

class DocumentSource : public ByteSource {
  public:
    DocumentSource(const ModuleInterface& module, const QByteArray& nativePath,
                   documents::Format format, QString name, std::unique_ptr<QTemporaryFile> spool)
        : module_(module),
          spool_(std::move(spool)),
          text_(module.open(nativePath.constData(), int(format))),
          name_(std::move(name)) {
        if (!text_) throw std::bad_alloc();
    }
    ~DocumentSource() override { module_.close(text_); }
    DocumentSource(const DocumentSource&) = delete;
    DocumentSource& operator=(const DocumentSource&) = delete;

    qsizetype Read(char* buffer, qsizetype size) override {
        const std::int64_t got = module_.read(text_, buffer, size);
        if (got == documents::kModuleOutOfMemory) throw std::bad_alloc();
        if (got < 0)
            throw ReadError{
                QStringLiteral("%1: %2").arg(name_, QString::fromUtf8(module_.message(text_)))};
        return qsizetype(got);
    }
    QString name() const override { return name_; }

  private:
    const ModuleInterface& module_;
    std::unique_ptr<QTemporaryFile> spool_;  // standard input, which a container needs whole
    documents::ModuleText* text_;
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
        const ModuleInterface& module = ModuleFor(ShownName(input));
        auto spool = SpoolStandardInput();
        const QByteArray path = QFile::encodeName(spool->fileName());
        return std::make_unique<DocumentSource>(module, path, *named, ShownName(input),
                                                std::move(spool));
    }
    // Opening it first names a missing file or a folder as for any text.
    auto file = std::make_unique<FileSource>(input);
    std::optional<documents::Format> format =
        named ? named : documents::DetectFormatByHead(input.bytes);
    if (format == documents::Format::Text) return file;
    const ModuleInterface& module = ModuleFor(ShownName(input));
    if (!format) {
        const int detected = module.detect(input.bytes.constData());
        if (detected < 0) throw std::bad_alloc();
        format = documents::Format(detected);
        if (format == documents::Format::Text) return file;
    }
    file.reset();
    return std::make_unique<DocumentSource>(module, input.bytes, *format, ShownName(input),
                                            nullptr);
}

}  // namespace brintale::cli
