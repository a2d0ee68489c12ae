#include "widgets/check_list_view.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QHeaderView>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QWindow>
#include <algorithm>
#include <map>
#include <memory>

namespace brintale {
namespace {

// A child of the list: the column's caption or one row. Neither is an object of its own.
class ListPart : public QAccessibleInterface {
  public:
    explicit ListPart(CheckListView* view) : view_(view) {}
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return view_ ? view_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(view_.data());
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    void setText(QAccessible::Text, const QString&) override {}

  protected:
    QPointer<CheckListView> view_;
};

class HeaderPart : public ListPart {
  public:
    using ListPart::ListPart;
    bool isValid() const override { return view_ && view_->model(); }
    QString text(QAccessible::Text t) const override {
        if (t != QAccessible::Name || !isValid()) return {};
        return view_->model()->headerData(0, Qt::Horizontal).toString();
    }
    QRect rect() const override {
        if (!isValid() || view_->header()->isHidden()) return {};
        const QHeaderView* h = view_->header();
        return {h->mapToGlobal(QPoint(h->sectionViewportPosition(0), 0)),
                QSize(h->sectionSize(0), h->height())};
    }
    QAccessible::Role role() const override { return QAccessible::ColumnHeader; }
    QAccessible::State state() const override {
        QAccessible::State s;
        s.invisible = !isValid() || view_->header()->isHidden();
        return s;
    }
};

class RowPart : public ListPart, public QAccessibleActionInterface {
  public:
    RowPart(CheckListView* view, int row) : ListPart(view), row_(row) {}
    int row() const { return row_; }
    const CheckListView* view() const { return view_.data(); }

    bool isValid() const override { return view_ && index().isValid(); }
    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name && isValid() ? index().data().toString() : QString();
    }
    QRect rect() const override {
        if (!isValid()) return {};
        const QRect r = view_->visualRect(index());
        return r.translated(view_->viewport()->mapToGlobal(QPoint(0, 0)));
    }
    QAccessible::Role role() const override { return QAccessible::CheckBox; }
    QAccessible::State state() const override {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        const QModelIndex i = index();
        s.checkable = true;
        s.checked = Ticked();
        s.focusable = s.selectable = true;
        s.selected = view_->selectionModel() && view_->selectionModel()->isSelected(i);
        s.focused = view_->hasFocus() && view_->currentIndex() == i;
        s.invisible = s.offscreen = !view_->viewport()->rect().intersects(view_->visualRect(i));
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }

    QStringList actionNames() const override { return {toggleAction()}; }
    void doAction(const QString& name) override {
        if (name != toggleAction() || !isValid()) return;
        view_->model()->setData(index(), Ticked() ? Qt::Unchecked : Qt::Checked,
                                Qt::CheckStateRole);
    }
    QStringList keyBindingsForAction(const QString& name) const override {
        return name == toggleAction() ? QStringList{QStringLiteral("Space")} : QStringList();
    }

  private:
    QModelIndex index() const {
        return view_ && view_->model() ? view_->model()->index(row_, 0) : QModelIndex();
    }
    bool Ticked() const { return index().data(Qt::CheckStateRole).toInt() == Qt::Checked; }

    int row_;
};

// The list as a screen reader walks it: the caption first, then a check box a row. The view
// numbers its own focus and selection events the same way (caption first, hidden or not).
class ListAccessible : public QAccessibleWidget {
  public:
    explicit ListAccessible(CheckListView* view)
        : QAccessibleWidget(view, QAccessible::List), view_(view) {}
    ~ListAccessible() override {
        Forget();
        if (header_) QAccessible::deleteAccessibleInterface(header_);
    }

