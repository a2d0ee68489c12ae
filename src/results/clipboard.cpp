#include "results/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <algorithm>
#include <vector>

#include "results/text_export.h"

namespace brintale {

namespace {

QString FormatMimeType(int format) {
    return format == kDefaultTextFormat
               ? QStringLiteral("text/plain")
               : QStringLiteral("application/x-brintale-format-%1").arg(format);
}

class QtClipboard : public Clipboard {
  public:
    bool TryClear() override {
        QClipboard* clipboard = QGuiApplication::clipboard();
        if (!clipboard) return false;
        clipboard->clear();
        const QMimeData* data = clipboard->mimeData();
        return !data || data->formats().isEmpty();
    }

    bool TrySetText(const QString& text, int format) override {
        QClipboard* clipboard = QGuiApplication::clipboard();
        if (!clipboard) return false;
        auto* data = new QMimeData;
        if (format == kDefaultTextFormat)
            data->setText(text);
        else
            data->setData(FormatMimeType(format), text.toUtf8());
        clipboard->setMimeData(data);  // the clipboard owns it now
        // While we own the clipboard it hands back our own data; comparing the pointer
        // avoids reading a text of many megabytes back on every attempt.
        return clipboard->mimeData() == data;
    }
};

}  // namespace

Clipboard& SystemClipboard() {
    static QtClipboard clipboard;
    return clipboard;
}

void ClearClipboard(Clipboard& clipboard) {
    for (int attempt = 0; attempt < kClipboardAttempts; ++attempt) {
        try {
            if (clipboard.TryClear()) return;
        } catch (...) {
            // Another program may hold the clipboard; try again.
        }
    }
}

bool SetClipboardText(const QString& text, int format, Clipboard& clipboard) {
    for (int attempt = 0; attempt < kClipboardAttempts; ++attempt) {
        try {
            if (clipboard.TrySetText(text, format)) return true;
        } catch (...) {
            // Another program may hold the clipboard; try again.
        }
    }
    return false;
}

QString ClipboardText(const QAbstractItemModel& list) {
    const int rows = ListRowCount(list);
    if (rows <= 0) return QString();
    const int columns = std::max(ListColumnCount(list), 0);
    const auto columnCount = static_cast<std::size_t>(columns);

    // Each cell is fetched once and kept for both passes.
    std::vector<QString> cells;
    cells.reserve(static_cast<std::size_t>(rows) * columnCount);
    std::vector<bool> ticked(static_cast<std::size_t>(rows));
    std::vector<qsizetype> widths(columnCount, 0);
    qsizetype tickedRows = 0;
    for (int r = 1; r <= rows; ++r) {
        const bool mark = ListCheckMark(list, r);
        ticked[static_cast<std::size_t>(r - 1)] = mark;
        if (mark) ++tickedRows;
        for (std::size_t c = 0; c < columnCount; ++c) {
            cells.push_back(ListCellText(list, r, static_cast<int>(c) + 1));
            widths[c] = std::max(widths[c], cells.back().size());
        }
    }

    const QString caption = ListColumnCaption(list, 1);
    qsizetype longestLine = 2;  // CR LF
    for (std::size_t c = 0; c < columnCount; ++c) longestLine += widths[c] + 1;
    QString text;
    text.reserve(caption.size() + 2 + tickedRows * longestLine);
    text += caption;
    text += QStringLiteral("\r\n");

    for (std::size_t r = 0; r < ticked.size(); ++r) {
        if (!ticked[r]) continue;
        const qsizetype lineStart = text.size();
        const QString* row = cells.data() + r * columnCount;
        for (std::size_t c = 0; c < columnCount; ++c) {
            text += row[c];
            // The last cell's padding and tab would only be stripped again.
            if (c + 1 == columnCount) break;
            text.resize(text.size() + widths[c] - row[c].size(), QChar(u' '));
            text += QChar(u'\t');
        }
        qsizetype end = text.size();
        while (end > lineStart && text.at(end - 1) == QChar(u' ')) --end;
        text.truncate(end);
        text += QStringLiteral("\r\n");
    }
    return text;
}

void CopyListToClipboard(const QAbstractItemModel& list, Clipboard& clipboard) {
    if (ListRowCount(list) <= 0) return;
    const QString text = ClipboardText(list);
    ClearClipboard(clipboard);
    SetClipboardText(text, kDefaultTextFormat, clipboard);
}

}  // namespace brintale
