#include "commands/spreadsheet_export.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <algorithm>

#include "core/results_model.h"
#include "core/settings_store.h"
#include "platform/spreadsheet_application.h"
#include "platform/xlsx_spreadsheet.h"
#include "testing/fake_main_form.h"

namespace brintale {
namespace {

// The spreadsheet application: logs each call ("r,c text" for a cell), fails where told to.
class SpreadsheetExport : public ::testing::Test, public SpreadsheetProvider {
  protected:
    struct Application : SpreadsheetApplication {
        SpreadsheetExport& t;
        explicit Application(SpreadsheetExport& t) : t(t) {}
        ~Application() override { t.calls << QStringLiteral("drop"); }
        void AddWorkbook() override {
            t.calls << QStringLiteral("book");
            if (t.failAddWorkbook) throw Failure(QStringLiteral("no workbook"));
        }
        void SetVisible(bool v) override { t.calls << QStringLiteral("visible %1").arg(v); }
        void SetCell(int row, int column, const QString& value) override {
            t.calls << (t.form.IsBusy() ? "" : "idle ") +  // the hourglass shows throughout
                           QStringLiteral("%1,%2 %3").arg(row).arg(column).arg(value);
            if (t.cellsBeforeStop-- <= 0) throw SpreadsheetStopped(QStringLiteral("closed"));
        }
        void AutofitColumn(int column) override { t.calls << QStringLiteral("fit %1").arg(column); }
        void AutofitAllColumns() override { t.calls << QStringLiteral("fit all"); }
        void Release() override { t.calls << QStringLiteral("release"); }
    };
    std::unique_ptr<SpreadsheetApplication> Create() override {
        calls << QStringLiteral("new");
        if (createsBeforeFailing-- <= 0) throw Failure(QStringLiteral("cannot start"));
        return std::make_unique<Application>(*this);
    }

