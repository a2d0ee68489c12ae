#include "widgets/skin.h"

#include <QFile>
#include <QFileInfo>
#include <QWidget>

#include "core/failure.h"
#include "core/file_exists.h"
#include "widgets/look.h"

namespace brintale {

void Skin::LoadSkin(const QString& path, const QString& section) {
    calls_ << QStringLiteral("LoadSkin(%1, \"%2\")").arg(path, section);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) throw Failure(file.errorString());
    styleSheet_ = QString::fromUtf8(file.readAll());
}

int Skin::ApplyOptions() const {
    calls_ << QStringLiteral("ApplyOptions");
    return options_;
}

void Skin::SetApplyOptions(int options) {
    calls_ << QStringLiteral("SetApplyOptions(%1)").arg(options);
    options_ = options;
}

bool Skin::Property(int id) const {
    const auto it = properties_.find(id);
    return it != properties_.end() && it->second;
}

void Skin::SetProperty(int id, bool value) {
    calls_ << QStringLiteral("SetProperty(%1, %2)")
                  .arg(id)
                  .arg(value ? QStringLiteral("true") : QStringLiteral("false"));
    properties_[id] = value;
}

void Skin::ApplyWindow(QWidget* window) {
    calls_ << QStringLiteral("ApplyWindow");
    window->setStyleSheet(styleSheet_);
}

void ApplySkin(QWidget* window, Skin& skin, const QString& programFolder) {
    const QString path = programFolder + QStringLiteral("/x/o.cjs");
    // Hidden files do not count as a skin.
    if (!FileExists(path) || QFileInfo(path).isHidden()) return;
    ApplyButtonFaceBackground(window);
    skin.LoadSkin(path, QString());
    skin.SetApplyOptions(skin.ApplyOptions() | Skin::kApplyFrameOption);
    skin.SetProperty(5, true);
    skin.SetProperty(10, true);
    skin.ApplyWindow(window);
}

}  // namespace brintale
