#include "abbreviations/abbreviation_window.h"

#include <QEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>

#include "shell/failure.h"
#include "shell/file_exists.h"
#include "shell/main_window.h"
#include "shell/settings_store.h"
#include "shell/shared_procedures.h"

namespace brintale {

namespace {

// In tab order, after the list.
const ButtonPlace kButtons[] = {
    {4, "Add", Twips(120, 3960, 2160, 405)},
    {1, "Delete Selected", Twips(2400, 3960, 2160, 405)},
    {2, "Close", Twips(2400, 4440, 2160, 405)},
    {3, "Clear List", Twips(120, 4440, 2160, 405)},
};

QString Count(qsizetype n) { return QLocale(QLocale::English).toString(n); }

}  // namespace

Form2::Form2(Services& services, SettingsStore& settings, QWidget* parent)
    : QDialog(parent), services_(services), settings_(settings) {
    buildControls();
}

Form2::~Form2() = default;

void Form2::buildControls() {
    setWindowTitle(QStringLiteral("Ignore These Abbreviations"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(Twips(0, 0, 4680, 4950).size());

    listView1_ = new QTreeWidget(this);
    listView1_->setGeometry(Twips(120, 120, 4440, 3735));
    listView1_->setFont(ArialBold(9));
    listView1_->setRootIsDecorated(false);
    listView1_->setUniformRowHeights(true);
    listView1_->setSelectionMode(QAbstractItemView::SingleSelection);
    listView1_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    listView1_->setHeaderLabels({QString()});
    // One column of its own width, as designed, not stretched over the list.
    listView1_->header()->setStretchLastSection(false);
    listView1_->installEventFilter(this);

    QWidget* previous = listView1_;
    for (const ButtonPlace& place : kButtons) {
        auto* button = new QPushButton(QString::fromLatin1(place.caption), this);
        button->setGeometry(place.geometry);
        button->setFont(ArialBold(11.25));
        buttons_[place.number] = button;
        setTabOrder(previous, button);
        previous = button;
    }
    connect(buttons_.at(4), &QPushButton::clicked, this, [this] { PushButton4_Click(); });
    connect(buttons_.at(1), &QPushButton::clicked, this, [this] { PushButton1_Click(); });
    connect(buttons_.at(2), &QPushButton::clicked, this, [this] { PushButton2_Click(); });
    connect(buttons_.at(3), &QPushButton::clicked, this, [this] { PushButton3_Click(); });
    listView1_->setFocus();
}

QPushButton* Form2::pushButton(int number) const {
    const auto it = buttons_.find(number);
    return it == buttons_.end() ? nullptr : it->second;
}

void Form2::Form_Load() {
    ErrorTrap trap(*this, QStringLiteral("Form2.Form_Load"));
    trap(100, [&] { ApplyButtonFaceBackground(this); });
    trap(102, [&] { setWindowIcon(ApplicationIcon()); });
    const QString cursorFile = services_.programFolder + QStringLiteral("/HAND-M.CUR");
    if (trap.test(104, [&] { return FileExists(cursorFile); })) {
        trap(106, [&] {
            hoverCursor_ = ReadCursorFile(cursorFile);
            // Over the buttons only; the list and the background keep the arrow.
            for (const auto& [number, button] : buttons_) button->setCursor(*hoverCursor_);
        });
    }
    trap(108, [&] { listView1_->setHeaderLabels({QStringLiteral("Abbreviation(s)")}); });
    trap(110, [&] { listView1_->setColumnWidth(0, 4000 / 15); });

    QString stored;
    trap(112, [&] { stored = settings_.Read(kKeyAbbreviations, QString()); });
    if (trap.test(114, [&] { return !stored.isEmpty(); })) {
        QStringList pieces;
        trap(116, [&] { pieces = SplitAbbreviationsForWindow(stored); });
        for (const QString& piece : pieces) {
            if (trap.test(120, [&] { return !piece.isEmpty(); })) {
                trap(122, [&] {
                    if (listView1_->topLevelItemCount() < kMaxAbbreviations)
                        AddRow(piece);
                    else
                        overflow_ << piece;
                });
            }
        }
        if (!overflow_.isEmpty()) {
            const qsizetype total = kMaxAbbreviations + overflow_.size();
            services_.prompts.Message(
                this, ApplicationTitle(),
                QStringLiteral("The stored list holds %1 abbreviations, more than the %2 this "
                               "window can show. The first %2 are listed; the others are kept "
                               "and still apply to counting.")
                    .arg(Count(total), Count(kMaxAbbreviations)),
                Prompts::Icon::Warning);
        }
    } else {
        for (int i = 0; i < kBuiltInAbbreviations.size(); ++i)
            trap(126 + 2 * i, [&] { AddRow(kBuiltInAbbreviations.at(i)); });
    }
}

void Form2::AddRow(const QString& text) {
    auto* item = new QTreeWidgetItem(QStringList{text});
    listView1_->addTopLevelItem(item);
}

bool Form2::IsNewAbbreviation(const QString& text) const {
    for (int i = 0; i < listView1_->topLevelItemCount(); ++i) {
        if (listView1_->topLevelItem(i)->text(0) == text) return false;
    }
    return true;
}

QStringList Form2::Entries() const {
    QStringList entries;
    entries.reserve(listView1_->topLevelItemCount());
    for (int i = 0; i < listView1_->topLevelItemCount(); ++i)
        entries << listView1_->topLevelItem(i)->text(0);
    return entries;
}

void Form2::PushButton4_Click() {
    ErrorTrap trap(*this, QStringLiteral("Form2.PushButton4_Click"));
    // Refuse before asking, so that nothing typed is thrown away.
    if (listView1_->topLevelItemCount() >= kMaxAbbreviations) {
        services_.prompts.Message(
            this, ApplicationTitle(),
            QStringLiteral("The list already holds %1 abbreviations, as many as it can. Delete "
                           "one before adding another.")
                .arg(Count(kMaxAbbreviations)),
            Prompts::Icon::Warning);
        return;
    }
    QString answer;
    trap(100, [&] {
        answer = services_.prompts.InputText(this, ApplicationTitle(),
                                             QStringLiteral("Enter Abbreviation: "));
    });
    if (trap.test(102, [&] { return !answer.isEmpty(); })) {
        if (trap.test(104, [&] { return IsNewAbbreviation(answer); })) {
            trap(106, [&] {
                AddRow(answer);
                QTreeWidgetItem* added =
                    listView1_->topLevelItem(listView1_->topLevelItemCount() - 1);
                listView1_->setCurrentItem(added);
                listView1_->scrollToItem(added);
            });
        }
    }
}

void Form2::PushButton1_Click() {
    ErrorTrap trap(*this, QStringLiteral("Form2.PushButton1_Click"));
    if (trap.test(100, [&] { return listView1_->topLevelItemCount() > 0; })) {
        trap(102, [&] {
            const QList<QTreeWidgetItem*> selected = listView1_->selectedItems();
            if (selected.isEmpty())
                throw Failure(
                    QStringLiteral("No abbreviation is selected. Select the one to "
                                   "delete, then press \"Delete Selected\" again."));
            const int row = listView1_->indexOfTopLevelItem(selected.first());
            delete listView1_->takeTopLevelItem(row);
            // The neighbour takes the selection, so that deleting can go on.
            const int count = listView1_->topLevelItemCount();
            if (count > 0)
                listView1_->setCurrentItem(listView1_->topLevelItem(qMin(row, count - 1)));
        });
    }
}

void Form2::PushButton3_Click() {
    ErrorTrap trap(*this, QStringLiteral("Form2.PushButton3_Click"));
    trap(100, [&] {
        listView1_->clear();
        overflow_.clear();
    });
}

void Form2::PushButton2_Click() {
    ErrorTrap trap(*this, QStringLiteral("Form2.PushButton2_Click"));
    trap(100, [&] { close(); });
}

void Form2::Form_QueryUnload() {
    ErrorTrap trap(*this, QStringLiteral("Form2.Form_QueryUnload"));
    QString stored;
    trap(100, [&] { stored.clear(); });
    trap(104, [&] { stored = JoinAbbreviations(Entries() + overflow_); });
    trap(108, [&] { settings_.Write(kKeyAbbreviations, stored); });
}

void Form2::done(int result) {
    Form_QueryUnload();
    QDialog::done(result);
}

void Form2::ShowErrorReport(const QString& description, const QString& tag, int line) {
    services_.prompts.Message(this, kErrorReportTitle, ErrorReportText(description, tag, line),
                              Prompts::Icon::Warning);
}

bool Form2::eventFilter(QObject* watched, QEvent* event) {
    if (watched == listView1_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        // The key acts only on a selected entry; with none there is nothing to say.
        if (!listView1_->selectedItems().isEmpty()) PushButton1_Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void Form2::showEvent(QShowEvent* event) {
    // Centred on the screen, as the main window is, rather than over its owner.
    if (QScreen* screen =
            parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
}

namespace form1 {

void PushButton4_Click(Form1& form) {
    ErrorTrap trap(form, QStringLiteral("Form1.PushButton4_Click"));
    trap(100, [&] {
        // Owned by the main window so that it stays above it; modal to the whole program.
        Form2 form2(form.services(), form.settings(), &form);
        form2.Form_Load();
        form2.exec();
    });
}

}  // namespace form1
}  // namespace brintale
