#include "results/spreadsheet_export.h"

#include <gtest/gtest.h>

#include <QStandardItemModel>
#include <set>

#include "results/results_model.h"
#include "results/spreadsheet_application.h"
#include "shell/main_window.h"
#include "shell/settings_store.h"
#include "support/fakes.h"

namespace brintale {
namespace {

using Kind = testing::FakePrompts::Kind;

// Records every call on the seam, in order, and fails where it is told to.
struct Recording {
    QStringList calls;
    std::set<int> failingCreates;  // 1 for the availability test, 2 for the export
    bool failAddWorkbook = false;
    int stopAtCell = 0;  // the n-th cell write stops the application
    int creates = 0;
    int cells = 0;
    std::vector<bool> busyAtCells;
    const Form1* form = nullptr;
};

class RecordingApplication : public SpreadsheetApplication {
  public:
    explicit RecordingApplication(Recording& r) : r_(r) {}
    ~RecordingApplication() override { r_.calls << QStringLiteral("drop"); }
    void AddWorkbook() override {
        r_.calls << QStringLiteral("add workbook");
        if (r_.failAddWorkbook) throw Failure(QStringLiteral("no workbook"));
    }
    void SetVisible(bool visible) override {
        r_.calls << QStringLiteral("visible %1").arg(visible);
    }
    void SetCell(int row, int column, const QString& value) override {
        r_.calls << QStringLiteral("cell %1,%2 %3").arg(row).arg(column).arg(value);
        r_.busyAtCells.push_back(r_.form && r_.form->IsBusy());
        if (++r_.cells == r_.stopAtCell) throw SpreadsheetStopped(QStringLiteral("closed"));
    }
    void AutofitColumn(int column) override { r_.calls << QStringLiteral("fit %1").arg(column); }
    void AutofitAllColumns() override { r_.calls << QStringLiteral("fit all"); }
    void Release() override { r_.calls << QStringLiteral("release"); }

  private:
    Recording& r_;
};

class RecordingProvider : public SpreadsheetProvider {
  public:
    explicit RecordingProvider(Recording& r) : r_(r) {}
    std::unique_ptr<SpreadsheetApplication> Create() override {
        r_.calls << QStringLiteral("create");
        if (r_.failingCreates.count(++r_.creates))
            throw Failure(QStringLiteral("Cannot create the spreadsheet application"));
        return std::make_unique<RecordingApplication>(r_);
    }

  private:
    Recording& r_;
};

class SpreadsheetExport : public ::testing::Test {
  protected:
    void SetUp() override { recording.form = &form; }

    void AddRows(const std::vector<std::pair<QString, bool>>& rows) {
        for (const auto& [text, ticked] : rows) {
            form.results().AppendRow(text);
            form.results().SetCheckMark(form.results().RowCount(), ticked);
        }
        form.results().SetHeaderTotal();
    }
    QStringList Reports() const { return fakes.prompts.errorReports(); }

