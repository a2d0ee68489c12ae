#pragma once

#include <QString>
#include <QStringList>
#include <map>

class QWidget;

namespace brintale {

// The window skin: a Qt style sheet loaded from a file and applied to a window.
// Every operation is recorded in calls(), so that what start-up did can be checked.
class Skin {
  public:
    // Bit 1 of the option flags: apply the skin to the window's own frame as well.
    static constexpr int kApplyFrameOption = 1 << 1;

    // Reads the style sheet; throws Failure when the file cannot be read.
    void LoadSkin(const QString& path, const QString& section);
    int ApplyOptions() const;
    void SetApplyOptions(int options);
    bool Property(int id) const;
    void SetProperty(int id, bool value);
    // Puts the loaded style sheet on the window and everything on it.
    void ApplyWindow(QWidget* window);

    const QString& styleSheet() const { return styleSheet_; }
    const QStringList& calls() const { return calls_; }

  private:
    QString styleSheet_;
    int options_ = 0;
    std::map<int, bool> properties_;
    mutable QStringList calls_;
};

// The optional skin of the main window: with a skin file <programFolder>/x/o.cjs the
// window and its frames and check boxes turn button-face coloured and the skin is applied;
// without one nothing changes and the skin is not touched.
void ApplySkin(QWidget* window, Skin& skin, const QString& programFolder);

}  // namespace brintale
