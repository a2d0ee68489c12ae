// The window program's command line: parsed without an application object, and --help and
// --version answered by the built executable where no display exists.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

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

}  // namespace
}  // namespace brintale
