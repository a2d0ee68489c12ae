#pragma once

#include <QString>
#include <QStringList>

namespace brintale {

inline const QString kKeyEnding = QStringLiteral("Ending");
inline const QString kKeyEnter = QStringLiteral("Enter");
inline const QString kKeyTab = QStringLiteral("Tab");
inline const QString kKeyAbbreviations = QStringLiteral("Abbreviations");
// The folder of the file last opened or saved, where the next file dialog starts.
inline const QString kKeyLastFolder = QStringLiteral("LastFolder");

inline const QString kDefaultEnding = QStringLiteral(".!?");
inline const QString kDefaultEnter = QStringLiteral("1");
inline const QString kDefaultTab = QStringLiteral("1");

// The list a new user starts with.
inline const QStringList kBuiltInAbbreviations = {QStringLiteral("etc."), QStringLiteral("vs."),
                                                  QStringLiteral("i.e."), QStringLiteral("et al."),
                                                  QStringLiteral("e.g.")};

inline const QString kAbbreviationDelimiter = QStringLiteral("My_Separatora12");

// Per-user text values under application "Quorvane", section "Brintale Software", as
// QSettings keeps them. Whatever the file holds, no call blocks or reads more than a
// settings file can be. Nothing is cached: every read sees the last write of any running copy.
class SettingsStore {
  public:
    // The stored text, or defaultValue when the key is absent. Never creates the key.
    QString Read(const QString& key, const QString& defaultValue = QString()) const;
    // On disk when it returns; throws Failure when the store cannot be written.
    void Write(const QString& key, const QString& text);
    // Several keys at one reading of the store, each as Read gives it (keys and defaults
    // pair up); with unreadable, what Unreadable says. A Read each would look for the file
    // every time.
    QStringList ReadSeveral(const QStringList& keys, const QStringList& defaults,
                            QString* unreadable = nullptr) const;
    // Why the stored values cannot be read (the file is no regular file, or too large), as
    // one sentence; empty when they can. Read gives the defaults meanwhile.
    QString Unreadable() const;
};

// The check-box value (0, 1 or 2) that a stored "Enter" or "Tab" stands for, converted as the
// original's integer conversion did: any decimal number, with sign, decimals, exponent and
// surrounding spaces, rounded half to even. Throws Failure "Type mismatch" for a text that is
// no number, "Invalid property value" for a number that does not land on 0, 1 or 2.
int StoredCheckValue(const QString& stored);

// Every entry followed by the delimiter; an empty list gives the empty text.
QString JoinAbbreviations(const QStringList& entries);
// The counting command's reading: every piece, empty ones included; empty value, empty list.
QStringList SplitAbbreviationsForCount(const QString& stored);
// The abbreviation window's reading: empty pieces dropped.
QStringList SplitAbbreviationsForWindow(const QString& stored);

}  // namespace brintale
