#pragma once

namespace brintale {

class MainForm;

// "Help".
void ShowHelp(MainForm& form);

}  // namespace brintale
