#include "core/settings_store.h"

#include <fcntl.h>
#include <sys/stat.h>
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

// Far more than any list of abbreviations needs; QSettings would read any size whole.
constexpr qint64 kLargestStore = qint64(64) << 20;

// The per-user file of this application, where QSettings keeps it, found without reading
// it: through a name no file has.
QString StoreFileName() {
    const QSettings probe(QSettings::NativeFormat, QSettings::UserScope,
                          QStringLiteral("Quorvane-path-probe"), QStringLiteral("probe"));
    const QString folder = QFileInfo(QFileInfo(probe.fileName()).path()).path();
    return folder + QStringLiteral("/Quorvane/Brintale Software.conf");
}

// Why the file cannot hold the settings, before anything opens it (a FIFO would block the
// opening, a huge file exhaust memory); empty where it can, or is absent.
QString WhyNoStore(const QString& fileName) {
    struct stat status {};
    if (::stat(QFile::encodeName(fileName).constData(), &status) != 0) return {};
    if (!S_ISREG(status.st_mode)) return QStringLiteral("it is not a regular file");
    if (status.st_size > kLargestStore)
        return QStringLiteral("it is larger than %1 MiB, too large for settings")
            .arg(kLargestStore >> 20);
    return {};
}

QString UnreadableMessage(const QString& fileName, const QString& why) {
    if (why.isEmpty()) return {};
    return QStringLiteral("The settings in \"%1\" cannot be read: %2.")
        .arg(QDir::toNativeSeparators(fileName), why);
}

// A fresh QSettings per operation: it re-reads the file when another copy changed it.
// Only the per-user file of this application counts: no organisation-wide or system
// fallbacks, so that what is read is what this program wrote.
std::unique_ptr<QSettings> OpenStore(const QString& fileName) {
    return std::make_unique<QSettings>(fileName, QSettings::IniFormat);
}

// An empty text that is present, never the null string, so that callers can tell it
// from "no value" however they test.
QString PresentText(QString text) {
    if (text.isNull()) return QString::fromLatin1("", 0);
    return text;
}

// A stored value as a text. A value edited by hand may parse as a list ("a, b"); keep its
// text rather than lose it.
QString TextOf(const QVariant& value) {
    const int type = value.metaType().id();
    if (type == QMetaType::QStringList || type == QMetaType::QVariantList)
        return PresentText(value.toStringList().join(QStringLiteral(", ")));
    return PresentText(value.toString());
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

QByteArray Contents(const QString& fileName) {
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Bytes in a file of their own, whose name no QSettings of this process has cached, so that
// QSettings reads them afresh.
class FreshCopy {
  public:
    explicit FreshCopy(const QByteArray& bytes) {
        ok_ = file_.open() && file_.write(bytes) == bytes.size() && file_.flush();
        file_.close();
    }
    bool ok() const { return ok_; }
    QString fileName() const { return file_.fileName(); }

  private:
    QTemporaryFile file_;
    bool ok_ = false;
};

// QSettings reports success even when the system wrote only part of the file (a full disk,
// a size limit). Read back what landed: it ends its last line, holds the value, and keeps
// every other value the file held before. A damaged file (random bytes, say) may hold keys
// and values that no writing gives back as they were; a complete write of the same change
// elsewhere tells them, and they are not asked for.
bool LandedInFull(const QSettings& settings, const QByteArray& before, const QString& key,
                  const QString& text) {
    const QByteArray bytes = Contents(settings.fileName());
    // Every line the writer makes ends in a line feed; a cut one usually does not.
    if (bytes.isEmpty() || !bytes.endsWith('\n')) return false;
    const FreshCopy landedCopy(bytes);
    if (!landedCopy.ok()) return true;  // nowhere to check: the line-feed test is all we have
    const QSettings landed(landedCopy.fileName(), QSettings::IniFormat);
    if (TextOf(landed.value(key)) != text) return false;

    const FreshCopy originalCopy(before), changedCopy(before);
    if (!originalCopy.ok() || !changedCopy.ok()) return true;
    {
        QSettings changed(changedCopy.fileName(), QSettings::IniFormat);
        changed.setValue(key, text);
        changed.sync();
        if (changed.status() == QSettings::AccessError) return true;
    }
    // Read through yet another name: the one changed is cached as this process wrote it.
    const FreshCopy completeCopy(Contents(changedCopy.fileName()));
    if (!completeCopy.ok()) return true;
    const QSettings original(originalCopy.fileName(), QSettings::IniFormat);
    const QSettings complete(completeCopy.fileName(), QSettings::IniFormat);
    for (const QString& other : original.allKeys()) {
        if (other == key || !original.contains(other) || !complete.contains(other)) continue;
        const QString old = TextOf(original.value(other));
        if (TextOf(complete.value(other)) != old) continue;  // lost by any write
        if (!landed.contains(other) || TextOf(landed.value(other)) != old) return false;
    }
    return true;
}

}  // namespace

QString SettingsStore::Read(const QString& key, const QString& defaultValue) const {
    const QString fileName = StoreFileName();
    if (!WhyNoStore(fileName).isEmpty()) return defaultValue;
    const auto settings = OpenStore(fileName);
    settings->sync();
    if (!settings->contains(key)) return defaultValue;
    return TextOf(settings->value(key));
}

QStringList SettingsStore::ReadSeveral(const QStringList& keys, const QStringList& defaults,
                                       QString* unreadable) const {
    const QString fileName = StoreFileName();
    const QString why = WhyNoStore(fileName);
    if (unreadable) *unreadable = UnreadableMessage(fileName, why);
    QStringList texts = defaults;
    // An absent file holds nothing: no parser is needed to say so.
    if (!why.isEmpty() || !QFileInfo::exists(fileName)) return texts;
    const auto settings = OpenStore(fileName);
    settings->sync();
    for (qsizetype i = 0; i < keys.size() && i < texts.size(); ++i)
        if (settings->contains(keys[i])) texts[i] = TextOf(settings->value(keys[i]));
    return texts;
}

QString SettingsStore::Unreadable() const {
    const QString fileName = StoreFileName();
    return UnreadableMessage(fileName, WhyNoStore(fileName));
}

void SettingsStore::Write(const QString& key, const QString& text) {
    const QString fileName = StoreFileName();
    const QString why = WhyNoStore(fileName);
    if (!why.isEmpty())
        throw Failure(QStringLiteral("The setting \"%1\" could not be saved in \"%2\": %3.")
                          .arg(key, QDir::toNativeSeparators(fileName), why));
    const QByteArray before = Contents(fileName);
    const auto settings = OpenStore(fileName);
    settings->sync();
    const bool hadValue = settings->contains(key);
    const QVariant previous = settings->value(key);

    settings->setValue(key, PresentText(text));
    settings->sync();
    // A format error is the reading's: a damaged file, written anew all the same.
    if (settings->status() != QSettings::AccessError &&
        LandedInFull(*settings, before, key, PresentText(text)))
        return;

    // QSettings keeps a failed change pending in a cache shared by every instance of this
    // process; put back what was there, so that reads keep showing what is on disk.
    if (hadValue)
        settings->setValue(key, previous);
    else
        settings->remove(key);

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
