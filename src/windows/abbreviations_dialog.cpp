#include "windows/abbreviations_dialog.h"

#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTreeWidget>

#include "core/file_exists.h"
#include "core/procedure_tags.h"
#include "platform/data_files.h"
#include "platform/services.h"
#include "widgets/cursor_file.h"
#include "widgets/look.h"

namespace brintale {

namespace {

// In tab order, after the list.
const ButtonPlace<AbbreviationsButton> kButtons[] = {
    {AbbreviationsButton::Add, "Add", Twips(120, 3960, 2160, 405)},
    {AbbreviationsButton::DeleteSelected, "Delete Selected", Twips(2400, 3960, 2160, 405)},
    {AbbreviationsButton::Close, "Close", Twips(2400, 4440, 2160, 405)},
    {AbbreviationsButton::ClearList, "Clear List", Twips(120, 4440, 2160, 405)},
};

const char* ObjectName(AbbreviationsButton which) {
    switch (which) {
        case AbbreviationsButton::Add:
            return "addButton";
        case AbbreviationsButton::DeleteSelected:
            return "deleteSelectedButton";
        case AbbreviationsButton::ClearList:
            return "clearListButton";
        case AbbreviationsButton::Close:
            return "closeButton";
    }
    return "";
}

}  // namespace

AbbreviationsDialog::AbbreviationsDialog(Services& services, SettingsStore& settings,
                                         QWidget* parent)
    : QDialog(parent), services_(services), settings_(settings) {
    buildControls();
}

AbbreviationsDialog::~AbbreviationsDialog() = default;

void AbbreviationsDialog::buildControls() {
    setObjectName(QStringLiteral("abbreviationsDialog"));
    setWindowTitle(QStringLiteral("Ignore These Abbreviations"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(Twips(0, 0, 4680, 4950).size());

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("abbreviationList"));
    list_->setGeometry(Twips(120, 120, 4440, 3735));
    list_->setFont(ArialBold(9));
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setHeaderLabels({QString()});
    // One column of its own width, as designed, not stretched over the list.
    list_->header()->setStretchLastSection(false);
    list_->installEventFilter(this);

    QWidget* previous = list_;
    for (const auto& place : kButtons) {
        auto* button = new QPushButton(QString::fromLatin1(place.caption), this);
        button->setObjectName(QString::fromLatin1(ObjectName(place.id)));
        button->setGeometry(place.geometry);
        button->setFont(ArialBold(11.25));
        buttons_[place.id] = button;
        setTabOrder(previous, button);
        previous = button;
    }
    const auto on = [this](AbbreviationsButton which, void (*command)(AbbreviationsForm&)) {
        connect(buttons_.at(which), &QPushButton::clicked, this,
                [this, command] { command(*this); });
    };
    on(AbbreviationsButton::Add, AddAbbreviation);
    on(AbbreviationsButton::DeleteSelected, DeleteSelectedAbbreviation);
    on(AbbreviationsButton::Close, CloseAbbreviations);
    on(AbbreviationsButton::ClearList, ClearAbbreviations);

    list_->setAccessibleName(QStringLiteral("Abbreviations to ignore"));
    list_->setAccessibleDescription(
        QStringLiteral("A full stop inside one of these ends no sentence. Delete removes the "
                       "selected one."));
    const std::pair<AbbreviationsButton, const char*> descriptions[] = {
        {AbbreviationsButton::Add, "Asks for an abbreviation and adds it to the list."},
        {AbbreviationsButton::DeleteSelected, "Removes the selected abbreviation."},
        {AbbreviationsButton::Close, "Stores the list and closes the window."},
        {AbbreviationsButton::ClearList, "Removes every abbreviation."},
    };
    for (const auto& [which, description] : descriptions) {
        buttons_.at(which)->setAccessibleName(buttons_.at(which)->text());
        buttons_.at(which)->setAccessibleDescription(QString::fromLatin1(description));
    }
    ShowFocusClearly(this);
    PressButtonsOnReturn(this);
    list_->setFocus();
}

QPushButton* AbbreviationsDialog::button(AbbreviationsButton which) const {
    const auto it = buttons_.find(which);
    return it == buttons_.end() ? nullptr : it->second;
}

QStringList AbbreviationsDialog::Entries() const { return AbbreviationEntries(*list_); }

void AbbreviationsDialog::RunStartup() {
    ErrorTrap trap(*this, tags::kAbbreviationsStartup);
    trap(100, [&] { ApplyButtonFaceBackground(this); });
    trap(102, [&] { setWindowIcon(ApplicationIcon()); });
    const QString cursorFile = FindDataFile(QStringLiteral("HAND-M.CUR"), services_.programFolder);
    if (trap.test(104, [&] { return FileExists(cursorFile); })) {
        trap(106, [&] {
            hoverCursor_ = ReadCursorFile(cursorFile);
            // Over the buttons only; the list and the background keep the arrow.
            for (const auto& [which, button] : buttons_) button->setCursor(*hoverCursor_);
        });
    }
    trap(108, [&] { list_->setHeaderLabels({QStringLiteral("Abbreviation(s)")}); });
    trap(110, [&] { list_->setColumnWidth(0, Px(4000)); });
    LoadAbbreviations(*this, trap);
}

void AbbreviationsDialog::done(int result) {
    StoreAbbreviations(*this);
    QDialog::done(result);
}

void AbbreviationsDialog::ShowErrorReport(const QString& description, const QString& tag,
                                          int line) {
    ShowErrorReportBox(services_.prompts, this, description, tag, line);
}

bool AbbreviationsDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        // The key acts only on a selected entry; with none there is nothing to say.
        if (!list_->selectedItems().isEmpty()) DeleteSelectedAbbreviation(*this);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void AbbreviationsDialog::showEvent(QShowEvent* event) {
    // Centred on the screen, as the main window is, rather than over its owner.
    CenterOnScreen(this);
    QDialog::showEvent(event);
}

}  // namespace brintale
