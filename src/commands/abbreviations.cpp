#include "commands/abbreviations.h"

#include <QHash>
#include <QLocale>
#include <QTreeWidget>

#include "commands/main_form.h"
#include "core/failure.h"
#include "core/procedure_tags.h"
#include "core/product.h"
#include "core/settings_store.h"
#include "platform/services.h"

namespace brintale {

namespace {

QString Count(qsizetype n) { return QLocale(QLocale::English).toString(n); }

void AddRow(QTreeWidget& list, const QString& text) {
    list.addTopLevelItem(new QTreeWidgetItem(QStringList{text}));
}

// The entries a window opened now would show.
QStringList ShownEntries(const QString& stored) {
    return stored.isNull() ? kBuiltInAbbreviations : SplitAbbreviationsForWindow(stored);
}

}  // namespace

bool IsNewAbbreviation(const QTreeWidget& list, const QString& text) {
    for (int i = 0; i < list.topLevelItemCount(); ++i) {
        if (list.topLevelItem(i)->text(0) == text) return false;
    }
    return true;
}

QStringList AbbreviationEntries(const QTreeWidget& list) {
    QStringList entries;
    entries.reserve(list.topLevelItemCount());
    for (int i = 0; i < list.topLevelItemCount(); ++i) entries << list.topLevelItem(i)->text(0);
    return entries;
}

void OpenAbbreviations(MainForm& form) {
    ErrorTrap trap(form, tags::kOpenAbbreviations);
    trap(100, [&] { form.ShowAbbreviationsDialog(); });
}

void LoadAbbreviations(AbbreviationsForm& form, ErrorTrap& trap) {
    QTreeWidget& list = *form.list();
    QString stored;
    trap(112, [&] { stored = form.settings().Read(kKeyAbbreviations, QString()); });
    if (trap.test(114, [&] { return !stored.isEmpty(); })) {
        QStringList pieces;
        trap(116, [&] { pieces = SplitAbbreviationsForWindow(stored); });
        for (const QString& piece : pieces) {
            if (trap.test(120, [&] { return !piece.isEmpty(); })) {
                trap(122, [&] {
                    if (list.topLevelItemCount() < kMaxAbbreviations)
                        AddRow(list, piece);
                    else
                        form.overflow << piece;
                });
            }
        }
        if (!form.overflow.isEmpty()) {
            const qsizetype total = kMaxAbbreviations + form.overflow.size();
            form.services().prompts.Message(
                form.widget(), ApplicationTitle(),
                QStringLiteral("The stored list holds %1 abbreviations, more than the %2 this "
                               "window can show. The first %2 are listed; the others are kept "
                               "and still apply to counting.")
                    .arg(Count(total), Count(kMaxAbbreviations)),
                Prompts::Icon::Warning);
        }
    } else if (stored.isNull()) {
        // Never stored: the built-in entries. A list the user emptied stays empty.
        for (int i = 0; i < kBuiltInAbbreviations.size(); ++i)
            trap(126 + 2 * i, [&] { AddRow(list, kBuiltInAbbreviations.at(i)); });
    }
    form.seen = AbbreviationEntries(list) + form.overflow;
}

void AddAbbreviation(AbbreviationsForm& form) {
    ErrorTrap trap(form, tags::kAddAbbreviation);
    QTreeWidget& list = *form.list();
    // Refuse before asking, so that nothing typed is thrown away.
    if (list.topLevelItemCount() >= kMaxAbbreviations) {
        form.services().prompts.Message(
            form.widget(), ApplicationTitle(),
            QStringLiteral("The list already holds %1 abbreviations, as many as it can. Delete "
                           "one before adding another.")
                .arg(Count(kMaxAbbreviations)),
            Prompts::Icon::Warning);
        return;
    }
    QString answer;
    trap(100, [&] {
        answer = form.services().prompts.InputText(form.widget(), ApplicationTitle(),
                                                   QStringLiteral("Enter Abbreviation: "));
    });
    if (trap.test(102, [&] { return !answer.isEmpty(); })) {
        if (trap.test(104, [&] { return IsNewAbbreviation(list, answer); })) {
            const bool added = trap(106, [&] {
                AddRow(list, answer);
                QTreeWidgetItem* row = list.topLevelItem(list.topLevelItemCount() - 1);
                list.setCurrentItem(row);
                list.scrollToItem(row);
            });
            if (added) StoreAbbreviations(form);
        }
    }
}

void DeleteSelectedAbbreviation(AbbreviationsForm& form) {
    ErrorTrap trap(form, tags::kDeleteSelectedAbbreviation);
    QTreeWidget& list = *form.list();
    if (trap.test(100, [&] { return list.topLevelItemCount() > 0; })) {
        const bool deleted = trap(102, [&] {
            const QList<QTreeWidgetItem*> selected = list.selectedItems();
            if (selected.isEmpty())
                throw Failure(
                    QStringLiteral("No abbreviation is selected. Select the one to "
                                   "delete, then press \"Delete Selected\" again."));
            const int row = list.indexOfTopLevelItem(selected.first());
            delete list.takeTopLevelItem(row);
            // The neighbour takes the selection, so that deleting can go on.
            const int count = list.topLevelItemCount();
            if (count > 0) list.setCurrentItem(list.topLevelItem(qMin(row, count - 1)));
        });
        if (deleted) StoreAbbreviations(form);
    }
}

void ClearAbbreviations(AbbreviationsForm& form) {
    ErrorTrap trap(form, tags::kClearAbbreviations);
    const bool cleared = trap(100, [&] {
        form.list()->clear();
        form.overflow.clear();
    });
    if (cleared) StoreAbbreviations(form);
}

void CloseAbbreviations(AbbreviationsForm& form) {
    ErrorTrap trap(form, tags::kCloseAbbreviations);
    trap(100, [&] { form.CloseWindow(); });
}

QStringList MergeAbbreviations(const QStringList& now, const QStringList& before,
                               const QStringList& after) {
    QHash<QString, int> change;  // how many more of an entry `after` holds than `before`
    QHash<QString, int> inAfter;
    for (const QString& entry : before) --change[entry];
    for (const QString& entry : after) {
        ++change[entry];
        ++inAfter[entry];
    }
    QHash<QString, int> kept;
    QStringList merged;
    merged.reserve(now.size() + after.size());
    for (const QString& entry : now) {
        int& removed = change[entry];
        if (removed < 0) {
            ++removed;
            continue;
        }
        merged << entry;
        ++kept[entry];
    }
    // An entry that another window added as well is not added twice.
    for (const QString& entry : after) {
        int& added = change[entry];
        if (added <= 0 || kept.value(entry) >= inAfter.value(entry)) continue;
        merged << entry;
        --added;
        ++kept[entry];
    }
    return merged;
}

void StoreAbbreviations(AbbreviationsForm& form) {
    ErrorTrap trap(form, tags::kStoreAbbreviations);
    QString stored;
    QStringList now = form.seen;  // unless the store says otherwise
    QStringList entries;
    trap(100, [&] { stored.clear(); });
    trap(102, [&] { now = ShownEntries(form.settings().Read(kKeyAbbreviations, QString())); });
    trap(104, [&] {
        entries = AbbreviationEntries(*form.list()) + form.overflow;
        stored = JoinAbbreviations(MergeAbbreviations(now, form.seen, entries));
    });
    if (trap(108, [&] { form.settings().Write(kKeyAbbreviations, stored); })) form.seen = entries;
}

}  // namespace brintale
