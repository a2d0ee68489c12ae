#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

class QAbstractItemModel;

namespace brintale {

// Lets pending events through, but at most once every few milliseconds: doing it once per
// row costs seconds on a million rows.
class EventPump {
  public:
    explicit EventPump(int intervalMs = 15) : intervalMs_(intervalMs) {}
    void operator()();

  private:
    int intervalMs_;
    QElapsedTimer timer_;
};

// Notices when a list loses or changes rows while a command that lets events through is
// reading it (the busy state does not stop every command from refilling the list).
class ListChangeWatch {
  public:
    explicit ListChangeWatch(const QAbstractItemModel& list);
    ~ListChangeWatch();
    ListChangeWatch(const ListChangeWatch&) = delete;
    ListChangeWatch& operator=(const ListChangeWatch&) = delete;

    bool changed() const { return changed_; }
    // Throws Failure when the rows changed.
    void Check() const;

  private:
    QMetaObject::Connection removed_;
    QMetaObject::Connection reset_;
    QMetaObject::Connection moved_;
    QMetaObject::Connection inserted_;
    bool changed_ = false;
};

// A list view's columns and rows, numbered from 1, read through any item model: the
// display text of each cell, the caption of each column and the check mark of column 1.
int ListRowCount(const QAbstractItemModel& list);
int ListColumnCount(const QAbstractItemModel& list);
QString ListColumnCaption(const QAbstractItemModel& list, int column);
QString ListCellText(const QAbstractItemModel& list, int row, int column);
bool ListCheckMark(const QAbstractItemModel& list, int row);

}  // namespace brintale
