#include "platform/clipboard.h"

#include <QAbstractItemModel>
#include <algorithm>
#include <vector>

#include "platform/list_reading.h"
#include "platform/services.h"

namespace brintale {

void ClearClipboard(Clipboard& clipboard) {
    for (int attempt = 0; attempt < kClipboardAttempts; ++attempt) {
        try {
            if (clipboard.TryClear()) return;
        } catch (...) {
            // Another program may hold the clipboard; try again.
        }
    }
}

bool SetClipboardText(Clipboard& clipboard, const QString& text, int format) {
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
    // The last column's padding would only be stripped again, so only the columns before
    // it need widths, and only their cells are kept between the two passes. Every cell is
    // fetched once.
    const std::size_t padded = columns > 1 ? static_cast<std::size_t>(columns - 1) : 0;
    std::vector<QString> kept;
    kept.reserve(static_cast<std::size_t>(rows) * padded);
    std::vector<qsizetype> widths(padded, 0);
    for (int r = 1; padded > 0 && r <= rows; ++r) {
        for (std::size_t c = 0; c < padded; ++c) {
            kept.push_back(ListCellText(list, r, static_cast<int>(c) + 1));
            widths[c] = std::max(widths[c], kept.back().size());
        }
    }

    const QString caption = ListColumnCaption(list, 1);
    QString text;  // grows geometrically: linear overall
    text += caption;
    text += QStringLiteral("\r\n");
    for (int r = 1; r <= rows; ++r) {
        if (!ListCheckMark(list, r)) continue;
        const QString* row = kept.data() + static_cast<std::size_t>(r - 1) * padded;
        const QString last = columns > 0 ? ListCellText(list, r, columns) : QString();
        const qsizetype lineStart = text.size();
        for (std::size_t c = 0; c < padded; ++c) {
            text += row[c];
            text.resize(text.size() + widths[c] - row[c].size(), QChar(u' '));
            text += QChar(u'\t');
        }
        text += last;
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
    SetClipboardText(clipboard, text);
}

}  // namespace brintale
