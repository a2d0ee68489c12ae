#pragma once

#include <QWidget>
#include <map>

#include "shell/error_report.h"
#include "shell/seams.h"

class QCheckBox;
class QGroupBox;
class QLineEdit;
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

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    void connectHandlers();

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
