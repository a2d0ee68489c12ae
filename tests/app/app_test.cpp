// The window program's command line: parsed without an application object, and --help and
// --version answered by the built executable where no display exists.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include "core/huge_page_heap.h"
#include "core/memory_limits.h"
#include "core/version.h"
#include "testing/fake_main_form.h"
#include "widgets/text_box.h"
#include "windows/startup_options.h"

namespace brintale {
namespace {

TEST(StartupOptions, ParsesFilesHelpVersionAndBadOptions) {
    const struct {
        QStringList args;
        bool help;
        bool version;
        bool error;
        QStringList files;
    } cases[] = {
        {{}, false, false, false, {}},
        {{"a.txt"}, false, false, false, {"a.txt"}},
        {{"--", "--help"}, false, false, false, {"--help"}},
        {{"-h"}, true, false, false, {}},
        {{"--version", "a.txt"}, false, true, false, {"a.txt"}},
        // Qt's own options are unknown here; help is answered all the same.
        {{"-platform", "offscreen", "--help"}, true, false, true, {"offscreen"}},
        {{"--frobnicate"}, false, false, true, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(u' ').toStdString());
        const StartupOptions options = ParseStartupOptions(QStringList{"brintale"} + c.args);
        EXPECT_EQ(options.help, c.help);
        EXPECT_EQ(options.version, c.version);
        EXPECT_EQ(!options.error.isEmpty(), c.error);
        EXPECT_EQ(options.files, c.files);
    }
}

TEST(StartupOptions, HelpAndVersionNeedNoDisplay) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    const struct {
        QStringList args;
        int status;
        QByteArray output;
    } cases[] = {
        {{"--help"}, 0, "Usage: brintale [FILE]\n"},
        {{"--version"}, 0, "brintale " BRINTALE_VERSION "\n"},
        {{"a.txt"}, 1, ""},  // a window is wanted, and there is no display for it
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(u' ').toStdString());
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(BRINTALE_PATH), c.args);
        ASSERT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitCode(), c.status);
        const QByteArray output = process.readAllStandardOutput();
        EXPECT_EQ(output.left(c.output.size()), c.output);
        EXPECT_EQ(output.isEmpty(), c.output.isEmpty());
    }
}

// The launcher starts the program beside it in libexec/, under the name it was started by,
// with the allocator told what to do where the system asks for it; or says what is missing.
TEST(Launcher, StartsTheProgramInLibexecOrSaysItIsMissing) {
    QTemporaryDir dir;
    const QString launcher = dir.path() + QStringLiteral("/brintale");
    ASSERT_TRUE(QFile::copy(QStringLiteral(BRINTALE_PATH), launcher));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("libexec")));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("GLIBC_TUNABLES"));
    environment.remove(QStringLiteral("BRINTALE_TUNABLES_BEFORE"));
    QProcess missing;
    missing.setProcessEnvironment(environment);
    missing.start(launcher, {});
    ASSERT_TRUE(missing.waitForFinished(60000));
    EXPECT_EQ(missing.exitCode(), 127);
    EXPECT_TRUE(missing.readAllStandardError().contains("is not installed"));

    // A stand-in for the program, which says how it was started.
    QFile program(dir.path() + QStringLiteral("/libexec/brintale"));
    ASSERT_TRUE(program.open(QIODevice::WriteOnly));
    program.write(
        "#!/bin/sh\nprintf '%s|%s|%s|%s\\n' \"$0\" \"$1\" \"${GLIBC_TUNABLES-unset}\" "
        "\"${BRINTALE_TUNABLES_BEFORE-unset}\"\n");
    program.close();
    ASSERT_TRUE(program.setPermissions(program.permissions() | QFileDevice::ExeOwner));
    const bool asked =
        TunesTheAllocator() && HugePageTunables(nullptr, HugePagePolicy()).has_value();
    QProcess started;
    started.setProcessEnvironment(environment);
    started.start(launcher, {QStringLiteral("a b.txt")});
    ASSERT_TRUE(started.waitForFinished(60000));
    EXPECT_EQ(started.exitCode(), 0) << started.readAllStandardError().constData();
    const QByteArray said = started.readAllStandardOutput();
    // A script's $0 is its own path, whatever name it was started by.
    const QByteArray wanted = QFile::encodeName(dir.path()) + "/libexec/brintale|a b.txt|" +
                              (asked ? "glibc.malloc.hugetlb=1|-" : "unset|unset") + "\n";
    EXPECT_EQ(said.toStdString(), wanted.toStdString());
}

// A desktop file's %f passes a name as its bytes, which need not be UTF-8.
TEST(StartupOptions, AFileNameKeepsTheBytesItWasGivenAs) {
    const char* const argv[] = {"brintale", "--", "caf\xE9.txt", "plain.txt"};
    const QStringList decoded =
        ParseStartupOptions({QString::fromLocal8Bit(argv[0]), QString::fromLocal8Bit(argv[1]),
                             QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3])})
            .files;
    ASSERT_EQ(decoded.size(), 2);
    EXPECT_EQ(ArgumentBytes(4, argv, decoded[0]), QByteArray("caf\xE9.txt"));
    EXPECT_EQ(ArgumentBytes(4, argv, decoded[1]), QByteArray("plain.txt"));
}

// The file named at start-up is loaded, whatever bytes its name holds, or the user is told
// why nothing was.
TEST(StartupFile, LoadsTheNamedFileOrSaysWhyNot) {
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path()) + '/';
    for (const char* name : {"plain.txt", "caf\xE9.txt", "\xFF\xFE.txt"}) {
        const int fd = ::open((folder + name).constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        ASSERT_GE(fd, 0) << name;
        const QByteArray text =
            QByteArray("Text of ") + (name[0] == 'p' ? "plain" : "odd") + ". Two.";
        ASSERT_EQ(::write(fd, text.constData(), text.size()), text.size());
        ::close(fd);
    }
    const struct {
        QByteArray name;
        QString text;     // in the box afterwards
        QString message;  // the part of the message that says why nothing was loaded
    } cases[] = {
        {folder + "plain.txt", "Text of plain. Two.", {}},
        {folder + "caf\xE9.txt", "Text of odd. Two.", {}},
        {folder + "\xFF\xFE.txt", "Text of odd. Two.", {}},
        {folder + "missing.txt", {}, "missing.txt\" was not loaded: No such file or directory."},
        {folder + "caf\xE9-gone.txt", {}, "-gone.txt\" was not loaded: No such file or directory."},
        {folder, {}, "\" was not loaded: it is a folder, not a file."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        testing::FakeMainForm form;
        LoadStartupFile(form, c.name);
        EXPECT_EQ(form.textBox()->text(), c.text);
        const auto& calls = form.fakes().prompts.calls;
        ASSERT_EQ(calls.size(), c.message.isEmpty() ? 0u : 1u);
        if (!calls.empty()) {
            EXPECT_TRUE(calls[0].text.endsWith(c.message)) << calls[0].text.toStdString();
            EXPECT_EQ(calls[0].title, QStringLiteral("Brintale"));
        }
    }
}

}  // namespace
}  // namespace brintale
