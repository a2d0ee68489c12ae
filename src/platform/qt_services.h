#pragma once

#include <memory>

#include "platform/services.h"

namespace brintale {

// The text of a box as it is drawn: every CR LF and every lone CR becomes one line break.
QString DisplayLineBreaks(QString text);

class QtPrompts : public Prompts {
  public:
    void Message(QWidget* parent, const QString& title, const QString& text, Icon icon) override;
    bool AskYesNo(QWidget* parent, const QString& title, const QString& text) override;
    QString InputText(QWidget* parent, const QString& title, const QString& prompt) override;
    QString OpenFileName(QWidget* parent, const QString& title, const QString& filter,
                         const QString& folder) override;
    QString SaveFileName(QWidget* parent, const QString& title, const QString& filter,
                         const QString& folder) override;
};

// A progress dialog modal to the window, without a cancel button, shown once the task has
// run for half a second; updated a few times a second at most, since every update of a
// modal one lets all pending events through.
class QtProgress : public Progress {
  public:
    QtProgress();
    ~QtProgress() override;
    void Start(QWidget* parent, const QString& label, int steps) override;
    void Advance(int done) override;
    void Finish() override;

  private:
    struct Shown;
    std::unique_ptr<Shown> shown_;
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
    QtPrompts prompts_;
    QtDesktop desktop_;
    std::unique_ptr<SpreadsheetProvider> spreadsheets_;
    TimeSeededRandom random_;
    QtClipboard clipboard_;
    QtProgress progress_;
    std::unique_ptr<Services> services_;
};

}  // namespace brintale
