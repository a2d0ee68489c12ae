#include "commands/show_in_text.h"

#include <QItemSelectionModel>
#include <QTreeView>

#include "commands/main_form.h"
#include "commands/session.h"
#include "core/results_model.h"
#include "widgets/text_box.h"

namespace brintale {

void ShowSentenceInText(MainForm& form) {
    const Session::CountedText& counted = form.session().lastCount;
    if (!counted.done || counted.changedSince) return;
    const QTreeView* view = form.resultsView();
    const QItemSelectionModel* selection = view->selectionModel();
    const QModelIndex current = view->currentIndex();
    if (selection == nullptr || !current.isValid() || !selection->isSelected(current)) return;
    const int row = current.row();
    if (row >= form.results().rowCount()) return;
    const ResultsModel::Stretch stretch = form.results().StretchAt(row);
    if (!stretch.known()) return;
    form.textBox()->SelectStretch(stretch.start, stretch.end);
}

}  // namespace brintale
