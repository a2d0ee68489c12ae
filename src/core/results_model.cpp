#include "core/results_model.h"

#include <limits>

#include "core/failure.h"

namespace brintale {

QString HeaderTotalText(qsizetype rows) {
    return QStringLiteral("Total Sentence Count: ") + QString::number(rows);
}

QString ToolTipText(const QString& sentence) {
    // A tip of megabytes would take seconds to lay out; the row itself keeps the whole text.
    constexpr qsizetype kMaxTip = 4000;
    QString text = sentence.size() > kMaxTip ? sentence.left(kMaxTip) + QChar(0x2026) : sentence;
    return QStringLiteral("<p style='white-space:pre-wrap'>") + text.toHtmlEscaped() +
           QStringLiteral("</p>");
}

ResultsModel::ResultsModel(QObject* parent) : QAbstractListModel(parent) {}

ResultsModel::Appending::~Appending() {
    try {
        model_.EndAppending();
    } catch (...) {
        // Already failing; the rows stay and show at the next change.
    }
}

void ResultsModel::Clear() {
    if (rows_.empty()) return;
    beginResetModel();
    rows_.clear();
    rows_.shrink_to_fit();
    shown_ = 0;
    endResetModel();
}

void ResultsModel::Append(QString text) { Append(std::move(text), -1, -1); }

void ResultsModel::Append(QString text, qsizetype start, qsizetype end) {
    if (rows_.size() >= static_cast<std::size_t>(std::numeric_limits<int>::max()))
        throw Failure(QStringLiteral("The results list is full"));
    rows_.push_back(Row{std::move(text), false, start, end});
    if (!appending_) publish();
}

void ResultsModel::BeginAppending() { appending_ = true; }

void ResultsModel::EndAppending() {
    appending_ = false;
    publish();
}

void ResultsModel::publish() {
    if (rows_.size() <= shown_) return;
    beginInsertRows(QModelIndex(), static_cast<int>(shown_), static_cast<int>(rows_.size() - 1));
    shown_ = rows_.size();
    endInsertRows();
}

const ResultsModel::Row& ResultsModel::at(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= rows_.size())
        throw Failure(QStringLiteral("Index out of bounds"));
    return rows_[static_cast<std::size_t>(row)];
}

QString ResultsModel::TextAt(int row) const { return at(row).text; }

bool ResultsModel::IsTickedAt(int row) const { return at(row).checked; }

ResultsModel::Stretch ResultsModel::StretchAt(int row) const {
    const Row& r = at(row);
    return {r.start, r.end};
}

QString ResultsModel::CellTextAt(int row, int column) const {
    const Row& r = at(row);
    if (column == 0) return r.text;
    throw Failure(QStringLiteral("Index out of bounds"));
}

QString ResultsModel::CaptionOf(int column) const {
    if (column != 0) throw Failure(QStringLiteral("Index out of bounds"));
    return caption_;
}

void ResultsModel::SetColumnCaption(const QString& caption) {
    caption_ = caption;
    emit headerDataChanged(Qt::Horizontal, 0, 0);
}

void ResultsModel::SetHeaderTotal() {
    SetColumnCaption(HeaderTotalText(static_cast<qsizetype>(rows_.size())));
}

void ResultsModel::RemoveAt(int row) {
    at(row);
    publish();
    beginRemoveRows(QModelIndex(), row, row);
    rows_.erase(rows_.begin() + row);
    shown_ = rows_.size();
    endRemoveRows();
}

void ResultsModel::SetTickedAt(int row, bool checked) {
    at(row);
    publish();
    rows_[static_cast<std::size_t>(row)].checked = checked;
    const QModelIndex i = index(row);
    emit dataChanged(i, i, {Qt::CheckStateRole});
}

void ResultsModel::SetAllTicked(bool checked) {
    if (rows_.empty()) return;
    publish();
    for (Row& r : rows_) r.checked = checked;
    emit dataChanged(index(0), index(static_cast<int>(rows_.size()) - 1), {Qt::CheckStateRole});
}

void ResultsModel::TickWhere(const std::function<bool(const QString& text)>& tick) {
    publish();
    int first = -1, last = -1;
    for (int row = 0; row < static_cast<int>(rows_.size()); ++row) {
        Row& r = rows_[static_cast<std::size_t>(row)];
        if (r.checked || !tick(r.text)) continue;
        r.checked = true;
        if (first < 0) first = row;
        last = row;
    }
    if (first >= 0) emit dataChanged(index(first), index(last), {Qt::CheckStateRole});
}

int ResultsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shown_);
}

QVariant ResultsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(shown_)) return {};
    const Row& r = rows_[static_cast<std::size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
            return r.text;
        case Qt::CheckStateRole:
            return r.checked ? Qt::Checked : Qt::Unchecked;
        case Qt::ToolTipRole:
            return ToolTipText(r.text);
        default:
            return {};
    }
}

bool ResultsModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.row() >= static_cast<int>(shown_) || role != Qt::CheckStateRole)
        return false;
    rows_[static_cast<std::size_t>(index.row())].checked = value.toInt() == Qt::Checked;
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
