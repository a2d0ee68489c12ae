#include "platform/xlsx_spreadsheet.h"

#include <xlsxwriter.h>

#include <QDir>
#include <QFile>
#include <QMimeDatabase>
#include <QUrl>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "platform/services.h"
#include "platform/spreadsheet_application.h"
#include "platform/xlsx_cell_text.h"

namespace brintale {

namespace {

// One workbook, kept by libxlsxwriter until the application is released.
class XlsxApplication : public SpreadsheetApplication {
  public:
    XlsxApplication(Desktop& desktop, QString folder)
        : desktop_(desktop), folder_(std::move(folder)) {}

    ~XlsxApplication() override { Discard(); }

    void AddWorkbook() override {
        if (workbook_) throw Failure(QStringLiteral("This application holds a workbook already."));
        released_ = false;
        path_ = ReserveWorkbookFile(folder_, QDateTime::currentDateTime());
        tmpdir_ = QFile::encodeName(folder_);
        lxw_workbook_options options{};
        options.tmpdir = tmpdir_.data();
        // Rows come in order, so each can go to disk as it is written: a third less time
        // for a million rows than keeping them all, and far less memory.
        options.constant_memory = LXW_TRUE;
        workbook_ = workbook_new_opt(QFile::encodeName(path_).constData(), &options);
        if (workbook_) sheet_ = workbook_add_worksheet(workbook_, nullptr);
        if (!sheet_) {
            Discard();
            throw Failure(QStringLiteral("The workbook could not be created."));
        }
    }

    void SetVisible(bool visible) override { visible_ = visible; }

    void SetCell(int row, int column, const QString& value) override {
        RequireSheet();
        if (row < 1 || row > LXW_ROW_MAX || column < 1 || column > LXW_COL_MAX) {
            throw SpreadsheetStopped(
                QStringLiteral("The sheet has no cell in row %1, column %2.").arg(row).arg(column));
        }
        // The limit is on the cell as the application reads it back: the row's own
        // characters, each escape counted as the one it stands for.
        if (value.size() > kCellTextMax) {
            throw Failure(QStringLiteral("The text for row %1, column %2 is longer than a cell "
                                         "holds (%3 characters).")
                              .arg(row)
                              .arg(column)
                              .arg(kCellTextMax));
        }
        qsizetype escaped = 0;
        const QByteArray written = CellText(value, escaped).toUtf8();
        // Always a string: a text that begins with "=" must stay text.
        const lxw_error error = worksheet_write_string(sheet_, static_cast<lxw_row_t>(row - 1),
                                                       static_cast<lxw_col_t>(column - 1),
                                                       written.constData(), nullptr);
        if (error == LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED) {
            // libxlsxwriter measures the escapes written here at their full length.
            throw Failure(QStringLiteral("The text for row %1, column %2 holds %3 characters "
                                         "that a workbook carries only in a longer escaped "
                                         "form, and so escaped it is longer than a cell takes "
                                         "(%4 characters).")
                              .arg(row)
                              .arg(column)
                              .arg(escaped)
                              .arg(kCellTextMax));
        }
        if (error != LXW_NO_ERROR) throw Failure(QString::fromUtf8(lxw_strerror(error)));
        const auto c = static_cast<std::size_t>(column - 1);
        if (longest_.size() <= c) longest_.resize(c + 1, 0);
        longest_[c] = std::max(longest_[c], value.size());
    }

    void AutofitColumn(int column) override {
        RequireSheet();
        if (column < 1 || column > LXW_COL_MAX)
            throw Failure(QStringLiteral("The sheet has no column %1.").arg(column));
        const auto c = static_cast<std::size_t>(column - 1);
        fitted_[column] = c < longest_.size() ? longest_[c] : 0;
    }

    void AutofitAllColumns() override {
        RequireSheet();
        for (std::size_t c = 0; c < longest_.size(); ++c)
            fitted_[static_cast<int>(c) + 1] = longest_[c];
    }

