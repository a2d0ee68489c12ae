#include "commands/text_export.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringEncoder>
#include <cerrno>

#include "commands/file_dialogs.h"
#include "commands/main_form.h"
#include "core/error_report.h"
#include "core/failure.h"
#include "core/file_exists.h"
#include "core/procedure_tags.h"
#include "core/product.h"
#include "core/results_model.h"
#include "platform/list_reading.h"
#include "platform/services.h"

namespace brintale {

namespace {

const QString kOverwriteQuestion = QStringLiteral("Are you sure you wish to overwrite ");

constexpr qsizetype kWriteChunk = 1 << 20;

// A short write is retried, so that the system's reason (a full disk, a size limit) is the
// one reported.
void Flush(QFileDevice& file, QByteArray& buffer) {
    for (qsizetype done = 0; done < buffer.size();) {
        const qint64 wrote = file.write(buffer.constData() + done, buffer.size() - done);
        if (wrote <= 0) throw Failure(file.errorString());
        done += wrote;
    }
    buffer.resize(0);
}

// Every row, ticked or not, as one UTF-8 line ended by CR LF. False when the user cancelled.
bool WriteRows(MainForm& form, QFileDevice& file, bool cancellable) {
    const ResultsModel& list = form.results();
    const int rows = list.rowCount();
    ListChangeWatch watch(list);
    EventPump pump;
    ProgressScope progress(form.services().progress, form.widget(),
                           rows == 1
                               ? QStringLiteral("Saving 1 row as a text file\u2026")
                               : QStringLiteral("Saving %L1 rows as a text file\u2026").arg(rows),
                           rows, cancellable);
    QStringEncoder encoder(QStringEncoder::Utf8, QStringConverter::Flag::Stateless);
    QByteArray buffer;
    buffer.reserve(kWriteChunk + 4096);
    for (int r = 0; r < rows; ++r) {
        pump();
        progress(r);
        if (progress.cancelled()) return false;
        watch.Check();
        const QString text = list.TextAt(r);
        const qsizetype used = buffer.size();
        buffer.resize(used + encoder.requiredSpace(text.size()) + 2);
        char* end = encoder.appendToBuffer(buffer.data() + used, text);
        *end++ = '\r';
        *end++ = '\n';
        buffer.resize(end - buffer.constData());
        if (buffer.size() >= kWriteChunk) Flush(file, buffer);
    }
    Flush(file, buffer);
    return true;
}

// Opens a device or a pipe for writing without waiting for a reader: a pipe nobody reads
// fails at once instead of holding the window.
void OpenSpecialFile(QFile& file) {
    const int fd =
        ::open(QFile::encodeName(file.fileName()).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) throw Failure(qt_error_string(errno));
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered,
                   QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw Failure(file.errorString());
    }
}

}  // namespace

void SaveResultsAsTextFile(MainForm& form) {
    ErrorTrap trap(form, tags::kSaveResultsAsTextFile);
    Prompts& prompts = form.services().prompts;

    // 100 to 108: an empty name, the title and the filter; the dialog asks nothing about
    // overwriting and adds no extension, so the name is used as typed.
    QString fileName;
    trap(108, [&] { fileName = AskFileToSave(form, QStringLiteral("Save"), kTextFileFilter); });
    if (trap.test(112, [&] { return fileName.isEmpty(); })) return;

    bool yes = false;
    if (trap.test(114, [&] { return FileExists(fileName); })) {
        trap(116, [&] {
            yes = prompts.AskYesNo(form.widget(), ApplicationTitle(),
                                   kOverwriteQuestion + fileName + QStringLiteral(" ?"));
        });
    } else {
        trap(118, [&] { yes = true; });
    }
    if (trap.test(120, [&] { return !yes; })) return;

    trap(122, [&] { form.SetPointer(MainForm::Pointer::Hourglass); });
    // The rows go to a temporary file beside the target, which replaces the target only
    // once every row is written: a failure leaves any earlier file as it was, and the
    // temporary file goes when `file` does. Unbuffered, so that every write meets the disk
    // here: commit() would rename a file whose last bytes it failed to flush. A folder that
    // takes no new file leaves only writing the target in place.
    QSaveFile newFile(fileName);
    newFile.setDirectWriteFallback(true);
    // A device or a pipe (/dev/null, /dev/full) takes the rows as they come: a file put in
    // its place would replace the device itself.
    const QFileInfo target(fileName);
    const bool special = target.exists() && !target.isFile() && !target.isDir();
    QFile specialFile(fileName);
    QFileDevice& file = special ? static_cast<QFileDevice&>(specialFile) : newFile;
    // Only a new file beside the target can be dropped halfway; one rewritten in place
    // cannot, so that save offers no Cancel.
    const bool cancellable = !special && QFileInfo(QFileInfo(fileName).absolutePath()).isWritable();
    bool written = trap(124, [&] {
        if (special)
            OpenSpecialFile(specialFile);
        else if (!newFile.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            throw Failure(newFile.errorString());
    });
    // 126 to 132; the first failing row is reported and ends the save. A cancelled save
    // drops the new file, which leaves any earlier one as it was.
    bool complete = false;
    if (written) written = trap(130, [&] { complete = WriteRows(form, file, cancellable); });
    if (written && complete) {
        trap(134, [&] {
            if (!file.flush() || file.error() != QFileDevice::NoError)
                throw Failure(file.errorString());
            if (special)
                specialFile.close();
            else if (!newFile.commit())
                throw Failure(newFile.errorString());
            if (file.error() != QFileDevice::NoError) throw Failure(file.errorString());
        });
    }
    trap(136, [&] { form.SetPointer(MainForm::Pointer::Default); });
}

}  // namespace brintale
