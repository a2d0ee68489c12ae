#pragma once

#include <QString>
#include <memory>

#include "core/failure.h"

namespace brintale {

class Desktop;

// A failure after which the application takes no further cells: it was closed, or the
// sheet has no room left. The export stops filling at the first one.
class SpreadsheetStopped : public Failure {
  public:
    using Failure::Failure;
};

// One running spreadsheet application with its new workbook, driven cell by cell.
// Failing operations throw Failure (or SpreadsheetStopped).
class SpreadsheetApplication {
  public:
    // Dropping the application without Release() leaves nothing behind.
    virtual ~SpreadsheetApplication() = default;
    virtual void AddWorkbook() = 0;
    virtual void SetVisible(bool visible) = 0;
    // Row and column from 1; every value is text, never a formula.
    virtual void SetCell(int row, int column, const QString& value) = 0;
    // Fits the column to the cells it holds at this moment.
    virtual void AutofitColumn(int column) = 0;
    virtual void AutofitAllColumns() = 0;
    // The program lets go of the application: a visible workbook stays open for the user.
    virtual void Release() = 0;
};

class SpreadsheetProvider {
  public:
    virtual ~SpreadsheetProvider() = default;
    // Throws Failure when the application cannot be started.
    virtual std::unique_ptr<SpreadsheetApplication> Create() = 0;
};

// Writes each workbook as an .xlsx file in the temporary folder and opens it in the
// desktop's application for .xlsx files.
std::unique_ptr<SpreadsheetProvider> MakeDefaultSpreadsheetProvider(Desktop& desktop);

}  // namespace brintale
