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

// Fontconfig keeps its configuration for the life of the process by design; the leak checker
// of the sanitizer builds is told so (other builds never call this).
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

// Qt is not built with the thread sanitizer: the hand-over between its painting thread pool
// and the main thread happens in code the sanitizer cannot see, so reports whose stacks run
// through Qt's own libraries are not ours to act on.
extern "C" const char* __tsan_default_suppressions();
extern "C" const char* __tsan_default_suppressions() {
    return "race:libQt6Core.so\nrace:libQt6Gui.so\nrace:libQt6Widgets.so\n";
}
