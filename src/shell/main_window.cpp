#include "shell/main_window.h"

#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>

#include "abbreviations/abbreviation_window.h"
#include "counting/counting_command.h"
#include "help/help_command.h"
#include "input/load_commands.h"
#include "results/results_commands.h"
#include "results/results_model.h"
#include "results/spreadsheet_export.h"
#include "results/text_export.h"
#include "shell/settings_store.h"
#include "shell/text_box.h"

namespace brintale {

namespace {

// 15 twips to a pixel at 96 dpi.
QRect Twips(int left, int top, int width, int height) {
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

struct ButtonPlace {
    int number;
    const char* caption;
    QRect geometry;
};

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

}  // namespace

Form1::Form1(Services& services, SettingsStore& settings, QWidget* parent)
    : QWidget(parent), services_(services), settings_(settings) {
    buildControls();
    connectHandlers();
}

Form1::~Form1() = default;

void Form1::buildControls() {
    setFixedSize(Twips(0, 0, 8040, 9105).size());

    text1_ = new TextBox(this);
    text1_->setGeometry(Twips(120, 120, 7800, 2220));

    for (const ButtonPlace& place : kButtons) {
        auto* button = new QPushButton(QString::fromLatin1(place.caption), this);
        button->setGeometry(place.geometry);
        buttons_[place.number] = button;
    }

    frame1_ = new QGroupBox(QStringLiteral("Characters That Separate Sentences"), this);
    frame1_->setGeometry(Twips(120, 3405, 7800, 1560));
    text2_ = new QLineEdit(QStringLiteral("Text2"), frame1_);
    text2_->setGeometry(Twips(360, 300, 1860, 345));
    check3_ = new QCheckBox(QStringLiteral("Enter"), frame1_);
    check3_->setGeometry(Twips(360, 750, 915, 285));
    check3_->setCheckState(Qt::Checked);
    check4_ = new QCheckBox(QStringLiteral("Tab"), frame1_);
    check4_->setGeometry(Twips(360, 1100, 735, 285));
    check4_->setCheckState(Qt::Checked);

    results_ = new ResultsModel(this);
    listView1_ = new QTreeView(this);
    listView1_->setGeometry(Twips(120, 6090, 7800, 1905));
    listView1_->setRootIsDecorated(false);
    listView1_->setUniformRowHeights(true);
    listView1_->setModel(results_);
    listView1_->installEventFilter(this);
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
    connect(listView1_, &QTreeView::doubleClicked, this,
            [this] { form1::ListView1_DblClick(*this); });
    connect(text1_, &TextBox::filesDropped, this,
            [this](const QStringList& paths) { form1::Text1_FilesDropped(*this, paths); });
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == listView1_ && event->type() == QEvent::KeyPress) {
        if (form1::ListView1_KeyDown(*this, static_cast<QKeyEvent*>(event)->key())) return true;
    }
    return QWidget::eventFilter(watched, event);
}

QPushButton* Form1::pushButton(int number) const {
    const auto it = buttons_.find(number);
    return it == buttons_.end() ? nullptr : it->second;
}

void Form1::Form_Load() {
    setWindowTitle(QStringLiteral("Brintale Software"));
    results_->SetColumnCaption(kInitialResultsCaption);
    text2_->setText(settings_.Read(kKeyEnding, kDefaultEnding));
}

void Form1::SetPointer(Pointer pointer) {
    pointer_ = pointer;
    setCursor(pointer == Pointer::Hourglass ? Qt::WaitCursor : Qt::ArrowCursor);
}

void Form1::ShowErrorReport(const QString& description, const QString& tag, int line) {
    services_.prompts.Message(this, kErrorReportTitle, ErrorReportText(description, tag, line),
                              Prompts::Icon::Warning);
}

}  // namespace brintale
