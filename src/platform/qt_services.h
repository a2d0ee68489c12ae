#pragma once

#include <memory>

#include "platform/services.h"

namespace brintale {

// The text of a box as it is drawn: every CR LF and every lone CR becomes one line break.
QString DisplayLineBreaks(QString text);

class QtProgress;

// Qt's boxes and dialogs. A progress dialog of `progress` is put away while any of them is
// up, so that it never stands over a question and locks both.
class QtPrompts : public Prompts {
  public:
    explicit QtPrompts(QtProgress* progress = nullptr) : progress_(progress) {}
    void Message(QWidget* parent, const QString& title, const QString& text, Icon icon) override;
    bool AskYesNo(QWidget* parent, const QString& title, const QString& text) override;
    QString InputText(QWidget* parent, const QString& title, const QString& prompt) override;
    QString OpenFileName(QWidget* parent, const QString& title, const QString& filter,
                         const QString& folder) override;
    QString SaveFileName(QWidget* parent, const QString& title, const QString& filter,
                         const QString& folder) override;

  private:
    QtProgress* progress_;
};

// A progress dialog modal to the window, shown once the task has run for half a second and
// only while no other modal box or dialog is up; updated a few times a second at most.
// Cancel, Escape and closing it stop a cancellable task; one that cannot stop safely has no
// Cancel and waits for its task, which closes it at its end.
class QtProgress : public Progress {
  public:
    QtProgress();
    ~QtProgress() override;
    void Start(QWidget* parent, const QString& label, int steps, bool cancellable) override;
    void Advance(int done) override;
    bool Cancelled() const override;
    void Finish() override;

    // While held (a box or dialog is up), the dialog is hidden and stays so.
    void Hold();
    void Unhold();
    // The dialog as it is shown, or null while it is not.
    QWidget* dialog() const;

  private:
    struct Task;
    std::unique_ptr<Task> task_;
    int held_ = 0;
};

class QtDesktop : public Desktop {
  public:
    bool OpenUrl(const QUrl& url) override;
};

// The application's clipboard (QGuiApplication::clipboard()).
class QtClipboard : public Clipboard {
  public:
    bool TryClear() override;
    bool TrySetText(const QString& text, int format) override;
};

// Seeded once from the seconds since midnight.
class TimeSeededRandom : public RandomSource {
  public:
    TimeSeededRandom();
    double Draw() override;

  private:
    quint32 seed_;
    bool seeded_ = false;
};

// The services of the running program.
class ProductionServices {
  public:
    ProductionServices();
    ~ProductionServices();
    Services& services() { return *services_; }

  private:
    QtProgress progress_;
    QtPrompts prompts_{&progress_};
    QtDesktop desktop_;
    std::unique_ptr<SpreadsheetProvider> spreadsheets_;
    TimeSeededRandom random_;
    QtClipboard clipboard_;
    std::unique_ptr<Services> services_;
};

}  // namespace brintale
