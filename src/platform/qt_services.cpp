#include "platform/qt_services.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTime>
#include <QVBoxLayout>
#include <algorithm>

#include "core/product.h"
#include "platform/clipboard.h"
#include "platform/xlsx_spreadsheet.h"

namespace brintale {

QString DisplayLineBreaks(QString text) {
    // CR LF is one break; a lone CR is a break of its own, so "\r\r" shows an empty line.
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QChar(u'\r'), QChar(u'\n'));
    return text;
}

namespace {

// The progress dialog stays hidden from before a box shows until after it has gone.
class HeldProgress {
  public:
    explicit HeldProgress(QtProgress* progress) : progress_(progress) {
        if (progress_) progress_->Hold();
    }
    ~HeldProgress() {
        if (progress_) progress_->Unhold();
    }
    HeldProgress(const HeldProgress&) = delete;
    HeldProgress& operator=(const HeldProgress&) = delete;

  private:
    QtProgress* progress_;
};

}  // namespace

void QtPrompts::Message(QWidget* parent, const QString& title, const QString& text, Icon icon) {
    const HeldProgress held(progress_);
    QMessageBox box(icon == Icon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon, title,
                    DisplayLineBreaks(text), QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool QtPrompts::AskYesNo(QWidget* parent, const QString& title, const QString& text) {
    const HeldProgress held(progress_);
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setTextFormat(Qt::PlainText);  // a file name is shown as typed, never as markup
    return box.exec() == QMessageBox::Yes;
}

QString QtPrompts::InputText(QWidget* parent, const QString& title, const QString& prompt) {
    const HeldProgress held(progress_);
    bool ok = false;
    const QString answer =
        QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, QString(), &ok);
    return ok ? answer : QString();
}

QString QtPrompts::OpenFileName(QWidget* parent, const QString& title, const QString& filter,
                                const QString& folder) {
    const HeldProgress held(progress_);
    return QFileDialog::getOpenFileName(parent, title, folder, QtFileFilter(filter));
}

QString QtPrompts::SaveFileName(QWidget* parent, const QString& title, const QString& filter,
                                const QString& folder) {
    const HeldProgress held(progress_);
    return QFileDialog::getSaveFileName(parent, title, folder, QtFileFilter(filter), nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

namespace {

constexpr int kProgressDelayMs = 500;
constexpr int kProgressUpdateMs = 100;

// A label, a bar and, for a task that can stop, Cancel. Escape and the close button count as
// Cancel there; elsewhere they do nothing, since the task closes the dialog itself.
class ProgressDialog : public QDialog {
  public:
    ProgressDialog(QWidget* parent, const QString& label, int steps, bool cancellable)
        : QDialog(parent), cancellable_(cancellable) {
        setWindowTitle(ApplicationTitle());
        setWindowModality(Qt::WindowModal);
        setWindowFlag(Qt::WindowCloseButtonHint, cancellable);
        auto* layout = new QVBoxLayout(this);
        auto* text = new QLabel(label, this);
        text->setTextFormat(Qt::PlainText);
        layout->addWidget(text);
        bar_ = new QProgressBar(this);
        bar_->setRange(0, std::max(steps, 1));
        bar_->setValue(0);
        bar_->setAccessibleName(label);
        text->setBuddy(bar_);
        layout->addWidget(bar_);
        if (cancellable) {
            auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
            cancel_ = buttons->button(QDialogButtonBox::Cancel);
            cancel_->setAccessibleDescription(
                QStringLiteral("Stops the task and leaves no file of it behind"));
            QObject::connect(buttons, &QDialogButtonBox::rejected, this, [this] { reject(); });
            layout->addWidget(buttons);
        }
        setMinimumWidth(fontMetrics().averageCharWidth() * 50);
    }

    void SetValue(int value) { bar_->setValue(std::clamp(value, 0, bar_->maximum())); }
    bool cancelled() const { return cancelled_; }

    void reject() override {
        if (!cancellable_ || cancelled_) return;
        cancelled_ = true;
        cancel_->setEnabled(false);
        cancel_->setText(QStringLiteral("Cancelling\u2026"));
    }

  protected:
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        reject();
    }

  private:
    bool cancellable_;
    bool cancelled_ = false;
    QProgressBar* bar_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

// Another modal box or dialog is up, which the progress must not cover.
bool OtherModalShown(const QWidget* mine) {
    const QWidget* modal = QApplication::activeModalWidget();
    return modal && modal != mine;
}

}  // namespace

struct QtProgress::Task {
    QPointer<QWidget> parent;
    QString label;
    int steps = 0;
    bool cancellable = false;
    QElapsedTimer sinceStart;
    QElapsedTimer sinceUpdate;
    QPointer<ProgressDialog> dialog;  // made when first shown; the window may take it along
    ~Task() { delete dialog.data(); }
};

QtProgress::QtProgress() = default;
QtProgress::~QtProgress() = default;

void QtProgress::Start(QWidget* parent, const QString& label, int steps, bool cancellable) {
    task_ = std::make_unique<Task>();
    task_->parent = parent;
    task_->label = label;
    task_->steps = steps;
    task_->cancellable = cancellable;
    task_->sinceStart.start();
}

void QtProgress::Advance(int done) {
    if (!task_) return;
    if (task_->sinceUpdate.isValid() && task_->sinceUpdate.elapsed() < kProgressUpdateMs) return;
    task_->sinceUpdate.start();
    ProgressDialog* dialog = task_->dialog.data();
    if (!dialog || !dialog->isVisible()) {
        // Shown only from here, between steps of the task: never from inside another box's
        // event loop, and never over one.
        if (held_ > 0 || task_->sinceStart.elapsed() < kProgressDelayMs || OtherModalShown(dialog))
            return;
        if (!dialog) {
            dialog =
                new ProgressDialog(task_->parent, task_->label, task_->steps, task_->cancellable);
            task_->dialog = dialog;
        }
        dialog->SetValue(done);
        dialog->show();
        return;
    }
    dialog->SetValue(done);
}

bool QtProgress::Cancelled() const { return task_ && task_->dialog && task_->dialog->cancelled(); }

void QtProgress::Finish() { task_.reset(); }

void QtProgress::Hold() {
    ++held_;
    if (task_ && task_->dialog) task_->dialog->hide();
}

void QtProgress::Unhold() { held_ = std::max(0, held_ - 1); }

QWidget* QtProgress::dialog() const {
    return task_ && task_->dialog && task_->dialog->isVisible() ? task_->dialog.data() : nullptr;
}

namespace {

QString FormatMimeType(int format) {
    return format == kDefaultTextFormat
               ? QStringLiteral("text/plain")
               : QStringLiteral("application/x-brintale-format-%1").arg(format);
}

}  // namespace

bool QtClipboard::TryClear() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) return false;
    clipboard->clear();
    const QMimeData* data = clipboard->mimeData();
    return !data || data->formats().isEmpty();
}

bool QtClipboard::TrySetText(const QString& text, int format) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) return false;
    auto* data = new QMimeData;
    if (format == kDefaultTextFormat)
        data->setText(text);
    else
        data->setData(FormatMimeType(format), text.toUtf8());
    clipboard->setMimeData(data);  // the clipboard owns it now
    // While we own the clipboard it hands back our own data; comparing the pointer avoids
    // reading a text of many megabytes back on every attempt.
    return clipboard->mimeData() == data;
}

bool QtDesktop::OpenUrl(const QUrl& url) { return QDesktopServices::openUrl(url); }

TimeSeededRandom::TimeSeededRandom()
    : seed_(static_cast<quint32>(QTime::currentTime().msecsSinceStartOfDay() / 1000)) {}

double TimeSeededRandom::Draw() {
    static QRandomGenerator generator;
    if (!seeded_) {
        generator.seed(seed_);
        seeded_ = true;
    }
    return generator.generateDouble();
}

ProductionServices::ProductionServices()
    : spreadsheets_(MakeDefaultSpreadsheetProvider(desktop_)),
      services_(std::make_unique<Services>(Services{prompts_, desktop_, *spreadsheets_, random_,
                                                    clipboard_, progress_,
                                                    QCoreApplication::applicationDirPath()})) {}

ProductionServices::~ProductionServices() = default;

}  // namespace brintale
