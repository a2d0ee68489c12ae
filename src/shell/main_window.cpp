#include "shell/main_window.h"

#include <QAction>
#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTreeView>

#include "abbreviations/abbreviation_window.h"
#include "counting/counting_command.h"
#include "help/help_command.h"
#include "input/load_commands.h"
#include "results/results_commands.h"
#include "results/results_model.h"
#include "results/spreadsheet_export.h"
#include "results/text_export.h"
#include "shell/failure.h"
#include "shell/file_exists.h"
#include "shell/settings_store.h"
#include "shell/shared_procedures.h"
#include "shell/text_box.h"

namespace brintale {

namespace {

const QSize kClientSize(Px(8040), Px(9105));
const int kResultsColumnWidth = Px(7000);

const QString kListToolTip = QStringLiteral(
    "Double-click item to remove it. Move | line to right and out of window to reveal full "
    "names.");

// Push buttons in twips: left, top, width, height.
const ButtonPlace kButtons[] = {
    {1, "Load Text From Text File", Twips(120, 2440, 3840, 400)},
    {7, "Clear List", Twips(4080, 2445, 3840, 405)},
    {6, "Help", Twips(120, 2940, 3840, 405)},
    {8, "Load Sample/Example Text", Twips(4080, 2940, 3840, 405)},
    {4, "List Of Abbreviations To Ignore (Such as etc.)", Twips(120, 5085, 7800, 405)},
    {17, "Start Counting", Twips(120, 5590, 7800, 405)},
    {5, "Save Results As Text File", Twips(120, 8080, 3840, 405)},
    {2, "Save Results As Excel File", Twips(4080, 8080, 3840, 405)},
    {3, "Copy Results To Clipboard", Twips(120, 8590, 3840, 405)},
    {9, "Clear Results", Twips(4080, 8590, 3840, 405)},
};

// The other controls; the three inside Frame1 are placed relative to it.
const QRect kText1 = Twips(120, 120, 7800, 2220);
const QRect kFrame1 = Twips(120, 3405, 7800, 1560);
const QRect kText2 = Twips(360, 300, 1860, 345);
const QRect kCheck3 = Twips(360, 750, 915, 285);
const QRect kCheck4 = Twips(360, 1100, 735, 285);
const QRect kListView1 = Twips(120, 6090, 7800, 1905);

void PaintWhite(QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, Qt::white);
    widget->setPalette(palette);
    // Check boxes fill with the button colour unless told to use the window's.
    widget->setBackgroundRole(QPalette::Window);
    widget->setAutoFillBackground(true);
}

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

}  // namespace

Form1::Form1(Services& services, SettingsStore& settings, QWidget* parent)
    : QWidget(parent), services_(services), settings_(settings) {
    buildControls();
    setFocusOrder();
    buildListMenu();
    connectHandlers();
    watchPointer();
}

Form1::~Form1() = default;

void Form1::buildControls() {
    // Fixed single border with a minimise button and no maximise button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(kClientSize);
    setFont(ArialBold(9));
    PaintWhite(this);

    text1_ = new TextBox(this);
    text1_->setGeometry(kText1);

    const QFont buttonFont = ArialBold(11.25);
    for (const ButtonPlace& place : kButtons) {
        auto* button = new QPushButton(QString::fromLatin1(place.caption), this);
        button->setGeometry(place.geometry);
        button->setFont(buttonFont);
        button->setAutoDefault(false);
        buttons_[place.number] = button;
    }

    frame1_ = new QGroupBox(QStringLiteral("Characters That Separate Sentences"), this);
    frame1_->setGeometry(kFrame1);
    PaintWhite(frame1_);
    text2_ = new QLineEdit(QStringLiteral("Text2"), frame1_);
    text2_->setGeometry(kText2);
    check3_ = new QCheckBox(QStringLiteral("Enter"), frame1_);
    check3_->setGeometry(kCheck3);
    check3_->setCheckState(Qt::Checked);
    PaintWhite(check3_);
    check4_ = new QCheckBox(QStringLiteral("Tab"), frame1_);
    check4_->setGeometry(kCheck4);
    check4_->setCheckState(Qt::Checked);
    PaintWhite(check4_);

    results_ = new ResultsModel(this);
    listView1_ = new QTreeView(this);
    listView1_->setGeometry(kListView1);
    listView1_->setToolTip(kListToolTip);
    listView1_->setRootIsDecorated(false);
    listView1_->setItemsExpandable(false);
    listView1_->setUniformRowHeights(true);
    listView1_->setSortingEnabled(false);
    listView1_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    listView1_->setSelectionMode(QAbstractItemView::SingleSelection);
    listView1_->setSelectionBehavior(QAbstractItemView::SelectRows);
    listView1_->setModel(results_);
    QHeaderView* header = listView1_->header();
    header->setSectionsClickable(false);
    header->setSectionsMovable(false);
    header->setStretchLastSection(false);
    header->setSectionResizeMode(QHeaderView::Interactive);
    listView1_->installEventFilter(this);

    text1_->setFocus();
}

