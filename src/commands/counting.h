#pragma once

class QString;

namespace brintale {

class MainForm;

// "Start Counting".
void StartCounting(MainForm& form);
// The sentence-end options, stored at every change.
void StoreSeparators(MainForm& form);
void StoreLineBreakOption(MainForm& form);
void StoreTabOption(MainForm& form);
// Stores an option at once; a failing store is told once until a store succeeds again.
void StoreOption(MainForm& form, const QString& key, const QString& value);

}  // namespace brintale