    QStringList calls;
    int createsBeforeFailing = 0, cellsBeforeStop = 0;
    bool failAddWorkbook = false;
    testing::FakeMainForm form{this};
    testing::FakeServices& fakes = form.fakes();
};

// Captions in row 1, list row r in row r + 1, unticked rows left out, "=" dropped from column 2
// on; the availability test's instance comes and goes first; one report ends a failing export.
TEST_F(SpreadsheetExport, FillsTheSheetOrStopsAtTheFirstFailure) {
    const QString missing =
        "Brintale: Excel is not installed on this computer. You need to "
        "have it installed to use this ";
    const QStringList bothMissing = {missing + "software without error.", missing + "feature."};
    const QString header =
        QStringLiteral("new,drop,new,book,visible 1,1,1 Sentence,fit 1,1,2 =Note,fit 2,");
    const QString done = QStringLiteral(",fit all,release,drop");
    const QString all = header + "2,1 =a=b,2,2 cd,4,1 Three = four.,4,2 x" + done;
    struct Case {
        const char* name;
        bool rows;                 // the list with rows, or an empty one
        int createsBeforeFailing;  // of the application
        bool failAddWorkbook;
        int cellsBeforeStop;
        QString calls;     // on the application, in order
        QStringList told;  // every box: a message, or "line description" of a report
    };
    const Case cases[] = {
        {"ticked rows keep their sheet rows", true, 9, false, 9, all, {}},
        {"empty list", false, 9, false, 9, "new,drop", {}},
        {"no application", true, 0, false, 9, "new", bothMissing},
        {"no start", true, 1, false, 9, "new,drop,new", {"112 cannot start"}},
        {"no workbook", true, 9, true, 9, "new,drop,new,book,drop", {"114 no workbook"}},
        {"stops at a cell", true, 9, false, 3, header + "2,1 =a=b,2,2 cd" + done, {"152 closed"}},
    };
    QStandardItemModel list(0, 2), empty(0, 2);
    list.setHorizontalHeaderLabels({QStringLiteral("Sentence"), QStringLiteral("=Note")});
    list.appendRow({new QStandardItem("=a=b"), new QStandardItem("=c==d=")});
    list.appendRow({new QStandardItem("Two."), new QStandardItem("y")});
    list.appendRow({new QStandardItem("Three = four."), new QStandardItem("x")});
    for (int r : {0, 2}) list.item(r)->setCheckState(Qt::Checked);
    // An error report as the line it names and its first line.
    const QRegularExpression at(QRegularExpression::escape(kErrorReportTitle) +
                                ": ([^\r]*)\r\n(?s).*PushButton2_Click at line (\\d+)\r\r.*");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        calls.clear();
        createsBeforeFailing = c.createsBeforeFailing;
        failAddWorkbook = c.failAddWorkbook;
        cellsBeforeStop = c.cellsBeforeStop;
        fakes.prompts.calls.clear();
        ExportListToSpreadsheet(form, c.rows ? list : empty);
        EXPECT_EQ(calls.join(u','), c.calls);
        QStringList shown;
        for (const auto& call : fakes.prompts.calls)
            shown << QString(call.title + ": " + call.text).replace(at, "\\2 \\1");
        EXPECT_EQ(shown, c.told);
        EXPECT_EQ(form.pointer(), MainForm::Pointer::Default);
    }
}

// The progress counts the rows that go into the sheet, and is gone before anything is said:
// after a count nothing is ticked, the sheet holds the total alone, and the user is told why.
TEST_F(SpreadsheetExport, ProgressCountsTheExportedRowsAndEndsBeforeAnyMessage) {
    createsBeforeFailing = 9;
    const QString noneTicked =
        "No row was ticked, so only the total was exported. Tick rows, or right-click the list "
        "and choose Check All.";
    struct Case {
        const char* name;
        std::vector<bool> ticks;  // one per row
        int cellsBeforeStop;
        QString label;     // of the progress; "": none
        QStringList told;  // "progress running: text" of each box
    };
    const Case cases[] = {
        {"nothing ticked", {false, false, false}, 9, "", {"no: " + noneTicked}},
        {"one ticked", {false, true, false}, 9, "Exporting 1 row to a workbook\u2026", {}},
        {"all ticked", {true, true, true}, 9, "Exporting 3 rows to a workbook\u2026", {}},
        // A report while the rows go in: the prompts put the progress away (tested with them).
        {"a cell refused",
         {true, true, true},
         1,
         "Exporting 3 rows to a workbook\u2026",
         {"yes: Application Error"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QStandardItemModel list(0, 1);
        list.setHorizontalHeaderLabels({QStringLiteral("Total Sentence Count: 3")});
        for (const bool tick : c.ticks) {
            auto* row = new QStandardItem(QStringLiteral("Row."));
            row->setCheckState(tick ? Qt::Checked : Qt::Unchecked);
            list.appendRow(row);
        }
        cellsBeforeStop = c.cellsBeforeStop;
        fakes.progress.tasks.clear();
        fakes.prompts.calls.clear();
        QStringList told;
        fakes.prompts.onCall = [&](const testing::FakePrompts::Call& call) {
            told << QString(fakes.progress.running() ? "yes: " : "no: ") +
                        (call.title == kErrorReportTitle ? call.title : call.text);
        };
        ExportListToSpreadsheet(form, list);
        EXPECT_EQ(told, c.told);
        const int ticked = static_cast<int>(std::count(c.ticks.begin(), c.ticks.end(), true));
        if (c.label.isEmpty()) {
            EXPECT_TRUE(fakes.progress.tasks.empty());
        } else {
            ASSERT_EQ(fakes.progress.tasks.size(), 1u);
            const auto& task = fakes.progress.tasks[0];
            EXPECT_EQ(std::tuple(task.label, task.steps, task.cancellable, task.finished),
                      std::tuple(c.label, ticked, true, true));
        }
    }
}

// Cancel drops the workbook before it is written: nothing is released, nothing is said, and
// the pointer is back.
TEST_F(SpreadsheetExport, CancelLeavesNoWorkbook) {
    createsBeforeFailing = cellsBeforeStop = 9;
    QStandardItemModel list(0, 1);
    list.setHorizontalHeaderLabels({QStringLiteral("Total Sentence Count: 3")});
    for (const char* text : {"One.", "Two.", "Three."}) {
        auto* row = new QStandardItem(text);
        row->setCheckState(Qt::Checked);
        list.appendRow(row);
    }
    fakes.progress.cancelAt = 1;
    ExportListToSpreadsheet(form, list);
    EXPECT_EQ(calls.join(u','),
              "new,drop,new,book,visible 1,1,1 Total Sentence Count: 3,fit 1,2,1 One.,drop");
    EXPECT_TRUE(fakes.prompts.calls.empty());
    EXPECT_EQ(form.pointer(), MainForm::Pointer::Default);
}

// A temporary folder that takes no workbook is said as what it is, once: the application is
// there all the same.
TEST(SpreadsheetExportFolder, AFolderThatTakesNoWorkbookIsToldOnce) {
    QTemporaryDir root;
    const QString xlsx = XlsxMimeTypes().value(0);
    ASSERT_FALSE(xlsx.isEmpty());
    XdgDirs dirs;
    dirs.dataDirs = {root.filePath(QStringLiteral("data"))};
    const QString apps = dirs.dataDirs[0] + QStringLiteral("/applications");
    ASSERT_TRUE(QDir().mkpath(apps));
    QFile entry(apps + QStringLiteral("/sheets.desktop")), cache(apps + "/mimeinfo.cache");
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly) && cache.open(QIODevice::WriteOnly));
    entry.write("[Desktop Entry]\nType=Application\n");
    cache.write("[MIME Cache]\n" + xlsx.toUtf8() + "=sheets.desktop;\n");
    entry.close();
    cache.close();
    // A file where the folder should be refuses a workbook whoever runs the test.
    QFile notAFolder(root.filePath(QStringLiteral("tmp")));
    ASSERT_TRUE(notAFolder.open(QIODevice::WriteOnly));
    testing::FakeDesktop desktop;
    XlsxSpreadsheetProvider sheets(desktop, notAFolder.fileName(), dirs);
    testing::FakeMainForm form(&sheets);
    form.results().Append(QStringLiteral("One."));
    form.results().SetTickedAt(0, true);
    SaveResultsAsSpreadsheet(form);
    QStringList told;
    for (const auto& call : form.fakes().prompts.calls) told << call.title;
    EXPECT_EQ(told, QStringList{kErrorReportTitle});
    const QStringList reports = form.Reports();
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].contains(QDir::toNativeSeparators(notAFolder.fileName())) &&
                reports[0].contains(QStringLiteral("at line 114")))
        << reports[0].toStdString();
    EXPECT_TRUE(desktop.opened.empty());
}

}  // namespace
}  // namespace brintale
