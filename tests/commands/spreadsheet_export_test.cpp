#include "commands/spreadsheet_export.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QStandardItemModel>

#include "core/settings_store.h"
#include "platform/spreadsheet_application.h"
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

// After a count nothing is ticked: the sheet holds the total alone, and the user is told why.
TEST_F(SpreadsheetExport, NoTickedRowIsTold) {
    createsBeforeFailing = cellsBeforeStop = 9;
    QStandardItemModel list(0, 1);
    list.setHorizontalHeaderLabels({QStringLiteral("Total Sentence Count: 2")});
    for (const char* text : {"One.", "Two."}) list.appendRow(new QStandardItem(text));
    ExportListToSpreadsheet(form, list);
    ASSERT_EQ(fakes.prompts.calls.size(), 1u);
    EXPECT_EQ(fakes.prompts.calls[0].text,
              "No row was ticked, so only the total was exported. Tick rows, or right-click the "
              "list and choose Check All.");
    list.item(1)->setCheckState(Qt::Checked);
    fakes.prompts.calls.clear();
    ExportListToSpreadsheet(form, list);
    EXPECT_TRUE(fakes.prompts.calls.empty());
}

}  // namespace
}  // namespace brintale
