#include "platform/xlsx_spreadsheet.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cerrno>
#include <csignal>
#include <cstring>

#include "testing/fakes.h"

namespace brintale {
namespace {

const QString kXlsx =
    QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet");

// A desktop's XDG folders under one temporary root, with three applications installed.
struct XdgTree {
    QTemporaryDir root;
    XdgDirs dirs{{root.filePath("config"), root.filePath("etc")},
                 {root.filePath("home-data"), root.filePath("sys-data")},
                 {QStringLiteral("deskx")}};
    XdgTree() {
        for (const char* app :
             {"sys-data/applications/tables.desktop", "home-data/applications/sheets.desktop",
              "sys-data/applications/suite/pad.desktop"})
            Put(app, "[Desktop Entry]\nType=Application\nName=Sheets\nExec=sheets %f\n");
    }
    // "T=" in the contents stands for the .xlsx type, [D], [A] and [R] for the groups of
    // default applications, added associations and removed associations.
    void Put(const QString& relative, QByteArray contents) const {
        QDir().mkpath(QFileInfo(root.filePath(relative)).path());
        QFile file(root.filePath(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents.replace("T=", kXlsx.toUtf8() + "=")
                       .replace("[D]", "[Default Applications]")
                       .replace("[A]", "[Added Associations]")
                       .replace("[R]", "[Removed Associations]"));
    }
};

TEST(DesktopDefaultApplication, FollowsTheDesktopsLookupOrder) {
    // The user's list, the desktop's own list, the system cache, and what is found.
    const std::vector<std::tuple<QByteArray, QByteArray, QByteArray, QString>> cases = {
        {"", "", "", ""},
        {"", "", "T=gone.desktop;tables.desktop;", "tables.desktop"},
        {"[D]\nT=missing.desktop;sheets.desktop", "", "T=tables.desktop;", "sheets.desktop"},
        {"[D]\nT=sheets.desktop", "[D]\nT=tables.desktop", "", "tables.desktop"},
        {"[R]\nT=tables.desktop;", "", "T=tables.desktop;sheets.desktop;", "sheets.desktop"},
        {"[A]\nT=sheets.desktop;", "", "T=tables.desktop;", "sheets.desktop"},
        {"", "", "application/x-alias=tables.desktop;", "tables.desktop"},  // an alias
        {"", "", "T=suite-pad.desktop;", "suite-pad.desktop"},  // applications/suite/pad.desktop
    };
    for (const auto& [user, own, cache, expected] : cases) {
        SCOPED_TRACE(expected.toStdString() + " from " + (user + own + cache).toStdString());
        XdgTree tree;
        tree.Put("config/mimeapps.list", user);
        tree.Put("config/deskx-mimeapps.list", own);
        tree.Put("sys-data/applications/mimeinfo.cache", "[MIME Cache]\n" + cache);
        EXPECT_EQ(DesktopDefaultApplication({kXlsx, "application/x-alias"}, tree.dirs), expected);
    }
    // Without a cache, the applications' own MIME types count.
    XdgTree bare;
    bare.Put("sys-data/applications/tables.desktop",
             "[Desktop Entry]\nMimeType=text/csv;" + kXlsx.toUtf8() + ";\n");
    EXPECT_EQ(DesktopDefaultApplication({kXlsx}, bare.dirs), "tables.desktop");
}

class XlsxWorkbook : public ::testing::Test {
  protected:
    void SetUp() override {
        tree.Put("sys-data/applications/mimeinfo.cache", "[MIME Cache]\nT=tables.desktop;");
    }
    QStringList Files() const { return QDir(folder.path()).entryList(QDir::Files); }
    QTemporaryDir folder;
    XdgTree tree;
    testing::FakeDesktop desktop;
    XlsxSpreadsheetProvider provider{desktop, folder.path(), tree.dirs};
};

// Missing only without an application; a folder that takes no workbook says so when the
// workbook is made. A cell takes 32,767 characters as the application reads them back.
TEST_F(XlsxWorkbook, StartsOnlyWithAnApplicationAndRefusesWhatASheetCannotHold) {
    EXPECT_THROW(XlsxSpreadsheetProvider(desktop, folder.path(), XdgTree().dirs).Create(), Failure);
    const auto nowhere =
        XlsxSpreadsheetProvider(desktop, folder.filePath("gone"), tree.dirs).Create();
    try {
        nowhere->AddWorkbook();
        ADD_FAILURE() << "a workbook was made in a folder that is not there";
    } catch (const Failure& failure) {
        EXPECT_TRUE(failure.description().contains(folder.filePath("gone")))
            << failure.description().toStdString();
    }
    const auto app = provider.Create();
    EXPECT_THROW(app->SetCell(1, 1, QStringLiteral("before the workbook")), SpreadsheetStopped);
    app->AddWorkbook();
    EXPECT_THROW(app->SetCell(1048577, 1, QStringLiteral("x")), SpreadsheetStopped);
    EXPECT_THROW(app->SetCell(1, 16385, QStringLiteral("x")), SpreadsheetStopped);
    try {  // one text too long for a cell is reported, but does not stop the export
        app->SetCell(2, 1, QString(32768, QChar(u'a')));
        ADD_FAILURE() << "a text longer than a cell was taken";
    } catch (const SpreadsheetStopped&) {
        ADD_FAILURE() << "a long text stopped the export";
    } catch (const Failure&) {
    }
    // The controls are escaped in the file but count as one character each.
    EXPECT_NO_THROW(app->SetCell(3, 1, QString(32767, QChar(u'\x01'))));
    try {  // escapes that libxlsxwriter measures at their length are told as such
        app->SetCell(4, 1, QString(5000, QChar(0xFFFF)));
        ADD_FAILURE() << "a text longer than libxlsxwriter takes was taken";
    } catch (const Failure& failure) {
        EXPECT_TRUE(failure.description().contains(QStringLiteral("5000 characters")))
            << failure.description().toStdString();
    }
    EXPECT_NO_THROW(app->SetCell(1048576, 16384, QString(32767, QChar(u'a'))));
}

// Each workbook has its own name, reserved at once; one never shown leaves nothing behind.
TEST_F(XlsxWorkbook, NamesEachWorkbookAndLeavesNothingUnseen) {
    const QDateTime when(QDate(2026, 12, 8), QTime(14, 3, 22));
    EXPECT_EQ(QFileInfo(ReserveWorkbookFile(folder.path(), when)).fileName(),
              "Brintale Results 2026-12-08 14-03-22.xlsx");
    EXPECT_EQ(QFileInfo(ReserveWorkbookFile(folder.path(), when)).fileName(),
              "Brintale Results 2026-12-08 14-03-22 (2).xlsx");
    EXPECT_THROW(ReserveWorkbookFile(folder.filePath("gone"), when), Failure);
    for (const QString& name : Files()) QFile::remove(folder.filePath(name));
    for (const bool release : {false, true}) {
        auto app = provider.Create();
        app->AddWorkbook();
        app->SetCell(1, 1, QStringLiteral("caption"));
        EXPECT_EQ(Files().size(), 1);
        if (release) app->Release();
        app.reset();
        EXPECT_TRUE(Files().isEmpty());
    }
    EXPECT_TRUE(desktop.opened.empty());
}

// A workbook the disk cannot take says why, in the system's words, and leaves nothing.
TEST_F(XlsxWorkbook, AWorkbookThatCannotBeWrittenSaysWhy) {
    auto app = provider.Create();
    app->AddWorkbook();
    app->SetVisible(true);
    for (int row = 1; row <= 2000; ++row)
        app->SetCell(row, 1, QStringLiteral("Sentence number %1 takes some room.").arg(row));
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const auto signal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;  // as a nearly full disk: a longer file fails with EFBIG
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    QString said;
    try {
        app->Release();
    } catch (const Failure& failure) {
        said = failure.description();
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, signal);
    EXPECT_TRUE(said.contains(QString::fromLocal8Bit(std::strerror(EFBIG)))) << said.toStdString();
    EXPECT_TRUE(Files().isEmpty());
    EXPECT_TRUE(desktop.opened.empty());
}

// The code units of a text as hexadecimal digits, lone surrogates included.
QString Utf16Hex(const QString& text) {
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2).toHex());
}

// A workbook as an export fills it, read back by openpyxl, with every string as a reader of
// OOXML sees it: every cell a string (a formula text included) holding the text it was given
// (any 16-bit text, however little of it XML can carry), empty rows left empty, column A
// fitted. Only its user may read the file.
TEST_F(XlsxWorkbook, TheWrittenWorkbookReadsBackAsStrings) {
    const QString longest =
        QStringLiteral("A much longer sentence, so that column A is fitted to it.");
    // Every code unit XML 1.0 refuses or changes, and escapes as text; U+0000 last, since a
    // C string would end there.
    QString unwritable = QStringLiteral("_x0041_ _x005F_ _xFFFF__x000D_ _X0041_ _x41_ 😀 _x0042");
    unwritable += QStringLiteral("\x01 _x0043\uFFFF ");  // followed by an escape of its own
    for (char16_t c = 1; c < 0x20; ++c) unwritable += QChar(c);
    for (const char16_t c : {0xFFFE, 0xFFFF, 0xD800, 0xDFFF, 0xDC00, 0xD83D, 0x0000})
        unwritable += QChar(c);
    // 30,000 characters, a tenth of them controls: escaped, far more than a cell takes.
    QString controls;
    for (int i = 0; i < 30000; ++i)
        controls += QChar(i % 10 == 0 ? 1 + i / 10 % 31 : u'a' + i % 26);
    const std::pair<int, QString> cells[] = {{1, QStringLiteral("Total Sentence Count: 5")},
                                             {2, QStringLiteral("=SUM(A1:A2)")},
                                             {4, QStringLiteral("Grüße – 日本 😀")},
                                             {5, QStringLiteral("12")},
                                             {6, longest},
                                             {7, unwritable},
                                             {8, QStringLiteral("After.")},
                                             {9, controls}};
    auto app = provider.Create();
    app->AddWorkbook();
    app->SetVisible(true);
    for (const auto& [row, value] : cells) app->SetCell(row, 1, value);
    app->AutofitAllColumns();
    app->Release();
    ASSERT_EQ(desktop.opened.size(), 1u);
    const QFileInfo file(desktop.opened[0].toLocalFile());
    EXPECT_EQ(file.absolutePath(), QFileInfo(folder.path()).absoluteFilePath());
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(file.filePath()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    // openpyxl keeps "_xHHHH_" as it stands; the strings are read from the XML as OOXML
    // reads them, with every escape, "_x005F_" included, turned back into its character.
    QProcess python;
    python.start(
        QFileInfo::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3",
        {"-c",
         "import re, sys, zipfile, openpyxl\n"
         "from xml.etree import ElementTree\n"
         "ws = openpyxl.load_workbook(sys.argv[1]).active\n"
         "book = zipfile.ZipFile(sys.argv[1])\n"
         "m = '{http://schemas.openxmlformats.org/spreadsheetml/2006/main}'\n"
         "xml = lambda name: ElementTree.fromstring(book.read(name))\n"
         "names = book.namelist()\n"
         "shared = ([''.join(t.text or '' for t in si.iter(m + 't'))\n"
         "           for si in xml('xl/sharedStrings.xml').iter(m + 'si')]\n"
         "          if 'xl/sharedStrings.xml' in names else [])\n"
         "read = lambda s: re.sub('_x([0-9A-Fa-f]{4})_', lambda x: chr(int(x[1], 16)), s)\n"
         "inline = lambda c: ''.join(t.text or '' for t in c.iter(m + 't'))\n"
         "cell = lambda c: shared[int(c.find(m + 'v').text)] if c.get('t') == 's' else inline(c)\n"
         "text = {c.get('r'): read(cell(c))\n"
         "        for c in xml('xl/worksheets/sheet1.xml').iter(m + 'c')}\n"
         "for c in (c for row in ws.iter_rows() for c in row if c.value is not None):\n"
         "    value = text[c.coordinate].encode('utf-16-le', 'surrogatepass').hex()\n"
         "    print(c.row, c.column, c.data_type, value)\n"
         "print(ws.column_dimensions['A'].width >= int(sys.argv[2]))\n",
         file.filePath(), QString::number(longest.size())});
    ASSERT_TRUE(python.waitForFinished(60000) && python.exitCode() == 0)
        << python.readAllStandardError().toStdString();
    QString expected;
    for (const auto& [row, value] : cells)
        expected += QStringLiteral("%1 1 s %2\n").arg(row).arg(Utf16Hex(value));
    EXPECT_EQ(python.readAllStandardOutput().toStdString(), (expected + "True\n").toStdString());
}

}  // namespace
}  // namespace brintale
