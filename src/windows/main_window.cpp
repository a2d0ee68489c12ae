#include "windows/main_window.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QTreeView>
#include <QVBoxLayout>

#include "commands/abbreviations.h"
#include "commands/clipboard_copy.h"
#include "commands/counting.h"
#include "commands/help.h"
#include "commands/long_sentences.h"
#include "commands/results_list.h"
#include "commands/show_in_text.h"
#include "commands/spreadsheet_export.h"
#include "commands/text_export.h"
#include "commands/text_loading.h"
#include "core/file_exists.h"
#include "core/procedure_tags.h"
#include "core/product.h"
#include "core/results_model.h"
#include "core/settings_store.h"
#include "platform/data_files.h"
#include "platform/services.h"
#include "widgets/accessible_widgets.h"
#include "widgets/check_list_view.h"
#include "widgets/cursor_file.h"
#include "widgets/long_sentence_highlight.h"
#include "widgets/look.h"
#include "widgets/skin.h"
#include "widgets/text_box.h"
#include "windows/abbreviations_dialog.h"
#include "windows/statistics_window.h"

namespace brintale {

namespace {

const QSize kClientSize(Px(8040), Px(9105));
const int kResultsColumnWidth = Px(7000);

const QString kListToolTip = QStringLiteral(
    "Double-click item to remove it. Move | line to right and out of window to reveal full "
    "names.");
const QString kTextBoxToolTip = QStringLiteral(
    "The text to count. Tab types a tab; Ctrl+Tab moves to the next control and "
    "Ctrl+Shift+Tab to the previous one.");

struct MainButtonPlace {
    MainButton id;
    const char* objectName;
    const char* caption;
    QRect geometry;  // in twips: left, top, width, height
    void (*command)(MainForm&);
    const char* description;  // for screen readers
};

const MainButtonPlace kButtons[] = {
    {MainButton::LoadTextFromFile, "loadTextFromFileButton", "Load Text From Text File",
     Twips(120, 2440, 3840, 400), LoadTextFromFile,
     "Replaces the text with the contents of a text file (Ctrl+O)."},
    {MainButton::ClearText, "clearTextButton", "Clear List", Twips(4080, 2445, 3840, 405),
     ClearText, "Empties the text box."},
    {MainButton::Help, "helpButton", "Help", Twips(120, 2940, 3840, 405), ShowHelp,
     "Shows where to send questions: the address of Team Quorvane's contact page (F1)."},
    {MainButton::LoadSampleText, "loadSampleTextButton", "Load Sample/Example Text",
     Twips(4080, 2940, 3840, 405), LoadSampleText, "Replaces the text with an example text."},
    {MainButton::Abbreviations, "abbreviationsButton",
     "List Of Abbreviations To Ignore (Such as etc.)", Twips(120, 5085, 7800, 405),
     OpenAbbreviations, "Opens the list of abbreviations whose full stop ends no sentence."},
    {MainButton::StartCounting, "startCountingButton", "Start Counting",
     Twips(120, 5590, 7800, 405), StartCounting,
     "Splits the text into sentences and lists them (Ctrl+Return or F5)."},
    {MainButton::SaveResultsAsTextFile, "saveResultsAsTextFileButton", "Save Results As Text File",
     Twips(120, 8080, 3840, 405), SaveResultsAsTextFile,
     "Saves every sentence of the list to a text file (Ctrl+S)."},
    {MainButton::SaveResultsAsSpreadsheet, "saveResultsAsSpreadsheetButton",
     "Save Results As Excel File", Twips(4080, 8080, 3840, 405), SaveResultsAsSpreadsheet,
     "Exports the ticked sentences to a workbook."},
    {MainButton::CopyResultsToClipboard, "copyResultsToClipboardButton",
     "Copy Results To Clipboard", Twips(120, 8590, 3840, 405), CopyResultsToClipboard,
     "Copies the ticked sentences to the clipboard (Ctrl+Shift+C in the list)."},
    {MainButton::ClearResults, "clearResultsButton", "Clear Results", Twips(4080, 8590, 3840, 405),
     ClearResults, "Empties the results list."},
};

// The other controls; the three inside the separators group are placed relative to it.
const QRect kTextBox = Twips(120, 120, 7800, 2220);
const QRect kSeparatorsGroup = Twips(120, 3405, 7800, 1560);
const QRect kSeparatorsEdit = Twips(360, 300, 1860, 345);
const QRect kLineBreakEnds = Twips(360, 750, 915, 285);
const QRect kTabEnds = Twips(360, 1100, 735, 285);
const QRect kResultsView = Twips(120, 6090, 7800, 1905);

void PaintWhite(QWidget* widget) { PaintBackground(widget, Qt::white); }

Qt::CheckState CheckValue(const QString& stored) {
    switch (StoredCheckValue(stored)) {
        case 0:
            return Qt::Unchecked;
        case 1:
            return Qt::Checked;
        default:
            return Qt::PartiallyChecked;
    }
}

QString TickLongCaption(const SettingsStore& settings) {
    return QStringLiteral("Tick Sentences Longer Than %1 Words")
        .arg(ReadLongSentenceWords(settings));
}

}  // namespace

MainWindow::MainWindow(Services& services, SettingsStore& settings, QWidget* parent)
    : QWidget(parent), services_(services), settings_(settings) {
    HearWindowsAsShown();
    buildControls();
    describeControls();
    setFocusOrder();
    buildListMenu();
    connectHandlers();
    addShortcuts();
    watchPointer();
    ShowFocusClearly(this);
    PressButtonsOnReturn(this);
}

MainWindow::~MainWindow() = default;

void MainWindow::buildControls() {
    setObjectName(QStringLiteral("mainWindow"));
    // Fixed single border with a minimise button and no maximise button.
    // Single border with a minimise button and no maximise button; the designed size is the
    // smallest, and where the screen is smaller, FitOnScreen lets the content scroll.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    resize(kClientSize);
    setMinimumSize(kClientSize);
    setFont(ArialBold(9));
    PaintWhite(this);

    scrollArea_ = new QScrollArea(this);
    scrollArea_->setObjectName(QStringLiteral("scrollArea"));
    scrollArea_->setFrameShape(QFrame::NoFrame);
    scrollArea_->setFocusPolicy(Qt::NoFocus);
    scrollArea_->setWidgetResizable(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scrollArea_);
    content_ = new QWidget;
    content_->setObjectName(QStringLiteral("content"));
    content_->setMinimumSize(kClientSize);
    scrollArea_->setWidget(content_);
    content_->installEventFilter(this);

    textBox_ = new TextBox(content_);
    textBox_->setObjectName(QStringLiteral("textBox"));
    textBox_->setGeometry(kTextBox);

    const QFont buttonFont = ArialBold(11.25);
    for (const MainButtonPlace& place : kButtons) {
        auto* button = new QPushButton(QString::fromLatin1(place.caption), content_);
        button->setObjectName(QString::fromLatin1(place.objectName));
        button->setGeometry(place.geometry);
        button->setFont(buttonFont);
        button->setAutoDefault(false);
        buttons_[place.id] = button;
    }

    separatorsGroup_ =
        new QGroupBox(QStringLiteral("Characters That Separate Sentences"), content_);
    separatorsGroup_->setObjectName(QStringLiteral("separatorsGroup"));
    separatorsGroup_->setGeometry(kSeparatorsGroup);
    PaintWhite(separatorsGroup_);
    separatorsEdit_ = new QLineEdit(QStringLiteral("Text2"), separatorsGroup_);
    separatorsEdit_->setObjectName(QStringLiteral("separatorsEdit"));
    separatorsEdit_->setGeometry(kSeparatorsEdit);
    lineBreakEnds_ = new QCheckBox(QStringLiteral("Enter"), separatorsGroup_);
    lineBreakEnds_->setObjectName(QStringLiteral("lineBreakEnds"));
    lineBreakEnds_->setGeometry(kLineBreakEnds);
    lineBreakEnds_->setCheckState(Qt::Checked);
    PaintWhite(lineBreakEnds_);
    tabEnds_ = new QCheckBox(QStringLiteral("Tab"), separatorsGroup_);
    tabEnds_->setObjectName(QStringLiteral("tabEnds"));
    tabEnds_->setGeometry(kTabEnds);
    tabEnds_->setCheckState(Qt::Checked);
    PaintWhite(tabEnds_);

    results_ = new ResultsModel(this);
    resultsView_ = new CheckListView(content_);
    resultsView_->setObjectName(QStringLiteral("resultsView"));
    resultsView_->setGeometry(kResultsView);
    resultsView_->setToolTip(kListToolTip);
    resultsView_->setRootIsDecorated(false);
    resultsView_->setItemsExpandable(false);
    resultsView_->setUniformRowHeights(true);
    resultsView_->setSortingEnabled(false);
    resultsView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    resultsView_->setSelectionMode(QAbstractItemView::SingleSelection);
    resultsView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    resultsView_->setModel(results_);
    QHeaderView* header = resultsView_->header();
    header->setSectionsClickable(false);
    header->setSectionsMovable(false);
    header->setStretchLastSection(false);
    header->setSectionResizeMode(QHeaderView::Interactive);
    resultsView_->installEventFilter(this);

    // No size: nothing shows, but screen readers hear it change.
    statusLabel_ = new QLabel(content_);
    statusLabel_->setObjectName(QStringLiteral("statusLabel"));
    statusLabel_->setGeometry(0, 0, 0, 0);
    statusLabel_->setAccessibleDescription(QStringLiteral("The outcome of the last count."));

    textBox_->setFocus();
}

void MainWindow::describeControls() {
    textBox_->setToolTip(kTextBoxToolTip);
    textBox_->setAccessibleName(QStringLiteral("Text to count"));
    textBox_->setAccessibleDescription(kTextBoxToolTip);
    separatorsEdit_->setAccessibleName(separatorsGroup_->title());
    separatorsEdit_->setAccessibleDescription(
        QStringLiteral("Each of these characters ends a sentence."));
    separatorsGroup_->setAccessibleName(separatorsGroup_->title());
    separatorsGroup_->setAccessibleDescription(QStringLiteral("Which characters end a sentence."));
    lineBreakEnds_->setAccessibleName(QStringLiteral("Enter"));
    lineBreakEnds_->setAccessibleDescription(QStringLiteral("A line break ends a sentence."));
    tabEnds_->setAccessibleName(QStringLiteral("Tab"));
    tabEnds_->setAccessibleDescription(QStringLiteral("A tab ends a sentence."));
    // The list is named by its column header, which says the total after a count.
    resultsView_->setAccessibleDescription(
        QStringLiteral("One sentence a row; tick rows to copy or export them. Delete removes "
                       "the selected row; the context menu (Shift+F10) ticks or unticks all."));
    for (const MainButtonPlace& place : kButtons) {
        QPushButton* b = buttons_.at(place.id);
        b->setAccessibleName(b->text());
        b->setAccessibleDescription(QString::fromLatin1(place.description));
    }
}

void MainWindow::addShortcuts() {
    // Each runs its button's click, so the same command and the same report tag apply.
    const auto press = [this](const QKeySequence& keys, MainButton which, QWidget* scope) {
        auto* shortcut = new QShortcut(keys, scope);
        shortcut->setContext(scope == this ? Qt::WindowShortcut : Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, which] { button(which)->click(); });
    };
    press(QKeySequence(Qt::CTRL | Qt::Key_O), MainButton::LoadTextFromFile, this);
    press(QKeySequence(Qt::CTRL | Qt::Key_S), MainButton::SaveResultsAsTextFile, this);
    press(QKeySequence(Qt::CTRL | Qt::Key_Return), MainButton::StartCounting, this);
    press(QKeySequence(Qt::CTRL | Qt::Key_Enter), MainButton::StartCounting, this);
    press(QKeySequence(Qt::Key_F5), MainButton::StartCounting, this);
    press(QKeySequence(Qt::Key_F1), MainButton::Help, this);
    // Only in the list: Ctrl+C keeps copying the selected text in the text box.
    press(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C), MainButton::CopyResultsToClipboard,
          resultsView_);
    auto* quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
    connect(quit, &QShortcut::activated, this, &QWidget::close);
}

