#pragma once

namespace brintale {

class MainForm;

// "Clear Results".
void ClearResults(MainForm& form);
// Both remove the selected row; KeyDown answers whether it took the key.
void RemoveSelectedResult(MainForm& form);
bool HandleResultsKey(MainForm& form, int key);

}  // namespace brintale
