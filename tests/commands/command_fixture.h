#pragma once

#include <gtest/gtest.h>

#include "core/settings_store.h"
#include "testing/fake_main_form.h"

namespace brintale {

// A command's controls on fake services and the test's own empty store.
class CommandTest : public ::testing::Test {
  protected:
    QStringList Reports() const { return form.Reports(); }

    testing::FakeMainForm form;
    testing::FakeServices& fakes = form.fakes();
    SettingsStore& store = form.settings();
};

}  // namespace brintale
