#include "platform/list_reading.h"

#include <QAbstractItemModel>
#include <QCoreApplication>

#include "core/failure.h"

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

}  // namespace brintale