void Form1::setFocusOrder() {
    const QWidget* order[] = {text1_,         buttons_.at(1), buttons_.at(7), text2_,
                              check3_,        check4_,        buttons_.at(4), buttons_.at(17),
                              listView1_,     buttons_.at(5), buttons_.at(2), buttons_.at(3),
                              buttons_.at(9), frame1_,        buttons_.at(6), buttons_.at(8)};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(const_cast<QWidget*>(order[i]), const_cast<QWidget*>(order[i + 1]));
}

void Form1::buildListMenu() {
    // Ticking a thousand rows one by one is no way to pick them for the copy or the export.
    listMenu_ = new QMenu(listView1_);
    checkAllAction_ = listMenu_->addAction(QStringLiteral("Check All"));
    uncheckAllAction_ = listMenu_->addAction(QStringLiteral("Uncheck All"));
    connect(checkAllAction_, &QAction::triggered, this, [this] {
        if (!IsBusy()) results_->SetAllCheckMarks(true);
    });
    connect(uncheckAllAction_, &QAction::triggered, this, [this] {
        if (!IsBusy()) results_->SetAllCheckMarks(false);
    });
    listView1_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(listView1_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const bool usable = !IsBusy() && results_->RowCount() > 0;
        checkAllAction_->setEnabled(usable);
        uncheckAllAction_->setEnabled(usable);
        listMenu_->popup(listView1_->viewport()->mapToGlobal(at));
    });
}

void Form1::connectHandlers() {
    const auto on = [this](int number, void (*handler)(Form1&)) {
        connect(buttons_.at(number), &QPushButton::clicked, this,
                [this, handler] { handler(*this); });
    };
    on(1, form1::PushButton1_Click);
    on(2, form1::PushButton2_Click);
    on(3, form1::PushButton3_Click);
    on(4, form1::PushButton4_Click);
    on(5, form1::PushButton5_Click);
    on(6, form1::PushButton6_Click);
    on(7, form1::PushButton7_Click);
    on(8, form1::PushButton8_Click);
    on(9, form1::PushButton9_Click);
    on(17, form1::PushButton17_Click);

    connect(text2_, &QLineEdit::textChanged, this, [this] { form1::Text2_Change(*this); });
    connect(check3_, &QCheckBox::stateChanged, this, [this] { form1::Check3_Click(*this); });
    connect(check4_, &QCheckBox::stateChanged, this, [this] { form1::Check4_Click(*this); });
    // A restored grey box goes back to two states once the user has clicked it.
    for (QCheckBox* box : {check3_, check4_}) {
        connect(box, &QCheckBox::clicked, box, [box] {
            if (box->checkState() != Qt::PartiallyChecked) box->setTristate(false);
        });
    }
    connect(listView1_, &QTreeView::doubleClicked, this,
            [this] { form1::ListView1_DblClick(*this); });
    connect(text1_, &TextBox::filesDropped, this,
            [this](const QStringList& paths) { form1::Text1_FilesDropped(*this, paths); });
}

