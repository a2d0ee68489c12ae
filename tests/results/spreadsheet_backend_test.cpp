#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <utility>
#include <vector>

#include "results/results_model.h"
#include "results/spreadsheet_export.h"
#include "results/xlsx_backend.h"
#include "shell/main_window.h"
#include "shell/settings_store.h"
#include "support/fakes.h"

namespace brintale {
namespace {

const QString kXlsx =
    QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet");

// A desktop's XDG folders under one temporary root.
struct XdgTree {
    QTemporaryDir root;
    XdgDirs dirs;

    explicit XdgTree(QStringList desktops = {}) {
        dirs.configDirs = {Path(QStringLiteral("config")), Path(QStringLiteral("etc"))};
        dirs.dataDirs = {Path(QStringLiteral("home-data")), Path(QStringLiteral("sys-data"))};
        dirs.desktops = std::move(desktops);
    }
    QString Path(const QString& relative) const { return root.filePath(relative); }
    void Put(const QString& relative, const QByteArray& contents) const {
        const QString path = Path(relative);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }
    void Install(const QString& relative) const {
        Put(relative, "[Desktop Entry]\nType=Application\nName=Sheets\nExec=sheets %f\n");
    }
};

TEST(DesktopDefaultApplication, FollowsTheDesktopsLookupOrder) {
    struct Case {
        const char* name;
        std::vector<std::pair<QString, QByteArray>> files;
        QStringList types;
        QStringList desktops;
        QString expected;
    };
    const QByteArray t = kXlsx.toUtf8();
    const std::vector<Case> cases = {
        {"nothing registered", {}, {kXlsx}, {}, QString()},
        {"cache",
         {{"sys-data/applications/mimeinfo.cache",
           "[MIME Cache]\n" + t + "=gone.desktop;tables.desktop;\n"}},
         {kXlsx},
         {},
         "tables.desktop"},
        {"user default before the cache, skipping what is not installed",
         {{"config/mimeapps.list",
           "[Default Applications]\n" + t + "=missing.desktop;sheets.desktop\n"},
          {"sys-data/applications/mimeinfo.cache", "[MIME Cache]\n" + t + "=tables.desktop;\n"}},
         {kXlsx},
         {},
         "sheets.desktop"},
        {"desktop's own list first",
         {{"config/mimeapps.list", "[Default Applications]\n" + t + "=sheets.desktop\n"},
          {"config/deskx-mimeapps.list", "[Default Applications]\n" + t + "=tables.desktop\n"}},
         {kXlsx},
         {"deskx"},
         "tables.desktop"},
        {"removed association hides the cache entry",
         {{"config/mimeapps.list", "[Removed Associations]\n" + t + "=tables.desktop;\n"},
          {"sys-data/applications/mimeinfo.cache",
           "[MIME Cache]\n" + t + "=tables.desktop;sheets.desktop;\n"}},
         {kXlsx},
         {},
         "sheets.desktop"},
        {"added association before the cache",
         {{"config/mimeapps.list", "[Added Associations]\n" + t + "=sheets.desktop;\n"},
          {"sys-data/applications/mimeinfo.cache", "[MIME Cache]\n" + t + "=tables.desktop;\n"}},
         {kXlsx},
         {},
         "sheets.desktop"},
        {"registered under an alias",
         {{"sys-data/applications/mimeinfo.cache",
           "[MIME Cache]\napplication/x-alias=tables.desktop;\n"}},
         {kXlsx, "application/x-alias"},
         {},
         "tables.desktop"},
        {"id of a desktop file in a subfolder",
         {{"sys-data/applications/mimeinfo.cache", "[MIME Cache]\n" + t + "=suite-pad.desktop;\n"}},
         {kXlsx},
         {},
         "suite-pad.desktop"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        XdgTree tree(c.desktops);
        tree.Install(QStringLiteral("sys-data/applications/tables.desktop"));
        tree.Install(QStringLiteral("home-data/applications/sheets.desktop"));
        tree.Install(QStringLiteral("sys-data/applications/suite/pad.desktop"));
        for (const auto& [path, contents] : c.files) tree.Put(path, contents);
        EXPECT_EQ(DesktopDefaultApplication(c.types, tree.dirs), c.expected);
    }
}

TEST(XlsxBackend, GivesEachWorkbookItsOwnName) {
    QTemporaryDir folder;
    const QDateTime when(QDate(2026, 12, 8), QTime(14, 3, 22));
    const QString first = ReserveWorkbookFile(folder.path(), when);
    const QString second = ReserveWorkbookFile(folder.path(), when);
    EXPECT_EQ(QFileInfo(first).fileName(),
              QStringLiteral("Brintale Results 2026-12-08 14-03-22.xlsx"));
    EXPECT_EQ(QFileInfo(second).fileName(),
              QStringLiteral("Brintale Results 2026-12-08 14-03-22 (2).xlsx"));
    EXPECT_THROW(ReserveWorkbookFile(folder.filePath(QStringLiteral("missing")), when), Failure);
}

class XlsxWorkbook : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        tree.Install(QStringLiteral("sys-data/applications/tables.desktop"));
        tree.Put(QStringLiteral("sys-data/applications/mimeinfo.cache"),
                 "[MIME Cache]\n" + kXlsx.toUtf8() + "=tables.desktop;\n");
    }
    QStringList Files() const { return QDir(folder.path()).entryList(QDir::Files); }