void MainWindow::placeControls(QSize room) {
    const int wider = std::max(0, room.width() - kClientSize.width());
    const int taller = std::max(0, room.height() - kClientSize.height());
    const int textTaller = taller / 2;
    // Below the text box everything moves down by its growth, below the list by both.
    const auto shift = [&](const QRect& designed) {
        if (designed.top() >= kResultsView.bottom()) return designed.translated(0, taller);
        if (designed.top() >= kTextBox.bottom()) return designed.translated(0, textTaller);
        return designed;
    };
    textBox_->setGeometry(kTextBox.adjusted(0, 0, wider, textTaller));
    for (const MainButtonPlace& place : kButtons)
        buttons_.at(place.id)->setGeometry(shift(place.geometry));
    separatorsGroup_->setGeometry(shift(kSeparatorsGroup));
    resultsView_->setGeometry(shift(kResultsView).adjusted(0, 0, wider, taller - textTaller));
    // The column grows with the list, keeping any width the user gave it.
    QHeaderView* header = resultsView_->header();
    header->resizeSection(0, std::max(1, header->sectionSize(0) + wider - columnGrowth_));
    columnGrowth_ = wider;
}

void MainWindow::showListMenu(const QPoint& at) {
    const bool usable = !IsBusy() && results_->rowCount() > 0;
    checkAllAction_->setEnabled(usable);
    uncheckAllAction_->setEnabled(usable);
    tickLongSentencesAction_->setEnabled(usable);
    tickLongSentencesAction_->setText(TickLongCaption(settings_));
    listMenu_->popup(resultsView_->viewport()->mapToGlobal(at));
}