    // Named by the column's caption, which tells the total, whatever the list holds.
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && view_ && view_->model()) {
            const QString caption = view_->model()->headerData(0, Qt::Horizontal).toString();
            if (!caption.isEmpty()) return caption;
        }
        return QAccessibleWidget::text(t);
    }

    int childCount() const override {
        Watch();
        return view_ && view_->model() ? view_->model()->rowCount() + 1 : 0;
    }
    QAccessibleInterface* child(int i) const override {
        if (i < 0 || i >= childCount()) return nullptr;
        if (i == 0) {
            if (!header_) header_ = QAccessible::registerAccessibleInterface(new HeaderPart(view_));
            return QAccessible::accessibleInterface(header_);
        }
        QAccessible::Id& id = rows_[i - 1];
        if (!id) id = QAccessible::registerAccessibleInterface(new RowPart(view_, i - 1));
        return QAccessible::accessibleInterface(id);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        if (!child) return -1;
        if (header_ && child == QAccessible::accessibleInterface(header_)) return 0;
        const auto* row = dynamic_cast<const RowPart*>(child);
        return row && row->view() == view_ ? row->row() + 1 : -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        if (!view_) return nullptr;
        const QModelIndex i = view_->indexAt(view_->viewport()->mapFromGlobal(QPoint(x, y)));
        if (i.isValid()) return child(i.row() + 1);
        QAccessibleInterface* header = child(0);
        return header && header->rect().contains(x, y) ? header : nullptr;
    }
    QAccessibleInterface* focusChild() const override {
        if (!view_ || !view_->hasFocus() || !view_->currentIndex().isValid()) return nullptr;
        return child(view_->currentIndex().row() + 1);
    }

  private:
    // Rows are numbered, so any change to their order or number retires every row known.
    void Watch() const {
        if (!view_ || watched_ == view_->model()) return;
        Forget();
        watch_ = std::make_unique<QObject>();
        watched_ = view_->model();
        if (!watched_) return;
        const QObject* context = watch_.get();
        const auto forget = [this] { Forget(); };
        QObject::connect(watched_, &QAbstractItemModel::modelReset, context, forget);
        QObject::connect(watched_, &QAbstractItemModel::layoutChanged, context, forget);
        QObject::connect(watched_, &QAbstractItemModel::rowsInserted, context, forget);
        QObject::connect(watched_, &QAbstractItemModel::rowsRemoved, context, forget);
        QObject::connect(watched_, &QAbstractItemModel::rowsMoved, context, forget);
        QObject::connect(watched_, &QAbstractItemModel::dataChanged, context,
                         [this](const QModelIndex& from, const QModelIndex& to,
                                const QList<int>& roles) { TellTicks(from, to, roles); });
    }

    void Forget() const {
        for (const auto& [row, id] : rows_) QAccessible::deleteAccessibleInterface(id);
        rows_.clear();
    }

    // A tick set by key, mouse, menu or the reader's own action is heard on the rows it
    // knows; rows it has not met tell their state when it meets them.
    void TellTicks(const QModelIndex& from, const QModelIndex& to, const QList<int>& roles) const {
        if (!roles.isEmpty() && !roles.contains(Qt::CheckStateRole)) return;
        if (!QAccessible::isActive()) return;
        QAccessible::State changed;
        changed.checked = true;
        for (auto it = rows_.lower_bound(from.row()); it != rows_.end() && it->first <= to.row();
             ++it) {
            QAccessibleStateChangeEvent event(QAccessible::accessibleInterface(it->second),
                                              changed);
            QAccessible::updateAccessibility(&event);
        }
    }

    QPointer<CheckListView> view_;
    mutable std::map<int, QAccessible::Id> rows_;
    mutable QAccessible::Id header_ = 0;
    mutable QPointer<QAbstractItemModel> watched_;
    mutable std::unique_ptr<QObject> watch_;  // the model's connections end with it
};

// Rows tall enough that the check boxes of neighbouring rows stand apart, at any font size
// and scale: the taller of text and box, with a quarter of a line of room above and below.
class RoomyRows : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        const QWidget* widget = option.widget;
        const QStyle* style = widget ? widget->style() : QApplication::style();
        const int box = style->pixelMetric(QStyle::PM_IndicatorHeight, &option, widget);
        const int line = option.fontMetrics.height();
        size.setHeight(std::max(size.height(), std::max(box, line) + 2 * std::max(2, line / 4)));
        return size;
    }
};

QAccessibleInterface* MakeAccessible(const QString& key, QObject* object) {
    if (key != QLatin1StringView(CheckListView::staticMetaObject.className())) return nullptr;
    auto* view = qobject_cast<CheckListView*>(object);
    return view ? new ListAccessible(view) : nullptr;
}

}  // namespace

CheckListView::CheckListView(QWidget* parent) : QTreeView(parent) {
    static const bool installed = [] {
        QAccessible::installFactory(&MakeAccessible);
        return true;
    }();
    Q_UNUSED(installed);
    setItemDelegate(new RoomyRows(this));
}

void CheckListView::setModel(QAbstractItemModel* model) {
    QTreeView::setModel(model);
    disconnect(captionWatch_);
    if (!model) return;
    captionWatch_ = connect(model, &QAbstractItemModel::headerDataChanged, this, [this] {
        QAccessibleEvent named(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&named);
    });
}

}  // namespace brintale
