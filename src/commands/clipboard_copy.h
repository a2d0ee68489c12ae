#pragma once

namespace brintale {

class MainForm;

// "Copy Results To Clipboard".
void CopyResultsToClipboard(MainForm& form);

}  // namespace brintale
