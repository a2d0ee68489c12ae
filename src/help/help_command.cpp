#include "help/help_command.h"

#include "shell/error_report.h"
#include "shell/main_window.h"
#include "shell/shared_procedures.h"

namespace brintale::form1 {

void PushButton6_Click(Form1& form) {
    ErrorTrap trap(form, QStringLiteral("Form1.PushButton6_Click"));
    trap(100, [&] {
        form.services().prompts.Message(
            &form, ApplicationTitle(),
            QStringLiteral("Questions? Please contact Team Quorvane at ") + kContactPage,
            Prompts::Icon::None);
    });
}

}  // namespace brintale::form1
