#include "commands/help.h"

#include "commands/main_form.h"
#include "core/error_report.h"
#include "core/procedure_tags.h"
#include "core/product.h"
#include "platform/services.h"

namespace brintale {

void ShowHelp(MainForm& form) {
    ErrorTrap trap(form, tags::kShowHelp);
    trap(100, [&] {
        form.services().prompts.Message(
            form.widget(), ApplicationTitle(),
            QStringLiteral("Questions? Please contact Team Quorvane at ") + kContactPage,
            Prompts::Icon::None);
    });
}

}  // namespace brintale
