#pragma once

#include <QString>

class QAbstractItemModel;

namespace brintale {

class Clipboard;

inline constexpr int kClipboardAttempts = 1000;
// Format code 0: the plain-text format.
inline constexpr int kDefaultTextFormat = 0;

// Empties the clipboard; at most kClipboardAttempts attempts, failures swallowed.
void ClearClipboard(Clipboard& clipboard);
// Places the text in the given format; at most kClipboardAttempts attempts, failures
// swallowed. True when the clipboard took the text.
bool SetClipboardText(Clipboard& clipboard, const QString& text, int format = kDefaultTextFormat);

// The clipboard form of a list: the caption of column 1 and CR LF, then one line per ticked
// row with the cells padded to their column's width and separated by tabs, trailing spaces
// removed, each line ended by CR LF. Empty when the list has no rows.
QString ClipboardText(const QAbstractItemModel& list);

// Puts ClipboardText on the clipboard; does nothing at all when the list has no rows.
void CopyListToClipboard(const QAbstractItemModel& list, Clipboard& clipboard);

}  // namespace brintale
