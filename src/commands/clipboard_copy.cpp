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

}  // namespace

void CopyResultsToClipboard(MainForm& form) {
    ErrorTrap trap(form, tags::kCopyResultsToClipboard);
    trap(106, [&] { CopyListToClipboard(form.results(), form.services().clipboard); });
    trap(108, [&] {
        form.services().prompts.Message(form.widget(), ApplicationTitle(), kCopiedMessage,
                                        Prompts::Icon::None);
    });
}

}  // namespace brintale
