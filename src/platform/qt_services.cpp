#include "platform/qt_services.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressDialog>
#include <QRandomGenerator>
#include <QTime>
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

void QtPrompts::Message(QWidget* parent, const QString& title, const QString& text, Icon icon) {
    QMessageBox box(icon == Icon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon, title,
                    DisplayLineBreaks(text), QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool QtPrompts::AskYesNo(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setTextFormat(Qt::PlainText);  // a file name is shown as typed, never as markup
    return box.exec() == QMessageBox::Yes;
}

QString QtPrompts::InputText(QWidget* parent, const QString& title, const QString& prompt) {
    bool ok = false;
    const QString answer =
        QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, QString(), &ok);
    return ok ? answer : QString();
}

QString QtPrompts::OpenFileName(QWidget* parent, const QString& title, const QString& filter,
                                const QString& folder) {
    return QFileDialog::getOpenFileName(parent, title, folder, QtFileFilter(filter));
}

QString QtPrompts::SaveFileName(QWidget* parent, const QString& title, const QString& filter,
                                const QString& folder) {
    return QFileDialog::getSaveFileName(parent, title, folder, QtFileFilter(filter), nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

namespace {

// Nobody can close it halfway: the task it shows cannot be cancelled.
class UnclosableProgressDialog : public QProgressDialog {
  public:
    using QProgressDialog::QProgressDialog;

  protected:
    void closeEvent(QCloseEvent* event) override { event->ignore(); }
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Escape) return;
        QProgressDialog::keyPressEvent(event);
    }
};

constexpr int kProgressUpdateMs = 100;

}  // namespace

struct QtProgress::Shown {
    UnclosableProgressDialog dialog;
    QElapsedTimer sinceUpdate;
    Shown(QWidget* parent, const QString& label, int steps)
        : dialog(label, QString(), 0, std::max(steps, 1), parent) {}
};

QtProgress::QtProgress() = default;
QtProgress::~QtProgress() = default;

void QtProgress::Start(QWidget* parent, const QString& label, int steps) {
    shown_ = std::make_unique<Shown>(parent, label, steps);
    QProgressDialog& dialog = shown_->dialog;
    dialog.setWindowTitle(ApplicationTitle());
    dialog.setCancelButton(nullptr);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumDuration(500);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    dialog.setValue(0);  // starts the half second
    shown_->sinceUpdate.start();
}

void QtProgress::Advance(int done) {
    if (!shown_ || shown_->sinceUpdate.elapsed() < kProgressUpdateMs) return;
    shown_->dialog.setValue(std::min(done, shown_->dialog.maximum()));
    shown_->sinceUpdate.start();
}

void QtProgress::Finish() { shown_.reset(); }

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