    void Release() override {
        if (released_) return;
        released_ = true;
        // A workbook nobody can see is gone once the program lets go of it.
        if (!workbook_ || !visible_) {
            Discard();
            return;
        }
        for (const auto& [column, length] : fitted_) {
            if (length == 0) continue;
            const auto col = static_cast<lxw_col_t>(column - 1);
            worksheet_set_column(sheet_, col, col, ColumnWidth(length), nullptr);
        }
        errno = 0;
        const lxw_error error = workbook_close(workbook_);  // frees it, written or not
        // libxlsxwriter names only its own step ("Zip generic error"); the system's reason,
        // such as a full disk, is what the user can act on.
        const int cause = errno;
        workbook_ = nullptr;
        sheet_ = nullptr;
        const QString path = std::exchange(path_, QString());
        if (error != LXW_NO_ERROR) {
            QFile::remove(path);
            const QString library = QString::fromUtf8(lxw_strerror(error));
            throw Failure(QStringLiteral("The workbook %1 could not be written: %2")
                              .arg(QDir::toNativeSeparators(path),
                                   cause != 0
                                       ? QString::fromLocal8Bit(std::strerror(cause)) +
                                             QStringLiteral(" (") + library + QStringLiteral(")")
                                       : library));
        }
        // Only now is the file complete, so only now may the user's application open it.
        if (!desktop_.OpenUrl(QUrl::fromLocalFile(path))) {
            throw Failure(QStringLiteral("The workbook %1 could not be opened.")
                              .arg(QDir::toNativeSeparators(path)));
        }
    }

  private:
    // Characters of the sheet's default font, with a little room; the format's limit is 255.
    static double ColumnWidth(qsizetype length) {
        return std::min(255.0, static_cast<double>(length) * 1.1 + 2.0);
    }

    void RequireSheet() const {
        if (!sheet_) throw SpreadsheetStopped(QStringLiteral("There is no open workbook."));
    }

    // Drops an unwritten workbook and the name it reserved.
    void Discard() {
        if (workbook_) lxw_workbook_free(workbook_);
        workbook_ = nullptr;
        sheet_ = nullptr;
        if (!path_.isEmpty()) QFile::remove(std::exchange(path_, QString()));
    }

    Desktop& desktop_;
    QString folder_;
    QString path_;
    QByteArray tmpdir_;
    lxw_workbook* workbook_ = nullptr;
    lxw_worksheet* sheet_ = nullptr;
    bool visible_ = false;
    bool released_ = false;
    std::vector<qsizetype> longest_;   // per column, the longest text written so far
    std::map<int, qsizetype> fitted_;  // column -> its length when last fitted
};

}  // namespace

QStringList XlsxMimeTypes() {
    const QMimeType type =
        QMimeDatabase().mimeTypeForFile(QStringLiteral("book.xlsx"), QMimeDatabase::MatchExtension);
    if (!type.isValid() || type.isDefault()) return {};
    return QStringList{type.name()} + type.aliases();
}

QString ReserveWorkbookFile(const QString& folder, const QDateTime& when) {
    const QString stem =
        QStringLiteral("Brintale Results ") + when.toString(QStringLiteral("yyyy-MM-dd HH-mm-ss"));
    QString lastError;
    for (int n = 1; n <= 1000; ++n) {
        const QString name =
            stem + (n == 1 ? QString() : QStringLiteral(" (%1)").arg(n)) + QStringLiteral(".xlsx");
        QFile file(QDir(folder).filePath(name));
        // Only the user may read it: the temporary folder is shared.
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                      QFileDevice::ReadOwner | QFileDevice::WriteOwner))
            return file.fileName();
        lastError = file.errorString();
        if (!file.exists()) break;  // not taken, just impossible
    }
    throw Failure(QStringLiteral("The workbook could not be created in the folder %1: %2")
                      .arg(QDir::toNativeSeparators(folder), lastError));
}

XlsxSpreadsheetProvider::XlsxSpreadsheetProvider(Desktop& desktop, QString folder,
                                                 std::optional<XdgDirs> dirs)
    : desktop_(desktop), folder_(std::move(folder)), dirs_(std::move(dirs)) {}

std::unique_ptr<SpreadsheetApplication> XlsxSpreadsheetProvider::Create() {
    const QStringList types = XlsxMimeTypes();
    const XdgDirs dirs = dirs_ ? *dirs_ : XdgDirs::FromEnvironment();
    if (types.isEmpty() || DesktopDefaultApplication(types, dirs).isEmpty())
        throw Failure(QStringLiteral("No application is registered for .xlsx files."));
    // Whether the folder takes the workbook is found out when the workbook is made, and
    // told as what it is: the application is there all the same.
    const QString folder = folder_.isEmpty() ? QDir::tempPath() : folder_;
    return std::make_unique<XlsxApplication>(desktop_, folder);
}

std::unique_ptr<SpreadsheetProvider> MakeDefaultSpreadsheetProvider(Desktop& desktop) {
    return std::make_unique<XlsxSpreadsheetProvider>(desktop);
}

}  // namespace brintale
