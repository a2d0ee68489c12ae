#pragma once

#include <QAbstractListModel>
#include <QString>
#include <functional>
#include <vector>

namespace brintale {

inline const QString kInitialResultsCaption = QStringLiteral("Result(s)");

// Header text for a row count: "Total Sentence Count: " and the number.
QString HeaderTotalText(qsizetype rows);

// A row's tip: its sentence as rich text that wraps, markup in it shown as typed; cut with
// "…" after 4000 characters.
QString ToolTipText(const QString& sentence);

// The rows of the results list: a text and a check mark each, one column. Rows and columns
// are numbered from 0, as Qt numbers them. The named operations reach every row, also those
// a count has not yet shown the views; rowCount() is what the views know.
class ResultsModel : public QAbstractListModel {
    Q_OBJECT

  public:
    struct Row {
        QString text;
        bool checked = false;
        // The sentence's stretch [start, end) of the counted text; -1 when not known.
        qsizetype start = -1;
        qsizetype end = -1;
    };
    struct Stretch {
        qsizetype start = -1;
        qsizetype end = -1;
        bool known() const { return start >= 0 && end >= start; }
    };

    explicit ResultsModel(QObject* parent = nullptr);

    void Clear();
    // While appending is on (a count), new rows are kept from the views until it ends, so
    // that a million appends cost one view update instead of a million.
    void Append(QString text);
    void Append(QString text, qsizetype start, qsizetype end);
    void BeginAppending();
    void EndAppending();
    QString TextAt(int row) const;
    bool IsTickedAt(int row) const;
    Stretch StretchAt(int row) const;
    // Columns from 1 on hold sub-items; this list has none, so asking fails.
    QString CellTextAt(int row, int column) const;
    QString CaptionOf(int column) const;
    void SetColumnCaption(const QString& caption);
    void SetHeaderTotal();

    void RemoveAt(int row);
    void SetTickedAt(int row, bool checked);
    void SetAllTicked(bool checked);
    // Ticks the rows whose text passes, in one change for the views; the others keep their
    // tick or its absence.
    void TickWhere(const std::function<bool(const QString& text)>& tick);

    // QAbstractItemModel
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Appending for the life of a scope; ends it even when the scope is left by a throw.
    class Appending {
      public:
        explicit Appending(ResultsModel& model) : model_(model) { model_.BeginAppending(); }
        ~Appending();
        Appending(const Appending&) = delete;
        Appending& operator=(const Appending&) = delete;

      private:
        ResultsModel& model_;
    };

  private:
    const Row& at(int row) const;
    // Tells the views of the rows appended since they last heard.
    void publish();

    std::vector<Row> rows_;
    std::size_t shown_ = 0;  // rows the views know of
    bool appending_ = false;
    QString caption_ = kInitialResultsCaption;
};

}  // namespace brintale