    testing::FakeServices fakes;
    Recording recording;
    RecordingProvider provider{recording};
    Services services{fakes.prompts, fakes.desktop, provider, fakes.random, QString()};
    SettingsStore settings;
    Form1 form{services, settings};
};

const QString kAvailability = QStringLiteral("create,drop");

TEST_F(SpreadsheetExport, TickedRowsKeepTheirSheetRows) {
    AddRows({{QStringLiteral("=SUM(A1:A2) stays a text."), true},
             {QStringLiteral("Two."), false},
             {QStringLiteral("Three = four."), true}});
    form1::PushButton2_Click(form);

    EXPECT_EQ(recording.calls.join(u','),
              kAvailability + QStringLiteral(",create,add workbook,visible 1,"
                                             "cell 1,1 Total Sentence Count: 3,fit 1,"
                                             "cell 2,1 =SUM(A1:A2) stays a text.,"
                                             "cell 4,1 Three = four.,"
                                             "fit all,release,drop"));
    EXPECT_EQ(recording.busyAtCells, (std::vector<bool>{true, true, true}));
    EXPECT_TRUE(fakes.prompts.calls.empty());
    EXPECT_EQ(form.pointer(), Form1::Pointer::Default);
}

TEST_F(SpreadsheetExport, EqualsSignsGoFromTheSecondColumnOn) {
    QStandardItemModel list(0, 2);
    list.setHorizontalHeaderLabels({QStringLiteral("Sentence"), QStringLiteral("=Note")});
    auto* first = new QStandardItem(QStringLiteral("=a=b"));
    first->setCheckable(true);
    first->setCheckState(Qt::Checked);
    list.appendRow({first, new QStandardItem(QStringLiteral("=c==d="))});
    ExportListToSpreadsheet(form, list);

    EXPECT_EQ(recording.calls.join(u','),
              kAvailability + QStringLiteral(",create,add workbook,visible 1,"
                                             "cell 1,1 Sentence,fit 1,cell 1,2 =Note,fit 2,"
                                             "cell 2,1 =a=b,cell 2,2 cd,"
                                             "fit all,release,drop"));
}

TEST_F(SpreadsheetExport, AnEmptyListOpensNoWorkbook) {
    form1::PushButton2_Click(form);
    EXPECT_EQ(recording.calls.join(u','), kAvailability);
    EXPECT_TRUE(fakes.prompts.calls.empty());
    EXPECT_EQ(form.pointer(), Form1::Pointer::Default);
}

TEST_F(SpreadsheetExport, AMissingApplicationShowsBothMessagesInOrder) {
    AddRows({{QStringLiteral("One."), true}});
    recording.failingCreates = {1, 2};
    form1::PushButton2_Click(form);

    EXPECT_EQ(recording.calls, QStringList{QStringLiteral("create")});
    ASSERT_EQ(fakes.prompts.calls.size(), 2u);
    EXPECT_EQ(fakes.prompts.calls[0].text,
              QStringLiteral("Excel is not installed on this computer. You need to have it "
                             "installed to use this software without error."));
    EXPECT_EQ(fakes.prompts.calls[1].text,
              QStringLiteral("Excel is not installed on this computer. You need to have it "
                             "installed to use this feature."));
    for (const auto& call : fakes.prompts.calls) {
        EXPECT_EQ(call.kind, Kind::Message);
        EXPECT_EQ(call.title, QStringLiteral("Brintale"));
        EXPECT_EQ(call.icon, Prompts::Icon::None);
    }
    EXPECT_EQ(form.pointer(), Form1::Pointer::Default);
}

// Without an application or a workbook, one report and nothing more is asked of it.
TEST_F(SpreadsheetExport, AFailedStartIsReportedOnce) {
    struct Case {
        const char* name;
        bool failCreate;
        QString calls;
        int line;
    };
    for (const Case& c : {Case{"application", true, kAvailability + QStringLiteral(",create"), 112},
                          Case{"workbook", false,
                               kAvailability + QStringLiteral(",create,add workbook,drop"), 114}}) {
        SCOPED_TRACE(c.name);
        form.results().ClearRows();
        AddRows({{QStringLiteral("One."), true}, {QStringLiteral("Two."), true}});
        recording = Recording{};
        recording.form = &form;
        recording.failingCreates = c.failCreate ? std::set<int>{2} : std::set<int>{};
        recording.failAddWorkbook = !c.failCreate;
        fakes.prompts.calls.clear();
        form1::PushButton2_Click(form);

        EXPECT_EQ(recording.calls.join(u','), c.calls);
        const QStringList reports = Reports();
        ASSERT_EQ(reports.size(), 1);
        EXPECT_TRUE(reports[0].contains(
            QStringLiteral("in Brintale2021/08/31.Form1.PushButton2_Click at line %1\r\r")
                .arg(c.line)));
        EXPECT_EQ(form.pointer(), Form1::Pointer::Default);
    }
}

TEST_F(SpreadsheetExport, AnApplicationThatStopsTakingCellsIsReportedOnce) {
    AddRows({{QStringLiteral("One."), true},
             {QStringLiteral("Two."), true},
             {QStringLiteral("Three."), true}});
    recording.stopAtCell = 3;  // the header, row 1, then row 2 fails
    form1::PushButton2_Click(form);

    EXPECT_EQ(recording.calls.join(u','),
              kAvailability + QStringLiteral(",create,add workbook,visible 1,"
                                             "cell 1,1 Total Sentence Count: 3,fit 1,"
                                             "cell 2,1 One.,cell 3,1 Two.,"
                                             "fit all,release,drop"));
    const QStringList reports = Reports();
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].startsWith(QStringLiteral("closed\r\n")));
    EXPECT_TRUE(reports[0].contains(QStringLiteral("PushButton2_Click at line 152\r\r")));
}

}  // namespace
}  // namespace brintale
