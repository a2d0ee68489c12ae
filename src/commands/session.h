#pragma once

#include <QFuture>
#include <QObject>
#include <QStringList>

namespace brintale {

// What the commands remember between one press and the next, for as long as the window runs.
class Session : public QObject {
    Q_OBJECT

  public:
    using QObject::QObject;

    // The last count: the abbreviations it used and how a reader counts its text, worked out
    // in the background so that the count need not keep the text (as large as the text box's)
    // once that is done. A count sets it; the window marks it changed when the text box
    // changes after it.
    struct CountedText {
        bool done = false;
        QStringList abbreviations;
        bool changedSince = false;
        QFuture<qsizetype> readerCount;  // -1 when the reader's rules could not count it
        quint64 number = 0;              // counts the counts, so that each is told apart
        qsizetype sentences = 0;         // the rows it made
    };
    CountedText lastCount;

    // Set while storing an option fails, so that the user is told once per run of failures.
    bool optionStoreFailing = false;

  signals:
    // A count is over and the list's header holds its total.
    void counted();
};

}  // namespace brintale
