#include "results/results_model.h"

#include "shell/failure.h"

namespace brintale {

QString HeaderTotalText(qsizetype rows) {
    return QStringLiteral("Total Sentence Count: ") + QString::number(rows);
}

ResultsModel::ResultsModel(QObject* parent) : QAbstractListModel(parent) {}

void ResultsModel::ClearRows() {
    if (rows_.empty()) return;
    beginResetModel();
    rows_.clear();
    rows_.shrink_to_fit();
    endResetModel();
}

void ResultsModel::AppendRow(QString text) {
    const int row = static_cast<int>(rows_.size());
    beginInsertRows(QModelIndex(), row, row);
    rows_.push_back(Row{std::move(text), false});
    endInsertRows();
}

int ResultsModel::RowCount() const { return static_cast<int>(rows_.size()); }

const ResultsModel::Row& ResultsModel::at(int row) const {
    if (row < 1 || row > RowCount()) throw Failure(QStringLiteral("Index out of bounds"));
    return rows_[static_cast<std::size_t>(row - 1)];
}

QString ResultsModel::RowText(int row) const { return at(row).text; }

bool ResultsModel::RowCheckMark(int row) const { return at(row).checked; }

QString ResultsModel::RowCellText(int row, int column) const {
    at(row);
    if (column == 1) return at(row).text;
    throw Failure(QStringLiteral("Index out of bounds"));
}

int ResultsModel::ColumnCount() const { return 1; }

QString ResultsModel::ColumnCaption(int column) const {
    if (column != 1) throw Failure(QStringLiteral("Index out of bounds"));
    return caption_;
}

void ResultsModel::SetColumnCaption(const QString& caption) {
    caption_ = caption;
    emit headerDataChanged(Qt::Horizontal, 0, 0);
}

void ResultsModel::SetHeaderTotal() { SetColumnCaption(HeaderTotalText(RowCount())); }

void ResultsModel::RemoveRow(int row) {
    at(row);
    beginRemoveRows(QModelIndex(), row - 1, row - 1);
    rows_.erase(rows_.begin() + (row - 1));
    endRemoveRows();
}

void ResultsModel::SetCheckMark(int row, bool checked) {
    at(row);
    rows_[static_cast<std::size_t>(row - 1)].checked = checked;
    const QModelIndex i = index(row - 1);
    emit dataChanged(i, i, {Qt::CheckStateRole});
}

void ResultsModel::SetAllCheckMarks(bool checked) {
    if (rows_.empty()) return;
    for (Row& r : rows_) r.checked = checked;
    emit dataChanged(index(0), index(RowCount() - 1), {Qt::CheckStateRole});
}

int ResultsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : RowCount();
}

QVariant ResultsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= RowCount()) return {};
    const Row& r = rows_[static_cast<std::size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
            return r.text;
        case Qt::CheckStateRole:
            return r.checked ? Qt::Checked : Qt::Unchecked;
        default:
            return {};
    }
}

bool ResultsModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::CheckStateRole) return false;
    rows_[static_cast<std::size_t>(index.row())].checked =
        value.value<Qt::CheckState>() == Qt::Checked;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

Qt::ItemFlags ResultsModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable |
           Qt::ItemNeverHasChildren;
}

QVariant ResultsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (section == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole) return caption_;
    return {};
}

}  // namespace brintale
