#pragma once

#include <QCursor>
#include <QPointer>
#include <QWidget>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "commands/main_form.h"
#include "commands/session.h"
#include "widgets/skin.h"

class QCheckBox;
class QGroupBox;
class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QScrollArea;
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
    // The controls sit on this, at their designed places; the scroll area shows it whole
    // where the window is large enough, and scrolls it where the screen is too small.
    QScrollArea* scrollArea() const { return scrollArea_; }
    QWidget* content() const { return content_; }
    // Invisible, for screen readers: says the total once a count is done.
    QLabel* statusLabel() const { return statusLabel_; }

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
    Session& session() const override { return *session_; }
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
    // "Highlight Long Sentences", checkable; Ctrl+H anywhere in the window.
    QAction* highlightLongSentencesAction() const { return highlightAction_; }
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
    void describeControls();
    void addShortcuts();
    // The designed places, grown by the room beyond the designed size: the text box and the
    // list share the extra height and both take the extra width.
    void placeControls(QSize room);
    void showListMenu(const QPoint& at);
    void announceTotal();
    void setFocusOrder();
    void buildListMenu();
    void connectHandlers();
    void watchPointer();
    void showPointer();
    bool isButton(QObject* object) const;
    // Whether a mouse move that reached receiver came from a control inside it.
    bool isControlMove(QWidget* receiver, QPoint at) const;

    Skin skin_;
    std::optional<QCursor> hoverCursor_;
    // Children's own pointers, put back when the hourglass goes.
    std::vector<std::pair<QPointer<QWidget>, std::optional<QCursor>>> coveredCursors_;
    QMenu* listMenu_ = nullptr;
    QAction* checkAllAction_ = nullptr;
    QAction* uncheckAllAction_ = nullptr;
    QAction* statisticsAction_ = nullptr;
    QAction* tickLongSentencesAction_ = nullptr;
    QAction* highlightAction_ = nullptr;
    QPointer<StatisticsWindow> statistics_;

    Services& services_;
    SettingsStore& settings_;
    Session* session_ = new Session(this);
    Pointer pointer_ = Pointer::Default;

    QScrollArea* scrollArea_ = nullptr;
    QWidget* content_ = nullptr;
    QLabel* statusLabel_ = nullptr;
    int columnGrowth_ = 0;  // width the results column got from a wider window

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
