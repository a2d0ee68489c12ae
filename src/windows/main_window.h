#pragma once

#include <QCursor>
#include <QPointer>
#include <QWidget>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "commands/main_form.h"
#include "widgets/skin.h"

class QCheckBox;
class QGroupBox;
class QAction;
class QLineEdit;
class QMenu;
class QPushButton;
class QTreeView;

namespace brintale {

class StatisticsWindow;

// The ten push buttons of the main window.
enum class MainButton {
    LoadTextFromFile,
    ClearText,
    Help,
    LoadSampleText,
    Abbreviations,
    StartCounting,
    SaveResultsAsTextFile,
    SaveResultsAsSpreadsheet,
    CopyResultsToClipboard,
    ClearResults,
};

// The main window: layout, focus order, pointer rule and the wiring of its commands.
class MainWindow : public QWidget, public MainForm {
    Q_OBJECT

  public:
    MainWindow(Services& services, SettingsStore& settings, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The numbered start-up; runs before the window is shown.
    void RunStartup();

    QGroupBox* separatorsGroup() const { return separatorsGroup_; }
    QPushButton* button(MainButton which) const;

    // MainForm
    QWidget* widget() override { return this; }
    TextBox* textBox() const override { return textBox_; }
    QLineEdit* separatorsEdit() const override { return separatorsEdit_; }
    QCheckBox* lineBreakEnds() const override { return lineBreakEnds_; }
    QCheckBox* tabEnds() const override { return tabEnds_; }
    QTreeView* resultsView() const override { return resultsView_; }
    ResultsModel& results() const override { return *results_; }
    Services& services() const override { return services_; }
    SettingsStore& settings() const override { return settings_; }
    void SetPointer(Pointer pointer) override;
    Pointer pointer() const override { return pointer_; }
    void ShowAbbreviationsDialog() override;
    void ShowErrorReport(const QString& description, const QString& tag, int line) override;

    // The hand over push buttons, loaded at start-up when HAND-M.CUR is there.
    const std::optional<QCursor>& hoverCursor() const { return hoverCursor_; }
    Skin& skin() { return skin_; }
    // The list's context menu and its two commands.
    QMenu* listMenu() const { return listMenu_; }
    QAction* checkAllAction() const { return checkAllAction_; }
    QAction* uncheckAllAction() const { return uncheckAllAction_; }
    QAction* statisticsAction() const { return statisticsAction_; }
    QAction* tickLongSentencesAction() const { return tickLongSentencesAction_; }
    // The one statistics window, made at its first showing; null before.
    StatisticsWindow* statisticsWindow() const;
    void ShowStatistics();

    // The pointer rule: the hand over a push button, the arrow elsewhere, never over the
    // hourglass.
    void PointerOverButton();
    void PointerOverControl();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

  private:
    void buildControls();
    void setFocusOrder();
    void buildListMenu();
    void connectHandlers();
    void watchPointer();
    void showPointer();
    bool isButton(QObject* object) const;

    Skin skin_;
    std::optional<QCursor> hoverCursor_;
    // Children's own pointers, put back when the hourglass goes.
    std::vector<std::pair<QPointer<QWidget>, std::optional<QCursor>>> coveredCursors_;
    QMenu* listMenu_ = nullptr;
    QAction* checkAllAction_ = nullptr;
    QAction* uncheckAllAction_ = nullptr;
    QAction* statisticsAction_ = nullptr;
    QAction* tickLongSentencesAction_ = nullptr;
    QPointer<StatisticsWindow> statistics_;

    Services& services_;
    SettingsStore& settings_;
    Pointer pointer_ = Pointer::Default;

    TextBox* textBox_ = nullptr;
    QLineEdit* separatorsEdit_ = nullptr;
    QCheckBox* lineBreakEnds_ = nullptr;
    QCheckBox* tabEnds_ = nullptr;
    QGroupBox* separatorsGroup_ = nullptr;
    QTreeView* resultsView_ = nullptr;
    ResultsModel* results_ = nullptr;
    std::map<MainButton, QPushButton*> buttons_;
};

}  // namespace brintale
