#pragma once
// The process as an application without a GUI: its event loop is the LinuxMainLoop.
#include <memory>
#include <optional>

#include "kestrum/linux/LinuxMainLoop.hpp"
#include "kestrum/ports/Application.hpp"

namespace kestrum {

class LinuxApplication : public Application {
public:
    explicit LinuxApplication(std::shared_ptr<LinuxMainLoop> loop) : loop_(std::move(loop)) {}

    // Runs the loop; the process ends through terminate() or the Output port.
    void run() override;
    // Nothing to change without a display; remembered for inspection.
    void setActivationPolicy(ActivationPolicy policy) override { policy_ = policy; }
    std::optional<ActivationPolicy> activationPolicy() const { return policy_; }
    // Ends the process with exit code 0.
    [[noreturn]] void terminate() override;
    // No display is known: the origin.
    Point mouseLocation() override { return Point{0, 0}; }

private:
    std::shared_ptr<LinuxMainLoop> loop_;
    std::optional<ActivationPolicy> policy_;
};

}  // namespace kestrum
