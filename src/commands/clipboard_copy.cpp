#include "commands/clipboard_copy.h"

#include "commands/main_form.h"
#include "core/error_report.h"
#include "core/procedure_tags.h"
#include "core/product.h"
#include "core/results_model.h"
#include "platform/clipboard.h"
#include "platform/services.h"

namespace brintale {

namespace {

const QString kCopiedMessage =
    QStringLiteral("Results have been copied to the clipboard.") + QStringLiteral("\r\r") +
    QStringLiteral(
        "Click a text area where you normally type and press Ctrl+V to paste the "
        "clipboard.");
const QString kNothingTickedHint = QStringLiteral(
    "\r\rNo row was ticked, so only the total was copied. Tick rows, or right-click the list "
    "and choose Check All.");
const QString kEmptyListHint = QStringLiteral(
    "\r\rThe list is empty, so nothing was copied and the clipboard is as it was. Press Start "
    "Counting to fill the list.");

bool AnyTicked(const ResultsModel& results) {
    for (int row = 0; row < results.rowCount(); ++row)
        if (results.IsTickedAt(row)) return true;
    return false;
}

}  // namespace

void CopyResultsToClipboard(MainForm& form) {
    ErrorTrap trap(form, tags::kCopyResultsToClipboard);
    trap(106, [&] { CopyListToClipboard(form.results(), form.services().clipboard); });
    trap(108, [&] {
        // After a count nothing is ticked, which makes a copy of the total alone easy to miss;
        // an empty list copies nothing at all.
        const ResultsModel& results = form.results();
        const QString hint = results.rowCount() == 0 ? kEmptyListHint
                             : !AnyTicked(results)   ? kNothingTickedHint
                                                     : QString();
        form.services().prompts.Message(form.widget(), ApplicationTitle(), kCopiedMessage + hint,
                                        Prompts::Icon::None);
    });
}

}  // namespace brintale