void MainWindow::announceTotal() {
    const QString total = results_->CaptionOf(0);
    statusLabel_->setText(total);
    // The same total again is news too: say it whether or not the text changed.
    QAccessibleEvent named(statusLabel_, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&named);
    QAccessibleValueChangeEvent value(statusLabel_, total);
    QAccessible::updateAccessibility(&value);
}

void MainWindow::setFocusOrder() {
    using B = MainButton;
    QWidget* const order[] = {textBox_,
                              button(B::LoadTextFromFile),
                              button(B::ClearText),
                              separatorsEdit_,
                              lineBreakEnds_,
                              tabEnds_,
                              button(B::Abbreviations),
                              button(B::StartCounting),
                              resultsView_,
                              button(B::SaveResultsAsTextFile),
                              button(B::SaveResultsAsSpreadsheet),
                              button(B::CopyResultsToClipboard),
                              button(B::ClearResults),
                              separatorsGroup_,
                              button(B::Help),
                              button(B::LoadSampleText)};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
}

void MainWindow::buildListMenu() {
    // Ticking a thousand rows one by one is no way to pick them for the copy or the export.
    listMenu_ = new QMenu(resultsView_);
    listMenu_->setObjectName(QStringLiteral("resultsMenu"));
    checkAllAction_ = listMenu_->addAction(QStringLiteral("Check All"));
    uncheckAllAction_ = listMenu_->addAction(QStringLiteral("Uncheck All"));
    connect(checkAllAction_, &QAction::triggered, this, [this] {
        if (!IsBusy()) results_->SetAllTicked(true);
    });
    connect(uncheckAllAction_, &QAction::triggered, this, [this] {
        if (!IsBusy()) results_->SetAllTicked(false);
    });
    listMenu_->addSeparator();
    statisticsAction_ = listMenu_->addAction(QStringLiteral("Statistics\u2026"));
    statisticsAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
    statisticsAction_->setShortcutContext(Qt::WidgetShortcut);
    resultsView_->addAction(statisticsAction_);
    connect(statisticsAction_, &QAction::triggered, this, &MainWindow::ShowStatistics);
    tickLongSentencesAction_ = listMenu_->addAction(TickLongCaption(settings_));
    connect(tickLongSentencesAction_, &QAction::triggered, this,
            [this] { TickLongSentences(*this, ReadLongSentenceWords(settings_)); });
    highlightAction_ = listMenu_->addAction(QStringLiteral("Highlight Long Sentences"));
    highlightAction_->setObjectName(QStringLiteral("highlightLongSentencesAction"));
    highlightAction_->setCheckable(true);
    highlightAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    highlightAction_->setShortcutContext(Qt::WindowShortcut);
    addAction(highlightAction_);
    connect(highlightAction_, &QAction::toggled, this,
            [this](bool on) { SetHighlightLongSentences(*this, on); });
    connect(&textBox_->longSentences(), &LongSentenceHighlight::enabledChanged, highlightAction_,
            &QAction::setChecked);
    resultsView_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(resultsView_, &QWidget::customContextMenuRequested, this, &MainWindow::showListMenu);
}

