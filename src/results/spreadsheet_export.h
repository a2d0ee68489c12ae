#pragma once

class QAbstractItemModel;

namespace brintale {

class Form1;

// Copies a list with columns into a new workbook as "Save Results As Excel File" does:
// captions in sheet row 1, list row r in sheet row r + 1, unticked rows left empty.
void ExportListToSpreadsheet(Form1& form, const QAbstractItemModel& list);

namespace form1 {

// True when the spreadsheet application can be started; otherwise tells the user so.
bool SaveResultsAsExcelFileIsExcelInstalled(Form1& form);
// "Save Results As Excel File".
void PushButton2_Click(Form1& form);

}  // namespace form1
}  // namespace brintale