void Form1::watchPointer() {
    // Mouse moves without a pressed button reach every control, as the pointer rule needs.
    setMouseTracking(true);
    const QList<QWidget*> children = findChildren<QWidget*>();
    for (QWidget* child : children) {
        child->setMouseTracking(true);
        child->installEventFilter(this);
    }
}

bool Form1::isButton(QObject* object) const {
    for (; object != nullptr && object != this; object = object->parent()) {
        for (const auto& [number, button] : buttons_)
            if (object == button) return true;
    }
    return false;
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::Enter:
        case QEvent::MouseMove:
            if (isButton(watched))
                PointerOverButton();
            else
                PointerOverControl();
            break;
        case QEvent::KeyPress:
            if (watched == listView1_ &&
                form1::ListView1_KeyDown(*this, static_cast<QKeyEvent*>(event)->key()))
                return true;
            break;
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::mouseMoveEvent(QMouseEvent* event) {
    // Moves that a button ignores come up here too; only the background itself is the arrow's.
    if (childAt(event->position().toPoint()) == nullptr) PointerOverControl();
    QWidget::mouseMoveEvent(event);
}

QPushButton* Form1::pushButton(int number) const {
    const auto it = buttons_.find(number);
    return it == buttons_.end() ? nullptr : it->second;
}

void Form1::Form_Load() {
    ErrorTrap trap(*this, QStringLiteral("Form1.Form_Load"));
    const QString folder = services_.programFolder;
    trap(100, [&] { ApplySkin(this, skinFramework1_, folder); });
    trap(104, [&] {
        setWindowTitle(kProductName);
        setWindowIcon(ApplicationIcon());
        SetApplicationTitle();
    });
    const QString cursorPath = folder + QStringLiteral("/HAND-M.CUR");
    if (trap.test(106, [&] { return FileExists(cursorPath); }))
        trap(108, [&] { hoverCursor_ = ReadCursorFile(cursorPath); });
    trap(110, [&] { MaybeOpenHomePage(services_.random, services_.desktop); });
    trap(128, [&] { results_->SetColumnCaption(kInitialResultsCaption); });
    trap(130, [&] { listView1_->header()->resizeSection(0, kResultsColumnWidth); });
    trap(132, [&] { text2_->setText(settings_.Read(kKeyEnding, kDefaultEnding)); });
    trap(134,
         [&] { check3_->setCheckState(CheckValue(settings_.Read(kKeyEnter, kDefaultEnter))); });
    trap(136, [&] { check4_->setCheckState(CheckValue(settings_.Read(kKeyTab, kDefaultTab))); });
}

void Form1::SetPointer(Pointer pointer) {
    if (pointer == pointer_) return;
    pointer_ = pointer;
    showPointer();
}

void Form1::PointerOverButton() {
    if (!IsBusy()) SetPointer(Pointer::Custom);
}

void Form1::PointerOverControl() {
    if (!IsBusy()) SetPointer(Pointer::Default);
}

void Form1::showPointer() {
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

void Form1::ShowErrorReport(const QString& description, const QString& tag, int line) {
    services_.prompts.Message(this, kErrorReportTitle, ErrorReportText(description, tag, line),
                              Prompts::Icon::Warning);
}

void Form1::StoreOption(const QString& key, const QString& value) {
    try {
        settings_.Write(key, value);
        optionStoreFailing_ = false;
    } catch (const std::exception&) {
        if (optionStoreFailing_) return;
        optionStoreFailing_ = true;
        services_.prompts.Message(
            this, ApplicationTitle(),
            DescribeFailure(std::current_exception()) +
                QStringLiteral("\r\n\r\nThe option stays in effect until the program closes "
                               "and is saved again when it next changes."),
            Prompts::Icon::Warning);
    }
}

void Form1::CenterOnScreen() {
    QScreen* screen = this->screen() != nullptr ? this->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

}  // namespace brintale
