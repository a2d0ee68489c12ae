#include "commands/spreadsheet_export.h"

#include <QAbstractItemModel>
#include <optional>

#include "commands/main_form.h"
#include "core/error_report.h"
#include "core/procedure_tags.h"
#include "core/product.h"
#include "core/results_model.h"
#include "platform/list_reading.h"
#include "platform/services.h"
#include "platform/spreadsheet_application.h"

namespace brintale {

namespace {

const QString kNotInstalledTest = QStringLiteral(
    "Excel is not installed on this computer. You need to have it installed to use this "
    "software without error.");
const QString kNotInstalledCommand = QStringLiteral(
    "Excel is not installed on this computer. You need to have it installed to use this "
    "feature.");

void Tell(MainForm& form, const QString& text) {
    form.services().prompts.Message(form.widget(), ApplicationTitle(), text, Prompts::Icon::None);
}

}  // namespace

void ExportListToSpreadsheet(MainForm& form, const QAbstractItemModel& list) {
    ErrorTrap trap(form, tags::kSaveResultsAsSpreadsheet);
    if (trap.test(100, [&] { return !IsSpreadsheetApplicationInstalled(form); })) {
        trap(172, [&] { Tell(form, kNotInstalledCommand); });
        return;
    }

    trap(108, [&] { form.SetPointer(MainForm::Pointer::Hourglass); });
    const auto restorePointer = [&] {
        trap(170, [&] { form.SetPointer(MainForm::Pointer::Default); });
    };
    if (trap.test(110, [&] { return ListRowCount(list) == 0; })) {
        restorePointer();
        return;
    }

    // Without the application or its workbook every later call would fail as well: one
    // report, and the export ends here.
    std::unique_ptr<SpreadsheetApplication> app;
    const bool started =
        trap(112,
             [&] {
                 app = form.services().spreadsheets.Create();
                 if (!app)
                     throw Failure(QStringLiteral("The spreadsheet application gave no object."));
             }) &&
        trap(114, [&] { app->AddWorkbook(); });
    if (!started) {
        restorePointer();
        return;
    }
    trap(116, [&] { app->SetVisible(true); });

    // Once the application takes no more cells, or the list changes underneath, the
    // filling stops after one report instead of one per cell.
    bool stopped = false;
    const auto fill = [&](int line, auto&& statement) {
        trap(line, [&] {
            try {
                statement();
            } catch (const SpreadsheetStopped&) {
                stopped = true;
                throw;
            }
        });
    };
    ListChangeWatch watch(list);
    EventPump pump;

    // The captions fill the sheet's first row; a list row keeps its place under them whether
    // or not the rows above it were ticked.
    const int columns = ListColumnCount(list);
    for (int c = 1; c <= columns && !stopped; ++c) {
        trap(122, [&] { pump(); });
        fill(124, [&] { app->SetCell(1, c, ListColumnCaption(list, c)); });
        fill(134, [&] { app->AutofitColumn(c); });
    }

    // The progress counts the rows that go into the sheet; with none ticked there is nothing
    // to wait for.
    int ticked = 0;
    const int rows = ListRowCount(list);
    for (int r = 1; r <= rows; ++r) ticked += ListCheckMark(list, r) ? 1 : 0;
    // Nothing is written before the release below, so a cancelled export leaves no file.
    std::optional<ProgressScope> progress;
    if (ticked > 0) {
        progress.emplace(
            form.services().progress, form.widget(),
            (ticked == 1 ? QStringLiteral("Exporting 1 row to a workbook\u2026")
                         : QStringLiteral("Exporting %L1 rows to a workbook\u2026").arg(ticked)),
            ticked, true);
    }
    bool cancelled = false;
    int written = 0;
    for (int r = 1; r <= rows && !stopped; ++r) {
        if (!trap(142, [&] {
                pump();
                if (progress) (*progress)(written);
                watch.Check();
            })) {
            stopped = true;
            break;
        }
        if (progress && progress->cancelled()) {
            cancelled = true;
            break;
        }
        if (trap.test(144, [&] { return ListCheckMark(list, r); })) {
            const int sheetRow = r + 1;
            const int cells = ListColumnCount(list);
            for (int c = 1; c <= cells && !stopped; ++c) {
                trap(150, [&] { pump(); });
                fill(152, [&] {
                    QString value = ListCellText(list, r, c);
                    // Only a sub-item loses its '=' signs; the sentence keeps them.
                    if (c >= 2) value.remove(QChar(u'='));
                    app->SetCell(sheetRow, c, value);
                });
            }
            ++written;
        }
    }
    // The progress goes before anything is said, and before the workbook is written.
    progress.reset();
    if (cancelled) {
        app.reset();
        restorePointer();
        return;
    }

    trap(168, [&] { app->AutofitAllColumns(); });
    // Letting go hands the workbook to the user; the default backend writes and opens it
    // here, so a failure to do so is reported with the last statement on the workbook.
    trap(168, [&] { app->Release(); });
    restorePointer();
    if (ticked == 0) {
        // After a count nothing is ticked: a sheet with the total alone is easy to mistake.
        Tell(form, QStringLiteral("No row was ticked, so only the total was exported. Tick rows, "
                                  "or right-click the list and choose Check All."));
    }
}

bool IsSpreadsheetApplicationInstalled(MainForm& form) {
    bool installed = true;
    try {
        // The instance only serves as the test and goes at once, unseen.
        const std::unique_ptr<SpreadsheetApplication> app = form.services().spreadsheets.Create();
        if (!app) installed = false;
    } catch (...) {
        installed = false;
    }
    if (!installed) {
        try {
            Tell(form, kNotInstalledTest);
        } catch (...) {
            // Nothing in this test fails outwardly.
        }
    }
    return installed;
}

void SaveResultsAsSpreadsheet(MainForm& form) { ExportListToSpreadsheet(form, form.results()); }

}  // namespace brintale
