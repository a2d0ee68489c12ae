// brintale-count reads documents through a module it loads at the first one: found beside
// the program or where the package installs it, and missing or foreign, one clear line.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <tuple>

namespace brintale {
namespace {

using Outcome = std::tuple<int, QByteArray, QByteArray>;  // exit status, output, errors

bool Put(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The program copied into a folder of its own, with the module where a layout puts it.
class Installed {
  public:
    enum class Module { Beside, AsPackaged, Missing, NoModule };

    explicit Installed(Module module) {
        const QString bin = dir_.filePath(QStringLiteral("bin"));
        program_ = bin + QStringLiteral("/brintale-count");
        QDir().mkpath(bin);
        ok_ = QFile::copy(QStringLiteral(BRINTALE_COUNT_PATH), program_);
        const QString name = QStringLiteral("/brintale-documents.so");
        const QString packaged =
            QDir::cleanPath(bin + QStringLiteral("/" BRINTALE_MODULE_FROM_PROGRAM) + name);
        const QString built = QStringLiteral(BRINTALE_DOCUMENT_MODULE_PATH);
        switch (module) {
            case Module::Beside:
                ok_ = ok_ && QFile::copy(built, bin + name);
                break;
            case Module::AsPackaged:
                ok_ = ok_ && QDir().mkpath(QFileInfo(packaged).path()) &&
                      QFile::copy(built, packaged);
                break;
            case Module::Missing:
                break;
            case Module::NoModule:
                ok_ = ok_ && Put(bin + name, "not a shared object\n");
                break;
        }
        packaged_ = packaged;
    }

    bool ok() const { return ok_; }
    const QString& packaged() const { return packaged_; }

    Outcome Run(const QStringList& args, const QByteArray& input, const QString& folder) const {
        QProcess process;
        process.setWorkingDirectory(folder);
        process.setEnvironment(QProcess::systemEnvironment()
                               << "XDG_CONFIG_HOME=" + dir_.filePath(QStringLiteral("config")));
        process.start(program_, args);
        process.write(input);
        process.closeWriteChannel();
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
            return {-1, {}, {}};
        return {process.exitCode(), process.readAllStandardOutput(),
                process.readAllStandardError()};
    }

  private:
    QTemporaryDir dir_;
    QString program_, packaged_;
    bool ok_ = false;
};

TEST(DocumentModule, DocumentsReadWhereverTheModuleIsAndFailInOneLineWithoutIt) {
    QTemporaryDir files;
    const QByteArray html = "<!DOCTYPE html><html><body><p>One here. Two there!</p></body></html>";
    ASSERT_TRUE(Put(files.filePath(QStringLiteral("story.html")), html));
    ASSERT_TRUE(Put(files.filePath(QStringLiteral("plain.txt")), "Plain text. Still read."));
    // Plain text never needs the module: counted in every layout, after a failed document.
    const QStringList both = {QStringLiteral("--count"), QStringLiteral("story.html"),
                              QStringLiteral("plain.txt")};
    const QStringList piped = {QStringLiteral("--from=html"), QStringLiteral("-")};

    using Module = Installed::Module;
    for (const Module module :
         {Module::Beside, Module::AsPackaged, Module::Missing, Module::NoModule}) {
        SCOPED_TRACE(int(module));
        const Installed program(module);
        ASSERT_TRUE(program.ok());
        if (module == Module::Beside || module == Module::AsPackaged) {
            EXPECT_EQ(program.Run(both, {}, files.path()),
                      Outcome(0, "2\tstory.html\n2\tplain.txt\n4\ttotal\n", {}));
            EXPECT_EQ(program.Run(piped, html, files.path()),
                      Outcome(0, "One here.\nTwo there!\n", {}));
            continue;
        }
        const auto [status, out, errors] = program.Run(both, {}, files.path());
        EXPECT_EQ(status, 1);
        EXPECT_EQ(out, "2\tplain.txt\n2\ttotal\n");
        EXPECT_EQ(errors.count('\n'), 1) << errors.constData();
        EXPECT_TRUE(errors.startsWith("brintale-count: story.html: documents cannot be read: "))
            << errors.constData();
        if (module == Module::Missing) {
            EXPECT_TRUE(
                errors.endsWith(QFile::encodeName(program.packaged()) + " is not installed\n"))
                << errors.constData();
        }
        const auto [pipedStatus, pipedOut, pipedErrors] = program.Run(piped, html, files.path());
        EXPECT_EQ(pipedStatus, 1);
        EXPECT_EQ(pipedOut, "");
        EXPECT_TRUE(
            pipedErrors.startsWith("brintale-count: standard input: documents cannot be "
                                   "read: "))
            << pipedErrors.constData();
    }
}

}  // namespace
}  // namespace brintale
