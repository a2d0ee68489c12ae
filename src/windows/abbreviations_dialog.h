#pragma once

#include <QCursor>
#include <QDialog>
#include <map>
#include <optional>

#include "commands/abbreviations.h"

class QPushButton;
class QTreeWidget;

namespace brintale {

class SettingsStore;
struct Services;

enum class AbbreviationsButton { Add, DeleteSelected, ClearList, Close };

// "Ignore These Abbreviations": edits the stored abbreviation list. Every change and every
// close, however the window was closed, store what this window changed.
class AbbreviationsDialog : public QDialog, public AbbreviationsForm {
    Q_OBJECT

  public:
    AbbreviationsDialog(Services& services, SettingsStore& settings, QWidget* parent = nullptr);
    ~AbbreviationsDialog() override;

    // The numbered start-up: the look, then the list from the store or the built-in entries.
    void RunStartup();

    QPushButton* button(AbbreviationsButton which) const;
    // The hand over the buttons, once loaded from the program folder.
    const std::optional<QCursor>& hoverCursor() const { return hoverCursor_; }
    QStringList Entries() const;

    // AbbreviationsForm
    QWidget* widget() override { return this; }
    QTreeWidget* list() const override { return list_; }
    Services& services() const override { return services_; }
    SettingsStore& settings() const override { return settings_; }
    void CloseWindow() override { close(); }
    void ShowErrorReport(const QString& description, const QString& tag, int line) override;

    // Every way of closing (button, close box, Escape) ends here.
    void done(int result) override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void buildControls();

    Services& services_;
    SettingsStore& settings_;
    QTreeWidget* list_ = nullptr;
    std::map<AbbreviationsButton, QPushButton*> buttons_;
    std::optional<QCursor> hoverCursor_;
};

}  // namespace brintale
