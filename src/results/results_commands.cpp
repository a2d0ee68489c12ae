#include "results/results_commands.h"

#include <QItemSelectionModel>
#include <QTreeView>

#include "results/results_model.h"
#include "shell/error_report.h"
#include "shell/main_window.h"

namespace brintale::form1 {

namespace {

// Removes the selected row; nothing while busy, on an empty list or with no selection.
// The header keeps the total of the last count or clear.
void RemoveSelectedRow(Form1& form) {
    if (form.IsBusy()) return;
    ResultsModel& results = form.results();
    if (results.RowCount() == 0) return;
    const QItemSelectionModel* selection = form.listView1()->selectionModel();
    if (selection == nullptr) return;
    const QModelIndexList rows = selection->selectedRows();
    if (rows.isEmpty()) return;
    results.RemoveRow(rows.first().row() + 1);
}

}  // namespace

void PushButton9_Click(Form1& form) {
    ErrorTrap trap(form, QStringLiteral("Form1.PushButton9_Click"));
    trap(100, [&] {
        if (!form.IsBusy()) form.results().ClearRows();
    });
    trap(102, [&] { form.results().SetHeaderTotal(); });
}

void ListView1_DblClick(Form1& form) { RemoveSelectedRow(form); }

bool ListView1_KeyDown(Form1& form, int key) {
    if (key != Qt::Key_Delete) return false;
    RemoveSelectedRow(form);
    return true;
}

}  // namespace brintale::form1
