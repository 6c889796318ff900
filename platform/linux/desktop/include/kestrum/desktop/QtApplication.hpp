#pragma once
// The process as a Qt application. Qt's event loop drives the shell's LinuxMainLoop: socket
// notifiers on its wake and timer descriptors dispatch it, so tasks and timers scheduled
// before Qt started keep their order.
#include <QPointer>
#include <memory>
#include <optional>

#include "kestrum/linux/LinuxMainLoop.hpp"
#include "kestrum/ports/Application.hpp"

class QObject;

namespace kestrum::desktop {

class QtApplication final : public Application {
public:
    // Needs the QApplication to exist (ensureQtApplication()).
    explicit QtApplication(std::shared_ptr<LinuxMainLoop> loop);
    ~QtApplication() override;
    QtApplication(const QtApplication&) = delete;
    QtApplication& operator=(const QtApplication&) = delete;

    // Runs Qt's event loop until terminate(); returns at once if termination came earlier.
    void run() override;
    // Windows carry their own presence on Linux (the panel has no taskbar entry); remembered.
    void setActivationPolicy(ActivationPolicy policy) override { policy_ = policy; }
    std::optional<ActivationPolicy> activationPolicy() const { return policy_; }
    // Leaves the event loop with exit code 0: run() returns and the process ends normally.
    void terminate() override;
    // The pointer, converted to bottom-left global coordinates.
    Point mouseLocation() override;

    bool hasTerminated() const { return terminated_; }
    // What the last run of Qt's event loop returned.
    std::optional<int> lastExitCode() const { return exitCode_; }

private:
    void dispatch();

    std::shared_ptr<LinuxMainLoop> loop_;
    std::unique_ptr<QObject> context_;
    std::optional<ActivationPolicy> policy_;
    bool terminated_ = false;
    std::optional<int> exitCode_;
};

}  // namespace kestrum::desktop