void MainWindow::connectHandlers() {
    for (const MainButtonPlace& place : kButtons) {
        connect(buttons_.at(place.id), &QPushButton::clicked, this,
                [this, command = place.command] { command(*this); });
    }

    connect(separatorsEdit_, &QLineEdit::textChanged, this, [this] { StoreSeparators(*this); });
    // The coloured sentences follow the rules as they follow the text.
    connect(separatorsEdit_, &QLineEdit::textChanged, this,
            [this] { textBox_->longSentences().Refresh(); });
    for (QCheckBox* box : {lineBreakEnds_, tabEnds_})
        connect(box, &QCheckBox::stateChanged, this,
                [this] { textBox_->longSentences().Refresh(); });
    connect(lineBreakEnds_, &QCheckBox::stateChanged, this,
            [this] { StoreLineBreakOption(*this); });
    connect(tabEnds_, &QCheckBox::stateChanged, this, [this] { StoreTabOption(*this); });
    // A restored grey box goes back to two states once the user has clicked it.
    for (QCheckBox* box : {lineBreakEnds_, tabEnds_}) {
        connect(box, &QCheckBox::clicked, box, [box] {
            if (box->checkState() != Qt::PartiallyChecked) box->setTristate(false);
        });
    }
    connect(session_, &Session::counted, this, &MainWindow::announceTotal);
    connect(resultsView_, &QTreeView::doubleClicked, this, [this] { RemoveSelectedResult(*this); });
    // Keyboard moves to a control the scroll area hides bring it into view.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now != nullptr && content_->isAncestorOf(now)) scrollArea_->ensureWidgetVisible(now);
    });
    // A click makes the row current before it selects it; the keys select the current row.
    connect(resultsView_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { ShowSentenceInText(*this); });
    connect(resultsView_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { ShowSentenceInText(*this); });
    // The rows' stretches no longer match; a count makes them match again.
    connect(textBox_, &TextBox::textChanged, this,
            [this] { session_->lastCount.changedSince = true; });
    connect(textBox_, &TextBox::filesDropped, this,
            [this](const QStringList& paths) { LoadDroppedFiles(*this, paths); });
}

