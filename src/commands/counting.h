#pragma once

namespace brintale {

class MainForm;

// "Start Counting".
void StartCounting(MainForm& form);
// The sentence-end options, stored at every change.
void StoreSeparators(MainForm& form);
void StoreLineBreakOption(MainForm& form);
void StoreTabOption(MainForm& form);

}  // namespace brintale
