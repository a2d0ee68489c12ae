#pragma once

#include <QTreeView>

namespace brintale {

// A one-column list of rows a user ticks. Screen readers meet its rows as check boxes
// (named by their text, checked or not, toggled by their action) rather than as the table
// cells an item view offers, which the desktop's bridge does not present as checkable. The
// list is named by its column's caption.
class CheckListView : public QTreeView {
    Q_OBJECT

  public:
    explicit CheckListView(QWidget* parent = nullptr);
    void setModel(QAbstractItemModel* model) override;

  private:
    QMetaObject::Connection captionWatch_;
};

}  // namespace brintale