    QTemporaryDir folder;
    XdgTree tree;
    testing::FakeDesktop desktop;
    XlsxSpreadsheetProvider provider{desktop, folder.path(), tree.dirs};
};

TEST_F(XlsxWorkbook, CannotStartWithoutARegisteredApplicationOrAFolder) {
    XdgTree empty;
    EXPECT_THROW(XlsxSpreadsheetProvider(desktop, folder.path(), empty.dirs).Create(), Failure);
    EXPECT_THROW(
        XlsxSpreadsheetProvider(desktop, folder.filePath(QStringLiteral("missing")), tree.dirs)
            .Create(),
        Failure);
    EXPECT_NE(provider.Create(), nullptr);
}

// The availability test's instance, or one never shown, leaves no file behind.
TEST_F(XlsxWorkbook, AnUnseenWorkbookLeavesNothing) {
    for (const bool release : {false, true}) {
        auto app = provider.Create();
        app->AddWorkbook();
        app->SetCell(1, 1, QStringLiteral("caption"));
        EXPECT_EQ(Files().size(), 1);  // its name is reserved
        if (release) app->Release();
        app.reset();
        EXPECT_TRUE(Files().isEmpty());
    }
    EXPECT_TRUE(desktop.opened.empty());
}

TEST_F(XlsxWorkbook, RefusesCellsItCannotHold) {
    auto app = provider.Create();
    EXPECT_THROW(app->SetCell(1, 1, QStringLiteral("before the workbook")), SpreadsheetStopped);
    app->AddWorkbook();
    EXPECT_THROW(app->SetCell(1048577, 1, QStringLiteral("x")), SpreadsheetStopped);
    EXPECT_THROW(app->SetCell(1, 16385, QStringLiteral("x")), SpreadsheetStopped);
    try {
        app->SetCell(2, 1, QString(32768, QChar(u'a')));
        ADD_FAILURE() << "a text longer than a cell was taken";
    } catch (const SpreadsheetStopped&) {
        ADD_FAILURE() << "one long text must not stop the export";
    } catch (const Failure&) {
    }
    EXPECT_NO_THROW(app->SetCell(1048576, 16384, QString(32767, QChar(u'a'))));
}

QString Python() {
    return QFileInfo::exists(QStringLiteral("/usr/bin/python3"))
               ? QStringLiteral("/usr/bin/python3")
               : QStandardPaths::findExecutable(QStringLiteral("python3"));
}

// Reads the workbook back with openpyxl: the cells that hold a value and column A's width.
QJsonObject ReadBack(const QString& path) {
    const QString script = QStringLiteral(
        "import json, sys, openpyxl\n"
        "ws = openpyxl.load_workbook(sys.argv[1]).active\n"
        "cells = [[c.row, c.column, c.value, c.data_type]\n"
        "         for row in ws.iter_rows() for c in row if c.value is not None]\n"
        "print(json.dumps({'cells': cells, 'widthA': ws.column_dimensions['A'].width}))\n");
    QProcess python;
    python.start(Python(), {QStringLiteral("-c"), script, path});
    if (!python.waitForFinished(60000) || python.exitCode() != 0) {
        ADD_FAILURE() << "openpyxl could not read the workbook: "
                      << python.readAllStandardError().toStdString();
        return {};
    }
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

TEST_F(XlsxWorkbook, TheExportedWorkbookReadsBackAsStrings) {
    testing::FakeServices fakes;
    Services services{fakes.prompts, desktop, provider, fakes.random, QString()};
    SettingsStore settings;
    Form1 form(services, settings);
    const QString longest =
        QStringLiteral("A much longer sentence, so that the first column is fitted to it.");
    const std::vector<std::pair<QString, bool>> rows = {
        {QStringLiteral("=SUM(A1:A2)"), true},
        {QStringLiteral("Not ticked."), false},
        {QStringLiteral("Grüße – 日本 😀"), true},
        {QStringLiteral("12"), true},
        {longest, true},
    };
    for (const auto& [text, ticked] : rows) {
        form.results().AppendRow(text);
        form.results().SetCheckMark(form.results().RowCount(), ticked);
    }
    form.results().SetHeaderTotal();
    form1::PushButton2_Click(form);

    EXPECT_TRUE(fakes.prompts.calls.empty());
    ASSERT_EQ(desktop.opened.size(), 1u);
    const QString path = desktop.opened[0].toLocalFile();
    EXPECT_EQ(QFileInfo(path).path(), QFileInfo(folder.path()).absoluteFilePath());
    EXPECT_TRUE(
        QRegularExpression(
            QStringLiteral("^Brintale Results \\d{4}-\\d\\d-\\d\\d \\d\\d-\\d\\d-\\d\\d\\.xlsx$"))
            .match(QFileInfo(path).fileName())
            .hasMatch());

    const QJsonObject sheet = ReadBack(path);
    QStringList cells;
    for (const QJsonValue& cell : sheet.value(QStringLiteral("cells")).toArray()) {
        const QJsonArray c = cell.toArray();
        cells << QStringLiteral("%1,%2 %3 [%4]")
                     .arg(c[0].toInt())
                     .arg(c[1].toInt())
                     .arg(c[2].toString(), c[3].toString());
    }
    EXPECT_EQ(cells, (QStringList{
                         QStringLiteral("1,1 Total Sentence Count: 5 [s]"),
                         QStringLiteral("2,1 =SUM(A1:A2) [s]"),
                         QStringLiteral("4,1 Grüße – 日本 😀 [s]"),
                         QStringLiteral("5,1 12 [s]"),
                         QStringLiteral("6,1 %1 [s]").arg(longest),
                     }));
    EXPECT_GE(sheet.value(QStringLiteral("widthA")).toDouble(), longest.size());
}

}  // namespace
}  // namespace brintale
