// One QApplication for the whole test executable, made the way the shell makes it.
#include <gtest/gtest.h>

#include "kestrum/desktop/DesktopShell.hpp"

namespace {

class QtTestEnvironment : public ::testing::Environment {
public:
    void SetUp() override { kestrum::desktop::ensureQtApplication(); }
};

[[maybe_unused]] const auto* const environment = ::testing::AddGlobalTestEnvironment(new QtTestEnvironment);

}  // namespace
