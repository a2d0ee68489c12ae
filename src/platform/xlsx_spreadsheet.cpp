#include "platform/xlsx_spreadsheet.h"

#include <xlsxwriter.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMimeDatabase>
#include <QSet>
#include <QTextStream>
#include <QUrl>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "platform/services.h"
#include "platform/spreadsheet_application.h"

namespace brintale {

namespace {

QStringList PathList(const char* variable, const QString& fallback) {
    QString value = qEnvironmentVariable(variable);
    if (value.isEmpty()) value = fallback;
    QStringList out;
    for (const QString& dir : value.split(QChar(u':'), Qt::SkipEmptyParts)) out << dir;
    return out;
}

// group -> key -> the entries of its ';'-separated value
using DesktopList = QHash<QString, QHash<QString, QStringList>>;

DesktopList ReadDesktopList(const QString& path) {
    DesktopList groups;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return groups;
    QTextStream in(&file);
    QString group;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(QChar(u'#'))) continue;
        if (line.startsWith(QChar(u'[')) && line.endsWith(QChar(u']'))) {
            group = line.mid(1, line.size() - 2);
            continue;
        }
        const qsizetype equals = line.indexOf(QChar(u'='));
        if (equals <= 0) continue;
        QStringList entries;
        for (const QString& entry : line.mid(equals + 1).split(QChar(u';'), Qt::SkipEmptyParts)) {
            if (!entry.trimmed().isEmpty()) entries << entry.trimmed();
        }
        groups[group][line.left(equals).trimmed()] = entries;
    }
    return groups;
}

// A desktop file id names "applications/a/b.desktop" as "a-b.desktop".
bool Installed(const QString& id, const XdgDirs& dirs) {
    QStringList candidates{id};
    for (qsizetype dash = id.indexOf(QChar(u'-')); dash >= 0;
         dash = id.indexOf(QChar(u'-'), dash + 1)) {
        candidates << id.left(dash) + QChar(u'/') + id.mid(dash + 1);
    }
    for (const QString& data : dirs.dataDirs) {
        for (const QString& candidate : candidates) {
            if (QFileInfo(data + QStringLiteral("/applications/") + candidate).isFile())
                return true;
        }
    }
    return false;
}

// A folder without a cache (no desktop-file-utils) is read the way xdg-mime reads it: from
// the MIME types that its applications declare.
QHash<QString, QStringList> ScanDesktopFiles(const QString& applications) {
    QHash<QString, QStringList> byType;
    const QStringList names =
        QDir(applications).entryList({QStringLiteral("*.desktop")}, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        const auto entry = ReadDesktopList(applications + QChar(u'/') + name)
                               .value(QStringLiteral("Desktop Entry"));
        for (const QString& type : entry.value(QStringLiteral("MimeType"))) byType[type] << name;
    }
    return byType;
}

QStringList MimeAppsLists(const XdgDirs& dirs) {
    QStringList files;
    const auto add = [&](const QString& folder) {
        for (const QString& desktop : dirs.desktops)
            files << folder + QChar(u'/') + desktop + QStringLiteral("-mimeapps.list");
        files << folder + QStringLiteral("/mimeapps.list");
    };
    for (const QString& config : dirs.configDirs) add(config);
    for (const QString& data : dirs.dataDirs) add(data + QStringLiteral("/applications"));
    return files;
}

// An .xlsx cell takes at most this many characters.
constexpr qsizetype kCellTextMax = 32767;