void MainWindow::watchPointer() {
    // Mouse moves without a pressed button reach every control, as the pointer rule needs.
    setMouseTracking(true);
    const QList<QWidget*> children = findChildren<QWidget*>();
    for (QWidget* child : children) {
        child->setMouseTracking(true);
        child->installEventFilter(this);
    }
}

bool MainWindow::isButton(QObject* object) const {
    for (; object != nullptr && object != this; object = object->parent()) {
        for (const auto& [which, button] : buttons_)
            if (object == button) return true;
    }
    return false;
}

bool MainWindow::isControlMove(QWidget* receiver, QPoint at) const {
    // Through the content, whose controls are at their places even before the window shows.
    const QPoint inContent = content_->mapFromGlobal(receiver->mapToGlobal(at));
    if (!content_->rect().contains(inContent)) return false;
    QWidget* control = content_->childAt(inContent);
    return control != nullptr && control != receiver && receiver->isAncestorOf(control);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseMove:
            // A move that a control ignores reaches its parents, the content and the scroll
            // area; it belongs to the control, as with the window itself.
            if (auto* w = qobject_cast<QWidget*>(watched);
                w != nullptr && !isButton(watched) &&
                isControlMove(w, static_cast<QMouseEvent*>(event)->position().toPoint()))
                break;
            [[fallthrough]];
        case QEvent::Enter:
            if (isButton(watched))
                PointerOverButton();
            else
                PointerOverControl();
            break;
        case QEvent::KeyPress: {
            if (watched != resultsView_) break;
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier) {
                // The same menu as the Menu key, at the current row.
                const QRect row = resultsView_->visualRect(resultsView_->currentIndex());
                showListMenu(row.isValid() ? row.center() : QPoint(0, 0));
                return true;
            }
            if (HandleResultsKey(*this, key->key())) return true;
            break;
        }
        case QEvent::Resize:
            if (watched == content_) placeControls(content_->size());
            break;
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
    // Moves that a button ignores come up here too; only the background itself is the arrow's.
    if (!isControlMove(this, event->position().toPoint())) PointerOverControl();
    QWidget::mouseMoveEvent(event);
}

