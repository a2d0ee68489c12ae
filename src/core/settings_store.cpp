#include "core/settings_store.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryFile>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include "core/failure.h"

namespace brintale {

namespace {

// A fresh QSettings per operation: it re-reads the file when another copy changed it.
// Only the per-user file of this application counts: no organisation-wide or system
// fallbacks, so that what is read is what this program wrote.
std::unique_ptr<QSettings> OpenStore() {
    auto settings = std::make_unique<QSettings>(QStringLiteral("Quorvane"),
                                                QStringLiteral("Brintale Software"));
    settings->setFallbacksEnabled(false);
    return settings;
}

// An empty text that is present, never the null string, so that callers can tell it
// from "no value" however they test.
QString PresentText(QString text) {
    if (text.isNull()) return QString::fromLatin1("", 0);
    return text;
}

QString SystemMessage(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// QSettings only says "access error"; find the system's own reason for the report.
QString WhyNotWritable(const QString& fileName) {
    const QString folder = QFileInfo(fileName).absolutePath();
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(folder.toStdString()), ec);
    if (ec) return QString::fromLocal8Bit(ec.message().c_str());

    if (QFileInfo::exists(fileName)) {
        // Opening for appending neither creates nor changes the file.
        const int fd = ::open(QFile::encodeName(fileName).constData(), O_WRONLY | O_APPEND);
        if (fd < 0) return SystemMessage(errno);
        ::close(fd);
    }
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".brintale-XXXXXX")));
    if (!probe.open()) return probe.errorString();
    return QStringLiteral("the file could not be written in full (the disk may be full)");
}

// QSettings reports success even when the system wrote only part of the file (a full disk,
// a size limit). Read back what landed, through a copy whose name no QSettings of this
// process has cached, and compare it with every value this instance holds.
bool LandedInFull(const QSettings& settings) {
    QFile file(settings.fileName());
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray bytes = file.readAll();
    file.close();
    // Every line the writer makes ends in a line feed; a cut one usually does not.
    if (!bytes.isEmpty() && !bytes.endsWith('\n')) return false;

    QTemporaryFile copy;
    if (!copy.open() || copy.write(bytes) != bytes.size() || !copy.flush())
        return true;  // nowhere to check: the line-feed test is all we have
    copy.close();
    const QSettings landed(copy.fileName(), QSettings::IniFormat);
    const QStringList keys = settings.allKeys();
    if (landed.allKeys().size() != keys.size()) return false;
    for (const QString& key : keys)
        if (landed.value(key) != settings.value(key)) return false;
    return true;
}

}  // namespace

QString SettingsStore::Read(const QString& key, const QString& defaultValue) const {
    const auto settings = OpenStore();
    settings->sync();
    if (!settings->contains(key)) return defaultValue;
    const QVariant value = settings->value(key);
    // A value edited by hand may parse as a list ("a, b"); keep its text rather than lose it.
    if (value.metaType().id() == QMetaType::QStringList)
        return PresentText(value.toStringList().join(QStringLiteral(", ")));
    return PresentText(value.toString());
}

void SettingsStore::Write(const QString& key, const QString& text) {
    const auto settings = OpenStore();
    settings->sync();
    const bool hadValue = settings->contains(key);
    const QVariant previous = settings->value(key);

    settings->setValue(key, PresentText(text));
    settings->sync();
    if (settings->status() == QSettings::NoError && LandedInFull(*settings)) return;

    // QSettings keeps a failed change pending in a cache shared by every instance of this
    // process; put back what was there, so that reads keep showing what is on disk.
    if (hadValue)
        settings->setValue(key, previous);
    else
        settings->remove(key);

    const QString fileName = settings->fileName();
    throw Failure(QStringLiteral("The setting \"%1\" could not be saved in \"%2\": %3.")
                      .arg(key, QDir::toNativeSeparators(fileName), WhyNotWritable(fileName)));
}

int StoredCheckValue(const QString& stored) {
    static const QRegularExpression number(
        QStringLiteral("^[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?$"));
    const QString text = stored.trimmed();
    if (!number.match(text).hasMatch()) throw Failure(QStringLiteral("Type mismatch"));
    bool ok = false;
    const double value = QLocale::c().toDouble(text, &ok);
    // A number too small to tell from 0 comes back 0 and not ok; one too large, infinite.
    if (!ok && value != 0.0) throw Failure(QStringLiteral("Invalid property value"));
    double rounded = std::floor(value);
    const double rest = value - rounded;
    if (rest > 0.5 || (rest == 0.5 && std::fmod(rounded, 2.0) != 0.0)) rounded += 1.0;
    if (rounded == 0.0 || rounded == 1.0 || rounded == 2.0) return static_cast<int>(rounded);
    throw Failure(QStringLiteral("Invalid property value"));
}

QString JoinAbbreviations(const QStringList& entries) {
    QString out;
    qsizetype length = 0;
    for (const QString& e : entries) length += e.size() + kAbbreviationDelimiter.size();
    out.reserve(length);
    for (const QString& e : entries) {
        out += e;
        out += kAbbreviationDelimiter;
    }
    return out;
}

QStringList SplitAbbreviationsForCount(const QString& stored) {
    if (stored.isEmpty()) return {};
    return stored.split(kAbbreviationDelimiter, Qt::KeepEmptyParts, Qt::CaseSensitive);
}

QStringList SplitAbbreviationsForWindow(const QString& stored) {
    return stored.split(kAbbreviationDelimiter, Qt::SkipEmptyParts, Qt::CaseSensitive);
}

}  // namespace brintale
