#pragma once

#include <gtest/gtest.h>

#include <QSettings>
#include <memory>

#include "core/settings_store.h"
#include "testing/fakes.h"
#include "windows/main_window.h"

namespace brintale {

// A main window on fake services and the test's own empty store.
class WindowTest : public ::testing::Test {
  protected:
    MainWindow& Load() {
        form = std::make_unique<MainWindow>(fakes.services, store);
        form->RunStartup();
        return *form;
    }
    QStringList Reports() const { return fakes.prompts.errorReports(); }

    testing::FakeServices fakes;
    SettingsStore store;
    std::unique_ptr<MainWindow> form;
};

// Makes every write of the store fail until destroyed.
class BrokenStore {
  public:
    BrokenStore() { QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, kNowhere); }
    ~BrokenStore() { QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, saved_); }

  private:
    static inline const QString kNowhere = QStringLiteral("/dev/null/brintale");
    // <folder>/Quorvane/Brintale Software.conf
    QString saved_ = QSettings(QSettings::NativeFormat, QSettings::UserScope,
                               QStringLiteral("Quorvane"), QStringLiteral("Brintale Software"))
                         .fileName()
                         .section(QChar(u'/'), 0, -3);
};

}  // namespace brintale