QPushButton* MainWindow::button(MainButton which) const {
    const auto it = buttons_.find(which);
    return it == buttons_.end() ? nullptr : it->second;
}

void MainWindow::RunStartup() {
    ErrorTrap trap(*this, tags::kStartup);
    const QString folder = services_.programFolder;
    trap(100, [&] { ApplySkin(this, skin_, folder); });
    trap(104, [&] {
        setWindowTitle(kProductName);
        setWindowIcon(ApplicationIcon());
        // The title of the message boxes only: as the display name, the desktop would add it
        // to every window title.
        SetApplicationTitle();
    });
    const QString cursorPath = FindDataFile(QStringLiteral("HAND-M.CUR"), folder);
    if (trap.test(106, [&] { return FileExists(cursorPath); }))
        trap(108, [&] { hoverCursor_ = ReadCursorFile(cursorPath); });
    trap(110, [&] { MaybeOpenHomePage(services_.random, services_.desktop); });
    trap(128, [&] { results_->SetColumnCaption(kInitialResultsCaption); });
    trap(130, [&] { resultsView_->header()->resizeSection(0, kResultsColumnWidth); });
    trap(132, [&] { separatorsEdit_->setText(settings_.Read(kKeyEnding, kDefaultEnding)); });
    trap(134, [&] {
        lineBreakEnds_->setCheckState(CheckValue(settings_.Read(kKeyEnter, kDefaultEnter)));
    });
    trap(136, [&] { tabEnds_->setCheckState(CheckValue(settings_.Read(kKeyTab, kDefaultTab))); });
    LongSentenceHighlight& highlight = textBox_->longSentences();
    highlight.setLongerThan(ReadLongSentenceWords(settings_));
    highlight.setRules([this] { return CurrentSentenceRules(*this); });
    highlightAction_->setChecked(ReadHighlightLongSentences(settings_));
}

void MainWindow::SetPointer(Pointer pointer) {
    if (pointer == pointer_) return;
    pointer_ = pointer;
    showPointer();
}

void MainWindow::PointerOverButton() {
    if (!IsBusy()) SetPointer(Pointer::Custom);
}

void MainWindow::PointerOverControl() {
    if (!IsBusy()) SetPointer(Pointer::Default);
}

void MainWindow::showPointer() {
    if (pointer_ == Pointer::Hourglass) {
        // Over the whole window: children with a pointer of their own (the text boxes'
        // I-beam, the list's viewport) would otherwise hide the hourglass.
        setCursor(Qt::WaitCursor);
        if (coveredCursors_.empty()) {
            const QList<QWidget*> children = findChildren<QWidget*>();
            for (QWidget* child : children) {
                std::optional<QCursor> own;
                if (child->testAttribute(Qt::WA_SetCursor)) own = child->cursor();
                coveredCursors_.emplace_back(child, own);
                child->setCursor(Qt::WaitCursor);
            }
        }
        return;
    }
    for (auto& [child, own] : coveredCursors_) {
        if (child.isNull()) continue;
        if (own)
            child->setCursor(*own);
        else
            child->unsetCursor();
    }
    coveredCursors_.clear();
    if (pointer_ == Pointer::Custom && hoverCursor_)
        setCursor(*hoverCursor_);
    else
        setCursor(Qt::ArrowCursor);
}

void MainWindow::ShowErrorReport(const QString& description, const QString& tag, int line) {
    ShowErrorReportBox(services_.prompts, this, description, tag, line);
}

StatisticsWindow* MainWindow::statisticsWindow() const { return statistics_.data(); }

void MainWindow::ShowStatistics() {
    if (statistics_.isNull()) statistics_ = new StatisticsWindow(*this, this);
    statistics_->show();
    statistics_->raise();
    statistics_->activateWindow();
}

void MainWindow::ShowAbbreviationsDialog() {
    // Owned by the main window so that it stays above it; modal to the whole program.
    AbbreviationsDialog dialog(services_, settings_, this);
    dialog.RunStartup();
    dialog.exec();
    textBox_->longSentences().Refresh();
}

}  // namespace brintale
