#pragma once

namespace brintale {

class MainForm;

// Selects the sentence of the list's current row in the text box and scrolls it into view.
// Nothing when the row's stretch is not known or the text has changed since the count: the
// stretch would point at other words.
void ShowSentenceInText(MainForm& form);

}  // namespace brintale
