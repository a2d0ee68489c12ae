#include "commands/results_list.h"

#include <QItemSelectionModel>
#include <QTreeView>

#include "commands/main_form.h"
#include "core/error_report.h"
#include "core/procedure_tags.h"
#include "core/results_model.h"
#include "platform/services.h"

namespace brintale {

namespace {

// Removes the selected row; nothing while busy, on an empty list or with no selection.
// The header keeps the total of the last count or clear.
void RemoveSelectedRow(MainForm& form) {
    if (form.IsBusy()) return;
    ResultsModel& results = form.results();
    if (results.rowCount() == 0) return;
    const QItemSelectionModel* selection = form.resultsView()->selectionModel();
    if (selection == nullptr) return;
    const QModelIndexList rows = selection->selectedRows();
    if (rows.isEmpty()) return;
    results.RemoveAt(rows.first().row());
}

}  // namespace

void ClearResults(MainForm& form) {
    ErrorTrap trap(form, tags::kClearResults);
    trap(100, [&] {
        if (!form.IsBusy()) form.results().Clear();
    });
    trap(102, [&] { form.results().SetHeaderTotal(); });
}

void RemoveSelectedResult(MainForm& form) { RemoveSelectedRow(form); }

bool HandleResultsKey(MainForm& form, int key) {
    if (key != Qt::Key_Delete) return false;
    RemoveSelectedRow(form);
    return true;
}

}  // namespace brintale
