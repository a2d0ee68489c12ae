#include "widgets/accessible_widgets.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCheckBox>
#include <QKeySequence>

namespace brintale {
namespace {

class CheckBoxAccessible : public QAccessibleWidget {
  public:
    explicit CheckBoxAccessible(QCheckBox* box) : QAccessibleWidget(box, QAccessible::CheckBox) {}

    QString text(QAccessible::Text t) const override {
        QString text = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && text.isEmpty()) {
            // The caption without its mnemonic marks; "&&" is a literal ampersand.
            text = box()->text();
            for (qsizetype i = text.indexOf(u'&'); i >= 0 && i < text.size();
                 i = text.indexOf(u'&', i + 1))
                text.remove(i, 1);
        }
        return text;
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = box()->checkState() == Qt::Checked;
        s.checkStateMixed = box()->checkState() == Qt::PartiallyChecked;
        return s;
    }

    QStringList actionNames() const override {
        QStringList names;
        if (box()->isEnabled()) names << toggleAction();
        return names + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& name) override {
        if (name != toggleAction()) return QAccessibleWidget::doAction(name);
        if (box()->isEnabled()) box()->click();
    }
    QStringList keyBindingsForAction(const QString& name) const override {
        if (name != toggleAction()) return QAccessibleWidget::keyBindingsForAction(name);
        const QKeySequence mnemonic = QKeySequence::mnemonic(box()->text());
        return mnemonic.isEmpty() ? QStringList{QStringLiteral("Space")}
                                  : QStringList{mnemonic.toString(QKeySequence::NativeText)};
    }

  private:
    QCheckBox* box() const { return static_cast<QCheckBox*>(widget()); }
};

QAccessibleInterface* MakeAccessible(const QString& key, QObject* object) {
    if (!object || !object->isWidgetType()) return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    if (key == QLatin1StringView("QCheckBox"))
        return new CheckBoxAccessible(static_cast<QCheckBox*>(widget));
    // Reached only by windows of no more special kind (dialogs, menus and tips stop earlier).
    if (key == QLatin1StringView("QWidget") && widget->isWindow())
        return new QAccessibleWidget(widget, QAccessible::Window);
    return nullptr;
}

}  // namespace

void HearWindowsAsShown() {
    static const bool installed = [] {
        QAccessible::installFactory(&MakeAccessible);
        return true;
    }();
    Q_UNUSED(installed);
}

}  // namespace brintale
