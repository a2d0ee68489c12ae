#include "shell/skin.h"

#include <QFile>
#include <QFileInfo>
#include <QWidget>

#include "shell/failure.h"
#include "shell/file_exists.h"
#include "shell/shared_procedures.h"

namespace brintale {

void SkinFramework::LoadSkin(const QString& path, const QString& section) {
    calls_ << QStringLiteral("LoadSkin(%1, \"%2\")").arg(path, section);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) throw Failure(file.errorString());
    styleSheet_ = QString::fromUtf8(file.readAll());
}

int SkinFramework::ApplyOptions() const {
    calls_ << QStringLiteral("ApplyOptions");
    return options_;
}

void SkinFramework::SetApplyOptions(int options) {
    calls_ << QStringLiteral("SetApplyOptions(%1)").arg(options);
    options_ = options;
}

bool SkinFramework::Property(int id) const {
    const auto it = properties_.find(id);
    return it != properties_.end() && it->second;
}

void SkinFramework::SetProperty(int id, bool value) {
    calls_ << QStringLiteral("SetProperty(%1, %2)")
                  .arg(id)
                  .arg(value ? QStringLiteral("true") : QStringLiteral("false"));
    properties_[id] = value;
}

void SkinFramework::ApplyWindow(QWidget* window) {
    calls_ << QStringLiteral("ApplyWindow");
    window->setStyleSheet(styleSheet_);
}

void ApplySkin(QWidget* window, SkinFramework& skin, const QString& programFolder) {
    const QString path = programFolder + QStringLiteral("/x/o.cjs");
    // Hidden files do not count as a skin.
    if (!FileExists(path) || QFileInfo(path).isHidden()) return;
    ApplyButtonFaceBackground(window);
    skin.LoadSkin(path, QString());
    skin.SetApplyOptions(skin.ApplyOptions() | SkinFramework::kApplyFrameOption);
    skin.SetProperty(5, true);
    skin.SetProperty(10, true);
    skin.ApplyWindow(window);
}

}  // namespace brintale