bool IsHexDigit(QChar c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// How text[i] goes into the sheet's XML.
enum class Unit {
    Plain,    // as it is
    Pair,     // as it is, with the next unit (a surrogate pair)
    Control,  // a C0 control, which libxlsxwriter writes as "_xHHHH_"
    Escaped,  // as "_xHHHH_", written here
};

// XML 1.0 has no place for most C0 controls, U+FFFE, U+FFFF or half a pair, and reads a
// carriage return as a line feed.
Unit WriteForm(const QString& text, qsizetype i);

// "_x" + four hex digits + "_" in the XML from text[i] on: the form in which a cell carries
// a character. The last underscore may also be the start of the next character's escape.
bool StartsEscapeForm(const QString& text, qsizetype i) {
    if (i + 6 >= text.size() || text[i] != u'_' || text[i + 1] != u'x') return false;
    for (qsizetype k = i + 2; k < i + 6; ++k)
        if (!IsHexDigit(text[k])) return false;
    if (text[i + 6] == u'_') return true;
    const Unit next = WriteForm(text, i + 6);
    return next == Unit::Control || next == Unit::Escaped;
}

Unit WriteForm(const QString& text, qsizetype i) {
    const char16_t c = text[i].unicode();
    // libxlsxwriter escapes the controls after it has measured the text, so that they count
    // as the one character they stand for; U+0000 would end its C string.
    if (c < 0x20)
        return c == u'\t' || c == u'\n' ? Unit::Plain : c == 0 ? Unit::Escaped : Unit::Control;
    if (c == 0xFFFE || c == 0xFFFF) return Unit::Escaped;
    if (QChar::isHighSurrogate(c))
        return i + 1 < text.size() && text[i + 1].isLowSurrogate() ? Unit::Pair : Unit::Escaped;
    if (QChar::isLowSurrogate(c)) return Unit::Escaped;
    // Already in the escape form, it would be read as the character it names: its underscore
    // goes as "_x005F_", so that it reads back as written.
    return c == u'_' && StartsEscapeForm(text, i) ? Unit::Escaped : Unit::Plain;
}

// The text as libxlsxwriter takes it for a cell's XML: in OOXML's escapes where XML cannot
// carry a character and libxlsxwriter would not escape it, so that the spreadsheet
// application reads back the text unchanged. `escaped` counts the escapes made here.
QString CellText(const QString& text, qsizetype& escaped) {
    QString out;
    escaped = 0;
    qsizetype copied = 0;  // text before this is in out
    for (qsizetype i = 0; i < text.size();) {
        const Unit unit = WriteForm(text, i);
        if (unit == Unit::Escaped) {
            out += QStringView(text).mid(copied, i - copied);
            out += QStringLiteral("_x") +
                   QString::number(text[i].unicode(), 16).rightJustified(4, u'0').toUpper() +
                   QChar(u'_');
            copied = i + 1;
            ++escaped;
        }
        i += unit == Unit::Pair ? 2 : 1;
    }
    if (copied == 0) return text;
    out += QStringView(text).mid(copied);
    return out;
}

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

XdgDirs XdgDirs::FromEnvironment() {
    const QString home = QDir::homePath();
    XdgDirs dirs;
    dirs.configDirs = PathList("XDG_CONFIG_HOME", home + QStringLiteral("/.config")) +
                      PathList("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg"));
    dirs.dataDirs = PathList("XDG_DATA_HOME", home + QStringLiteral("/.local/share")) +
                    PathList("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"));
    for (const QString& desktop :
         qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QChar(u':'), Qt::SkipEmptyParts))
        dirs.desktops << desktop.toLower();
    return dirs;
}

QString DesktopDefaultApplication(const QStringList& mimeTypes, const XdgDirs& dirs) {
    std::vector<DesktopList> lists;
    for (const QString& path : MimeAppsLists(dirs)) lists.push_back(ReadDesktopList(path));

    // The defaults of the most important list win, the first installed one of each.
    for (const DesktopList& list : lists) {
        const auto defaults = list.value(QStringLiteral("Default Applications"));
        for (const QString& type : mimeTypes) {
            for (const QString& id : defaults.value(type))
                if (Installed(id, dirs)) return id;
        }
    }

    // Otherwise the most preferred association; a removal hides an application from the
    // less important lists and the caches.
    QSet<QString> removed;
    for (const DesktopList& list : lists) {
        const auto added = list.value(QStringLiteral("Added Associations"));
        const auto gone = list.value(QStringLiteral("Removed Associations"));
        for (const QString& type : mimeTypes)
            for (const QString& id : gone.value(type)) removed.insert(id);
        for (const QString& type : mimeTypes) {
            for (const QString& id : added.value(type))
                if (!removed.contains(id) && Installed(id, dirs)) return id;
        }
    }
    for (const QString& data : dirs.dataDirs) {
        const QString applications = data + QStringLiteral("/applications");
        const QString cachePath = applications + QStringLiteral("/mimeinfo.cache");
        const auto cache = QFileInfo::exists(cachePath)
                               ? ReadDesktopList(cachePath).value(QStringLiteral("MIME Cache"))
                               : ScanDesktopFiles(applications);
        for (const QString& type : mimeTypes) {
            for (const QString& id : cache.value(type))
                if (!removed.contains(id) && Installed(id, dirs)) return id;
        }
    }
    return QString();
}

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
