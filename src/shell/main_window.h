#pragma once

#include <QCursor>
#include <QPointer>
#include <QWidget>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "shell/error_report.h"
#include "shell/seams.h"
#include "shell/skin.h"

class QCheckBox;
class QGroupBox;
class QAction;
class QLineEdit;
class QMenu;
class QPushButton;
class QTreeView;

namespace brintale {

class ResultsModel;
class SettingsStore;
class TextBox;

// The main window. Its commands live with their subsystems as functions of this window.
class Form1 : public QWidget, public ErrorReporter {
    Q_OBJECT

  public:
    enum class Pointer { Default, Hourglass, Custom };

    Form1(Services& services, SettingsStore& settings, QWidget* parent = nullptr);
    ~Form1() override;

    // The numbered start-up; runs before the window is shown.
    void Form_Load();

    TextBox* text1() const { return text1_; }
    QLineEdit* text2() const { return text2_; }
    QCheckBox* check3() const { return check3_; }
    QCheckBox* check4() const { return check4_; }
    QGroupBox* frame1() const { return frame1_; }
    QTreeView* listView1() const { return listView1_; }
    ResultsModel& results() const { return *results_; }
    // PushButton1 to PushButton9 and PushButton17.
    QPushButton* pushButton(int number) const;

    Services& services() const { return services_; }
    SettingsStore& settings() const { return settings_; }

    // The window pointer; the hourglass doubles as the busy flag.
    void SetPointer(Pointer pointer);
    Pointer pointer() const { return pointer_; }
    bool IsBusy() const { return pointer_ == Pointer::Hourglass; }

    void ShowErrorReport(const QString& description, const QString& tag, int line) override;

    // The hand over push buttons, loaded at start-up when HAND-M.CUR is there.
    const std::optional<QCursor>& hoverCursor() const { return hoverCursor_; }
    SkinFramework& skinFramework1() { return skinFramework1_; }
    // The list's context menu and its two commands.
    QMenu* listMenu() const { return listMenu_; }
    QAction* checkAllAction() const { return checkAllAction_; }
    QAction* uncheckAllAction() const { return uncheckAllAction_; }

    // The pointer rule: the hand over a push button, the arrow elsewhere, never over the
    // hourglass.
    void PointerOverButton();
    void PointerOverControl();

    // Stores an option the moment it changes. When the store fails the option stays in the
    // window and the user is told once, until a store succeeds again.
    void StoreOption(const QString& key, const QString& value);

    void CenterOnScreen();

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

    SkinFramework skinFramework1_;
    std::optional<QCursor> hoverCursor_;
    bool optionStoreFailing_ = false;
    // Children's own pointers, put back when the hourglass goes.
    std::vector<std::pair<QPointer<QWidget>, std::optional<QCursor>>> coveredCursors_;
    QMenu* listMenu_ = nullptr;
    QAction* checkAllAction_ = nullptr;
    QAction* uncheckAllAction_ = nullptr;

    Services& services_;
    SettingsStore& settings_;
    Pointer pointer_ = Pointer::Default;

    TextBox* text1_ = nullptr;
    QLineEdit* text2_ = nullptr;
    QCheckBox* check3_ = nullptr;
    QCheckBox* check4_ = nullptr;
    QGroupBox* frame1_ = nullptr;
    QTreeView* listView1_ = nullptr;
    ResultsModel* results_ = nullptr;
    std::map<int, QPushButton*> buttons_;
};

}  // namespace brintale
