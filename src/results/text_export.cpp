#include "results/text_export.h"

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QSaveFile>
#include <QStringEncoder>

#include "results/clipboard.h"
#include "results/results_model.h"
#include "shell/error_report.h"
#include "shell/failure.h"
#include "shell/file_exists.h"
#include "shell/main_window.h"
#include "shell/shared_procedures.h"

namespace brintale {

void EventPump::operator()() {
    if (timer_.isValid() && timer_.elapsed() < intervalMs_) return;
    QCoreApplication::processEvents();
    timer_.start();
}

ListChangeWatch::ListChangeWatch(const QAbstractItemModel& list) {
    const auto changed = [this] { changed_ = true; };
    removed_ = QObject::connect(&list, &QAbstractItemModel::rowsAboutToBeRemoved, changed);
    reset_ = QObject::connect(&list, &QAbstractItemModel::modelAboutToBeReset, changed);
    moved_ = QObject::connect(&list, &QAbstractItemModel::rowsAboutToBeMoved, changed);
    // Rows added at the end leave the numbers of the others alone; rows put in between do not.
    inserted_ = QObject::connect(&list, &QAbstractItemModel::rowsAboutToBeInserted,
                                 [this, &list](const QModelIndex& parent, int first, int) {
                                     if (first < list.rowCount(parent)) changed_ = true;
                                 });
}

ListChangeWatch::~ListChangeWatch() {
    QObject::disconnect(removed_);
    QObject::disconnect(reset_);
    QObject::disconnect(moved_);
    QObject::disconnect(inserted_);
}

void ListChangeWatch::Check() const {
    if (changed_)
        throw Failure(QStringLiteral("The results list was changed while it was being read."));
}

int ListRowCount(const QAbstractItemModel& list) { return list.rowCount(); }

int ListColumnCount(const QAbstractItemModel& list) { return list.columnCount(); }

QString ListColumnCaption(const QAbstractItemModel& list, int column) {
    return list.headerData(column - 1, Qt::Horizontal, Qt::DisplayRole).toString();
}

QString ListCellText(const QAbstractItemModel& list, int row, int column) {
    return list.data(list.index(row - 1, column - 1), Qt::DisplayRole).toString();
}

bool ListCheckMark(const QAbstractItemModel& list, int row) {
    return list.data(list.index(row - 1, 0), Qt::CheckStateRole).toInt() == Qt::Checked;
}

namespace {

const QString kOverwriteQuestion = QStringLiteral("Are you sure you wish to overwrite ");
const QString kCopiedMessage =
    QStringLiteral("Results have been copied to the clipboard.") + QStringLiteral("\r\r") +
    QStringLiteral(
        "Click a text area where you normally type and press Ctrl+V to paste the "
        "clipboard.");

constexpr qsizetype kWriteChunk = 1 << 20;

void Flush(QSaveFile& file, QByteArray& buffer) {
    if (buffer.isEmpty()) return;
    if (file.write(buffer) != buffer.size()) throw Failure(file.errorString());
    buffer.resize(0);
}

// Every row, ticked or not, as one UTF-8 line ended by CR LF.
void WriteRows(Form1& form, QSaveFile& file) {
    const ResultsModel& list = form.results();
    const int rows = list.RowCount();
    ListChangeWatch watch(list);
    EventPump pump;
    QStringEncoder encoder(QStringEncoder::Utf8, QStringConverter::Flag::Stateless);
    QByteArray buffer;
    buffer.reserve(kWriteChunk + 4096);
    for (int r = 1; r <= rows; ++r) {
        pump();
        watch.Check();
        const QString text = list.RowText(r);
        const qsizetype used = buffer.size();
        buffer.resize(used + encoder.requiredSpace(text.size()) + 2);
        char* end = encoder.appendToBuffer(buffer.data() + used, text);
        *end++ = '\r';
        *end++ = '\n';
        buffer.resize(end - buffer.constData());
        if (buffer.size() >= kWriteChunk) Flush(file, buffer);
    }
    Flush(file, buffer);
}

}  // namespace

namespace form1 {

void PushButton5_Click(Form1& form) {
    ErrorTrap trap(form, QStringLiteral("Form1.PushButton5_Click"));
    Prompts& prompts = form.services().prompts;

    // 100 to 108: an empty name, the title and the filter; the dialog asks nothing about
    // overwriting and adds no extension, so the name is used as typed.
    QString fileName;
    trap(108,
         [&] { fileName = prompts.SaveFileName(&form, QStringLiteral("Save"), kTextFileFilter); });
    if (trap.test(112, [&] { return fileName.isEmpty(); })) return;

    bool yes = false;
    if (trap.test(114, [&] { return FileExists(fileName); })) {
        trap(116, [&] {
            yes = prompts.AskYesNo(&form, ApplicationTitle(),
                                   kOverwriteQuestion + fileName + QStringLiteral(" ?"));
        });
    } else {
        trap(118, [&] { yes = true; });
    }
    if (trap.test(120, [&] { return !yes; })) return;

    trap(122, [&] { form.SetPointer(Form1::Pointer::Hourglass); });
    // The rows go to a temporary file beside the target, which replaces the target only
    // once every row is written: a failure leaves any earlier file as it was, and the
    // temporary file goes when `file` does.
    QSaveFile file(fileName);
    bool written = trap(124, [&] {
        if (!file.open(QIODevice::WriteOnly)) throw Failure(file.errorString());
    });
    // 126 to 132; the first failing row is reported and ends the save.
    if (written) written = trap(130, [&] { WriteRows(form, file); });
    if (written) {
        trap(134, [&] {
            if (!file.commit()) throw Failure(file.errorString());
        });
    }
    trap(136, [&] { form.SetPointer(Form1::Pointer::Default); });
}

void PushButton3_Click(Form1& form) {
    ErrorTrap trap(form, QStringLiteral("Form1.PushButton3_Click"));
    trap(106, [&] { CopyListToClipboard(form.results()); });
    trap(108, [&] {
        form.services().prompts.Message(&form, ApplicationTitle(), kCopiedMessage,
                                        Prompts::Icon::None);
    });
}

}  // namespace form1
}  // namespace brintale
