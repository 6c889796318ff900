#pragma once
// A workspace whose running applications, frontmost application and URL answers a test sets,
// and which records every call in order.
#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "kestrum/ports/Workspace.hpp"

namespace kestrum::fakes {

class FakeWorkspace : public Workspace {
public:
    // Every call, in order: "launch <url>", "open <url>", "activate <pid>".
    std::vector<std::string> calls;
    std::vector<URL> openedURLs;
    std::vector<std::int32_t> activatedPIDs;
    bool openURLResult = true;
    std::vector<RunningApplication> running;
    std::optional<RunningApplication> frontmost;
    // When set, activating an application also makes it frontmost and notifies observers.
    bool activationMakesFrontmost = false;

    void launchApplication(const URL& applicationURL) override {
        calls.push_back("launch " + applicationURL.absoluteString());
    }
    bool openURL(const URL& url) override {
        calls.push_back("open " + url.absoluteString());
        openedURLs.push_back(url);
        return openURLResult;
    }
    std::vector<RunningApplication> runningApplications(std::string_view bundleIdentifier) override {
        calls.push_back("running " + std::string(bundleIdentifier));
        std::vector<RunningApplication> result;
        for (const auto& app : running) {
            if (app.bundleIdentifier && *app.bundleIdentifier == bundleIdentifier) result.push_back(app);
        }
        return result;
    }
    std::optional<RunningApplication> runningApplication(std::int32_t processIdentifier) override {
        for (const auto& app : running) {
            if (app.processIdentifier == processIdentifier) return app;
        }
        return std::nullopt;
    }
    void activateIgnoringOtherApps(const RunningApplication& application) override {
        calls.push_back("activate " + std::to_string(application.processIdentifier));
        activatedPIDs.push_back(application.processIdentifier);
        if (activationMakesFrontmost) {
            frontmost = application;
            notifyActivation();
        }
    }
    std::optional<RunningApplication> frontmostApplication() override { return frontmost; }
    Subscription observeApplicationActivation(std::function<void()> handler) override {
        const int id = nextObserver_++;
        observers_->emplace(id, std::move(handler));
        std::weak_ptr<std::map<int, std::function<void()>>> weak = observers_;
        return Subscription([weak, id] {
            if (auto observers = weak.lock()) observers->erase(id);
        });
    }

    // Delivers one application-activation notification to every observer.
    void notifyActivation() {
        const auto snapshot = *observers_;
        for (const auto& [id, handler] : snapshot) {
            if (observers_->count(id)) handler();
        }
    }
    std::size_t observerCount() const { return observers_->size(); }

    // Convenience: makes an application with a bundle identifier frontmost and notifies.
    void bringToFront(const RunningApplication& app) {
        frontmost = app;
        notifyActivation();
    }

private:
    int nextObserver_ = 0;
    std::shared_ptr<std::map<int, std::function<void()>>> observers_ =
        std::make_shared<std::map<int, std::function<void()>>>();
};

}  // namespace kestrum::fakes
