#pragma once

class QAbstractItemModel;

namespace brintale {

class MainForm;

// Copies a list with columns into a new workbook as "Save Results As Excel File" does:
// captions in sheet row 1, list row r in sheet row r + 1, unticked rows left empty.
void ExportListToSpreadsheet(MainForm& form, const QAbstractItemModel& list);

// True when the spreadsheet application can be started; otherwise tells the user so.
bool IsSpreadsheetApplicationInstalled(MainForm& form);
// "Save Results As Excel File".
void SaveResultsAsSpreadsheet(MainForm& form);

}  // namespace brintale
