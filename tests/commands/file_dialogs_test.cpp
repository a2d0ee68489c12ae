// Where the file dialogs open, and what the long exports tell of their progress.
#include "commands/file_dialogs.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTimer>

#include "commands/spreadsheet_export.h"
#include "commands/text_export.h"
#include "commands/text_loading.h"
#include "core/results_model.h"
#include "core/settings_store.h"
#include "platform/spreadsheet_application.h"
#include "testing/fake_main_form.h"

namespace brintale {
namespace {

using Kind = testing::FakePrompts::Kind;

// Open and save share one remembered folder; a cancelled dialog or a folder gone since
// leaves the dialog to choose.
TEST(FileDialogs, StartInTheFolderLastChosenInEither) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("a/b")));
    const QString a = dir.filePath(QStringLiteral("a")), b = dir.filePath(QStringLiteral("a/b"));
    QFile text(a + QStringLiteral("/in.txt"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly) && text.write("One.") == 4 && text.flush());

    testing::FakeMainForm form;
    testing::FakePrompts& prompts = form.fakes().prompts;
    const struct {
        Kind kind;
        QString answer;  // "": Cancel
        QString openedIn;
        QString removeAfter;
    } steps[] = {
        {Kind::Open, text.fileName(), QString(), QString()},
        {Kind::Save, QString(), a, QString()},
        {Kind::Save, b + QStringLiteral("/out.txt"), a, QString()},
        {Kind::Open, QString(), b, b},
        {Kind::Open, QString(), QString(), QString()},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.answer.toStdString());
        prompts.calls.clear();
        prompts.fileNames = {step.answer};
        if (step.kind == Kind::Open)
            LoadTextFromFile(form);
        else
            SaveResultsAsTextFile(form);
        ASSERT_EQ(prompts.of(step.kind).size(), 1u);
        EXPECT_EQ(prompts.of(step.kind)[0].folder, step.openedIn);
        if (!step.removeAfter.isEmpty()) {
            ASSERT_TRUE(QDir(step.removeAfter).removeRecursively());
        }
    }
    EXPECT_TRUE(form.Reports().isEmpty());
}

class AcceptingSpreadsheets : public SpreadsheetProvider, public SpreadsheetApplication {
  public:
    std::unique_ptr<SpreadsheetApplication> Create() override {
        struct Handle : SpreadsheetApplication {
            SpreadsheetApplication& app;
            explicit Handle(SpreadsheetApplication& app) : app(app) {}
            void AddWorkbook() override {}
            void SetVisible(bool) override {}
            void SetCell(int row, int column, const QString& v) override {
                app.SetCell(row, column, v);
            }
            void AutofitColumn(int) override {}
            void AutofitAllColumns() override {}
            void Release() override {}
        };
        return std::make_unique<Handle>(*this);
    }
    void AddWorkbook() override {}
    void SetVisible(bool) override {}
    void SetCell(int, int, const QString&) override { ++cells; }
    void AutofitColumn(int) override {}
    void AutofitAllColumns() override {}
    void Release() override {}
    int cells = 0;
};

// Both exports report each row they write as a step and end their progress, also when the list
// changes under the save and it stops with a report.
TEST(ExportProgress, CountsTheRowsAndEndsEvenWhenStopped) {
    QTemporaryDir dir;
    for (const bool workbook : {false, true}) {
        for (const bool refill : {false, !workbook}) {
            SCOPED_TRACE(std::string(workbook ? "workbook" : "text") + (refill ? " refilled" : ""));
            AcceptingSpreadsheets sheets;
            testing::FakeMainForm form(&sheets);
            ResultsModel& list = form.results();
            for (int r = 1; r <= 5000; ++r) {
                list.Append(QStringLiteral("Row %1.").arg(r));
                list.SetTickedAt(list.rowCount() - 1, r % 2 == 0);
            }
            form.fakes().prompts.fileNames = {
                dir.filePath(QStringLiteral("out%1.txt").arg(refill ? "-refilled" : ""))};
            // Events get through while the rows are read; this one changes them.
            if (refill) QTimer::singleShot(0, &form, [&] { list.Clear(); });
            if (workbook)
                SaveResultsAsSpreadsheet(form);
            else
                SaveResultsAsTextFile(form);
            // The save writes every row, the export the ticked ones.
            const int steps = workbook ? 2500 : 5000;
            const auto& tasks = form.fakes().progress.tasks;
            ASSERT_EQ(tasks.size(), 1u);
            EXPECT_EQ(tasks[0].steps, steps);
            EXPECT_TRUE(
                tasks[0].label.contains(QLocale().toString(steps) + QStringLiteral(" rows")))
                << tasks[0].label.toStdString();
            EXPECT_TRUE(tasks[0].finished);
            EXPECT_EQ(tasks[0].done, refill ? 0 : steps - 1);
            EXPECT_EQ(form.Reports().size(), refill ? 1 : 0);
        }
    }
}

}  // namespace
}  // namespace brintale
