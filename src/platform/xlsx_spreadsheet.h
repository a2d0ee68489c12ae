#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

#include "platform/default_application.h"
#include "platform/spreadsheet_application.h"

namespace brintale {

class Desktop;

// The names of the .xlsx type in the desktop's MIME database (name first, then aliases);
// empty when the database does not know it.
QStringList XlsxMimeTypes();

// "Brintale Results 2026-12-08 14-03-22.xlsx" in the folder, or with " (2)", " (3)", ...
// when that is taken. The file is created empty, so no other export can take the name.
// Throws Failure when no such file can be created.
QString ReserveWorkbookFile(const QString& folder, const QDateTime& when);

// Builds each workbook with libxlsxwriter, writes it into the folder when the application
// is released and then opens it with the desktop's application for .xlsx files.
class XlsxSpreadsheetProvider : public SpreadsheetProvider {
  public:
    // An empty folder means the user's temporary folder; no dirs, the environment's.
    explicit XlsxSpreadsheetProvider(Desktop& desktop, QString folder = QString(),
                                     std::optional<XdgDirs> dirs = std::nullopt);
    // Throws Failure when no application is registered for .xlsx files; a folder that takes
    // no workbook is told by AddWorkbook().
    std::unique_ptr<SpreadsheetApplication> Create() override;

  private:
    Desktop& desktop_;
    QString folder_;
    std::optional<XdgDirs> dirs_;
};

}  // namespace brintale
