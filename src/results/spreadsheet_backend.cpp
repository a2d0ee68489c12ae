// Placeholder until the workbook backend lands.
#include "results/spreadsheet_application.h"
#include "shell/failure.h"

namespace brintale {

namespace {
class NoSpreadsheet : public SpreadsheetProvider {
  public:
    std::unique_ptr<SpreadsheetApplication> Create() override {
        throw Failure(QStringLiteral("No spreadsheet application"));
    }
};
}  // namespace

std::unique_ptr<SpreadsheetProvider> MakeDefaultSpreadsheetProvider(Desktop&) {
    return std::make_unique<NoSpreadsheet>();
}

}  // namespace brintale
