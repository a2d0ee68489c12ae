#pragma once

#include <QString>
#include <memory>

namespace brintale {

class Desktop;

// One running spreadsheet application with its new workbook, driven cell by cell.
class SpreadsheetApplication {
  public:
    virtual ~SpreadsheetApplication() = default;
    virtual void AddWorkbook() = 0;
    virtual void SetVisible(bool visible) = 0;
    // Row and column from 1; every value is text.
    virtual void SetCell(int row, int column, const QString& value) = 0;
    virtual void AutofitColumn(int column) = 0;
    virtual void AutofitAllColumns() = 0;
};

class SpreadsheetProvider {
  public:
    virtual ~SpreadsheetProvider() = default;
    // Throws Failure when the application cannot be started.
    virtual std::unique_ptr<SpreadsheetApplication> Create() = 0;
};

std::unique_ptr<SpreadsheetProvider> MakeDefaultSpreadsheetProvider(Desktop& desktop);

}  // namespace brintale
