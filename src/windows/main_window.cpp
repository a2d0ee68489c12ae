#include "windows/main_window.h"

#include <QAction>
#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTreeView>

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
#include "core/failure.h"
#include "core/file_exists.h"
#include "core/procedure_tags.h"
#include "core/product.h"
#include "core/results_model.h"
#include "core/settings_store.h"
#include "platform/data_files.h"
#include "platform/services.h"
#include "widgets/cursor_file.h"
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

struct MainButtonPlace {
    MainButton id;
    const char* objectName;
    const char* caption;
    QRect geometry;  // in twips: left, top, width, height
    void (*command)(MainForm&);
};

const MainButtonPlace kButtons[] = {
    {MainButton::LoadTextFromFile, "loadTextFromFileButton", "Load Text From Text File",
     Twips(120, 2440, 3840, 400), LoadTextFromFile},
    {MainButton::ClearText, "clearTextButton", "Clear List", Twips(4080, 2445, 3840, 405),
     ClearText},
    {MainButton::Help, "helpButton", "Help", Twips(120, 2940, 3840, 405), ShowHelp},
    {MainButton::LoadSampleText, "loadSampleTextButton", "Load Sample/Example Text",
     Twips(4080, 2940, 3840, 405), LoadSampleText},
    {MainButton::Abbreviations, "abbreviationsButton",
     "List Of Abbreviations To Ignore (Such as etc.)", Twips(120, 5085, 7800, 405),
     OpenAbbreviations},
    {MainButton::StartCounting, "startCountingButton", "Start Counting",
     Twips(120, 5590, 7800, 405), StartCounting},
    {MainButton::SaveResultsAsTextFile, "saveResultsAsTextFileButton", "Save Results As Text File",
     Twips(120, 8080, 3840, 405), SaveResultsAsTextFile},
    {MainButton::SaveResultsAsSpreadsheet, "saveResultsAsSpreadsheetButton",
     "Save Results As Excel File", Twips(4080, 8080, 3840, 405), SaveResultsAsSpreadsheet},
    {MainButton::CopyResultsToClipboard, "copyResultsToClipboardButton",
     "Copy Results To Clipboard", Twips(120, 8590, 3840, 405), CopyResultsToClipboard},
    {MainButton::ClearResults, "clearResultsButton", "Clear Results", Twips(4080, 8590, 3840, 405),
     ClearResults},
};

// The other controls; the three inside the separators group are placed relative to it.
const QRect kTextBox = Twips(120, 120, 7800, 2220);
const QRect kSeparatorsGroup = Twips(120, 3405, 7800, 1560);
const QRect kSeparatorsEdit = Twips(360, 300, 1860, 345);
const QRect kLineBreakEnds = Twips(360, 750, 915, 285);
const QRect kTabEnds = Twips(360, 1100, 735, 285);
const QRect kResultsView = Twips(120, 6090, 7800, 1905);

void PaintWhite(QWidget* widget) { PaintBackground(widget, Qt::white); }

// A stored check-box value: a 16-bit integer that must be 0, 1 or 2.
Qt::CheckState CheckValue(const QString& stored) {
    bool ok = false;
    const short value = stored.trimmed().toShort(&ok);
    if (!ok) throw Failure(QStringLiteral("Type mismatch"));
    switch (value) {
        case 0:
            return Qt::Unchecked;
        case 1:
            return Qt::Checked;
        case 2:
            return Qt::PartiallyChecked;
        default:
            throw Failure(QStringLiteral("Invalid property value"));
    }
}

QString TickLongCaption(const SettingsStore& settings) {
    return QStringLiteral("Tick Sentences Longer Than %1 Words")
        .arg(ReadLongSentenceWords(settings));
}

}  // namespace

MainWindow::MainWindow(Services& services, SettingsStore& settings, QWidget* parent)
    : QWidget(parent), services_(services), settings_(settings) {
    buildControls();
    setFocusOrder();
    buildListMenu();
    connectHandlers();
    watchPointer();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildControls() {
    setObjectName(QStringLiteral("mainWindow"));
    // Fixed single border with a minimise button and no maximise button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(kClientSize);
    setFont(ArialBold(9));
    PaintWhite(this);

    textBox_ = new TextBox(this);
    textBox_->setObjectName(QStringLiteral("textBox"));
    textBox_->setGeometry(kTextBox);

    const QFont buttonFont = ArialBold(11.25);
    for (const MainButtonPlace& place : kButtons) {
        auto* button = new QPushButton(QString::fromLatin1(place.caption), this);
        button->setObjectName(QString::fromLatin1(place.objectName));
        button->setGeometry(place.geometry);
        button->setFont(buttonFont);
        button->setAutoDefault(false);
        buttons_[place.id] = button;
    }

    separatorsGroup_ = new QGroupBox(QStringLiteral("Characters That Separate Sentences"), this);
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
    resultsView_ = new QTreeView(this);
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

    textBox_->setFocus();
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
    resultsView_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(resultsView_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const bool usable = !IsBusy() && results_->Count() > 0;
        checkAllAction_->setEnabled(usable);
        uncheckAllAction_->setEnabled(usable);
        tickLongSentencesAction_->setEnabled(usable);
        tickLongSentencesAction_->setText(TickLongCaption(settings_));
        listMenu_->popup(resultsView_->viewport()->mapToGlobal(at));
    });
}

void MainWindow::connectHandlers() {
    for (const MainButtonPlace& place : kButtons) {
        connect(buttons_.at(place.id), &QPushButton::clicked, this,
                [this, command = place.command] { command(*this); });
    }

    connect(separatorsEdit_, &QLineEdit::textChanged, this, [this] { StoreSeparators(*this); });
    connect(lineBreakEnds_, &QCheckBox::stateChanged, this,
            [this] { StoreLineBreakOption(*this); });
    connect(tabEnds_, &QCheckBox::stateChanged, this, [this] { StoreTabOption(*this); });
    // A restored grey box goes back to two states once the user has clicked it.
    for (QCheckBox* box : {lineBreakEnds_, tabEnds_}) {
        connect(box, &QCheckBox::clicked, box, [box] {
            if (box->checkState() != Qt::PartiallyChecked) box->setTristate(false);
        });
    }
    connect(resultsView_, &QTreeView::doubleClicked, this, [this] { RemoveSelectedResult(*this); });
    // A click makes the row current before it selects it; the keys select the current row.
    connect(resultsView_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { ShowSentenceInText(*this); });
    connect(resultsView_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { ShowSentenceInText(*this); });
    // The rows' stretches no longer match; a count makes them match again.
    connect(textBox_, &TextBox::textChanged, this, [this] { lastCount.changedSince = true; });
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

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::Enter:
        case QEvent::MouseMove:
            if (isButton(watched))
                PointerOverButton();
            else
                PointerOverControl();
            break;
        case QEvent::KeyPress:
            if (watched == resultsView_ &&
                HandleResultsKey(*this, static_cast<QKeyEvent*>(event)->key()))
                return true;
            break;
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
    // Moves that a button ignores come up here too; only the background itself is the arrow's.
    if (childAt(event->position().toPoint()) == nullptr) PointerOverControl();
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
        SetApplicationTitle();
        QGuiApplication::setApplicationDisplayName(ApplicationTitle());
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
}

}  // namespace brintale
