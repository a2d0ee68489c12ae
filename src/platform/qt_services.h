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
    QString OpenFileName(QWidget* parent, const QString& title, const QString& filter) override;
    QString SaveFileName(QWidget* parent, const QString& title, const QString& filter) override;
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
    std::unique_ptr<Services> services_;
};

}  // namespace brintale
