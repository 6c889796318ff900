#pragma once
// A whole desktop of fakes for flow tests: one screen, a host application in front, and a
// settings application that can be made to run with one window at a chosen frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>

#include "kestrum/Geometry.hpp"
#include "kestrum/KestrumController.hpp"
#include "kestrum/fakes/FakePlatform.hpp"

namespace kestrum {

inline void PrintTo(const Rect& r, std::ostream* os) {
    *os << "(" << r.x() << ", " << r.y() << ", " << r.width() << ", " << r.height() << ")";
}

inline ::testing::AssertionResult rectNear(const Rect& actual, const Rect& expected, double tolerance = 1e-9) {
    const bool near = std::abs(actual.x() - expected.x()) <= tolerance &&
                      std::abs(actual.y() - expected.y()) <= tolerance &&
                      std::abs(actual.width() - expected.width()) <= tolerance &&
                      std::abs(actual.height() - expected.height()) <= tolerance;
    if (near) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << actual.x() << ", " << actual.y() << ", " << actual.width() << ", "
                                         << actual.height() << ") is not (" << expected.x() << ", " << expected.y()
                                         << ", " << expected.width() << ", " << expected.height() << ")";
}

namespace testsupport {

inline constexpr std::int32_t kSettingsPID = 500;
inline constexpr std::int32_t kHostPID = 100;
inline const RunningApplication kSettingsApp{kSettingsPID, std::string("com.apple.systempreferences"),
                                             ActivationPolicy::regular};
inline const RunningApplication kHostApp{kHostPID, std::string("com.example.tazel"), ActivationPolicy::regular};

inline URL appURL(const std::string& path) { return URL::fileURL(path); }

struct Desktop {
    fakes::FakePlatform fake;

    // One screen 1440 x 900 whose usable area leaves 25 points for the menu bar.
    Desktop() {
        fake.windowServer->addScreen(1, Rect{0, 0, 1440, 900}, Rect{0, 0, 1440, 875}, Rect{0, 0, 1440, 900});
        fake.workspace->running.push_back(kHostApp);
        fake.workspace->frontmost = kHostApp;
    }
    // A flow left open by a test would reach into the next one through the active slot.
    ~Desktop() {
        if (auto active = KestrumController::activeController()) active->closePanel(false);
        fake.mainLoop->runPendingTasks();
    }
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;

    // The settings application runs with one window at `frame` (bottom-left coordinates).
    void runSettings(const Rect& frame) {
        auto& running = fake.workspace->running;
        if (std::find(running.begin(), running.end(), kSettingsApp) == running.end()) running.push_back(kSettingsApp);
        moveSettingsWindow(frame);
    }
    // The window server reports windows top-left, 3 points off the exact conversion.
    void moveSettingsWindow(const Rect& frame) {
        const Rect topLeft{frame.x(), 900 - frame.y() - frame.height() - 3, frame.width(), frame.height()};
        fake.windowServer->windowList = LooseValue(LooseList{fakes::windowEntry(kSettingsPID, topLeft)});
    }
    void quitSettings() {
        std::erase(fake.workspace->running, kSettingsApp);
        fake.windowServer->windowList = LooseValue(LooseList{});
    }
    // Lets the tracker poll for `seconds` of virtual time, running everything that results.
    void pollFor(double seconds) {
        fake.mainLoop->advance(seconds);
        fake.mainLoop->runPendingTasks();
    }
    fakes::FakePanelWindow& window(std::size_t index = 0) { return *fake.panelWindows->made.at(index); }

    static std::shared_ptr<KestrumController> makeController(std::vector<URL> required = {},
                                                             std::optional<std::string> locale = std::nullopt) {
        return KestrumController::create(KestrumConfiguration(std::move(required), false, std::move(locale)));
    }
};

}  // namespace testsupport
}  // namespace kestrum
