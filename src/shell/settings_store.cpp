// Placeholder until the store lands.
#include "shell/settings_store.h"

#include <QSettings>

namespace brintale {

QString SettingsStore::Read(const QString& key, const QString& defaultValue) const {
    QSettings s(QStringLiteral("Quorvane"), QStringLiteral("Brintale Software"));
    return s.value(key, defaultValue).toString();
}

void SettingsStore::Write(const QString& key, const QString& text) {
    QSettings s(QStringLiteral("Quorvane"), QStringLiteral("Brintale Software"));
    s.setValue(key, text);
}

QString JoinAbbreviations(const QStringList& entries) {
    QString out;
    for (const QString& e : entries) out += e + kAbbreviationDelimiter;
    return out;
}

QStringList SplitAbbreviationsForCount(const QString& stored) {
    if (stored.isEmpty()) return {};
    return stored.split(kAbbreviationDelimiter);
}

QStringList SplitAbbreviationsForWindow(const QString& stored) {
    return stored.split(kAbbreviationDelimiter, Qt::SkipEmptyParts);
}

}  // namespace brintale
