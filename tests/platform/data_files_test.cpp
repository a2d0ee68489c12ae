#include "platform/data_files.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace brintale {
namespace {

enum class Found { Beside, Installed };

bool MakeFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("x") == 1;
}

TEST(FindDataFile, PrefersTheProgramFolderThenTheInstalledDataFolder) {
    struct Case {
        const char* what;
        bool beside;          // a file of that name beside the program
        bool besideIsFolder;  // a folder of that name beside the program instead
        bool installed;       // a file of that name in ../share/brintale
        bool throughLink;     // the program folder is reached through a symbolic link
        Found expected;
    };
    const Case cases[] = {
        {"development build", true, false, false, false, Found::Beside},
        {"installed", false, false, true, false, Found::Installed},
        {"both: the build's own copy wins", true, false, true, false, Found::Beside},
        {"neither: the usual place, missing", false, false, false, false, Found::Beside},
        {"a folder of that name is no file", false, true, true, false, Found::Installed},
        {"installed, program folder a link", false, false, true, true, Found::Installed},
        {"neither, program folder a link", false, false, false, true, Found::Beside},
    };
    const QString name = QStringLiteral("HAND-M.CUR");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir root;
        ASSERT_TRUE(root.isValid());
        const QDir dir(root.path());
        ASSERT_TRUE(dir.mkpath("usr/bin") && dir.mkpath("usr/share/brintale") &&
                    dir.mkpath("elsewhere"));
        const QString bin = dir.filePath("usr/bin");
        const QString installedPath = dir.filePath("usr/share/brintale/") + name;
        if (c.beside) {
            ASSERT_TRUE(MakeFile(bin + u'/' + name));
        }
        if (c.besideIsFolder) {
            ASSERT_TRUE(dir.mkpath("usr/bin/" + name));
        }
        if (c.installed) {
            ASSERT_TRUE(MakeFile(installedPath));
        }
        QString programFolder = bin;
        if (c.throughLink) {
            // Read as text, "elsewhere/bin/.." would be "elsewhere", which holds no share/.
            programFolder = dir.filePath("elsewhere/bin");
            ASSERT_TRUE(QFile::link(bin, programFolder));
        }

        const QString found = FindDataFile(name, programFolder);

        if (c.expected == Found::Beside) {
            EXPECT_EQ(found, programFolder + u'/' + name);
        } else {
            EXPECT_EQ(found, QFileInfo(installedPath).canonicalFilePath());
            EXPECT_TRUE(QFileInfo(found).isFile());
        }
    }
}

}  // namespace
}  // namespace brintale
