#pragma once
// An accessibility interface with elements named by number, attribute answers set by a test,
// observers whose creation can fail, and notifications a test delivers by hand.
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "kestrum/ports/Accessibility.hpp"

namespace kestrum::fakes {

class FakeElement : public AccessibilityElement {
public:
    explicit FakeElement(int id) : id(id) {}
    const int id;
};

inline ElementRef element(int id) { return std::make_shared<FakeElement>(id); }
inline int elementId(const ElementRef& e) {
    const auto* fake = dynamic_cast<const FakeElement*>(e.get());
    return fake ? fake->id : -1;
}

class FakeObserver : public AccessibilityObserver {
public:
    struct Registration {
        int elementId;
        std::string notification;
        void* context;
    };
    FakeObserver(std::int32_t pid, AccessibilityCallback callback, std::shared_ptr<int> liveCount)
        : pid(pid), callback(callback), liveCount_(std::move(liveCount)) {
        ++*liveCount_;
    }
    ~FakeObserver() override { --*liveCount_; }

    bool addNotification(const ElementRef& e, std::string_view notification, void* context) override {
        registrations.push_back({elementId(e), std::string(notification), context});
        return true;
    }
    void addToMainRunLoop() override {
        inRunLoop = true;
        ++addedToRunLoop;
    }
    void removeFromMainRunLoop() override {
        inRunLoop = false;
        ++removedFromRunLoop;
    }
    // What the main run loop would do with a notification: call back with each context
    // registered for it, as long as the source is in the run loop.
    void deliver(std::string_view notification) {
        if (!inRunLoop) return;
        const auto regs = registrations;
        for (const auto& r : regs) {
            if (r.notification == notification) callback(r.context);
        }
    }

    const std::int32_t pid;
    const AccessibilityCallback callback;
    std::vector<Registration> registrations;
    bool inRunLoop = false;
    int addedToRunLoop = 0;
    int removedFromRunLoop = 0;

private:
    std::shared_ptr<int> liveCount_;
};

class FakeAccessibility : public Accessibility {
public:
    bool trusted = false;
    int promptCount = 0;
    int failObserverCreations = 0;  // the next N creations fail
    int observersCreated = 0;
    std::map<std::pair<int, std::string>, AttributeResult> attributes;
    // Every observer made, alive or not (weak: the owner decides their life).
    std::vector<std::weak_ptr<FakeObserver>> observers;

    bool isProcessTrusted() override { return trusted; }
    bool isProcessTrustedWithPrompt() override {
        ++promptCount;
        return trusted;
    }
    // The application element of process P is element P.
    ElementRef applicationElement(std::int32_t pid) override { return element(pid); }
    AttributeResult copyAttributeValue(const ElementRef& e, std::string_view attribute) override {
        auto it = attributes.find({elementId(e), std::string(attribute)});
        if (it == attributes.end()) return AttributeError{};
        return it->second;
    }
    std::unique_ptr<AccessibilityObserver> createObserver(std::int32_t pid, AccessibilityCallback callback) override;
    bool elementsEqual(const ElementRef& a, const ElementRef& b) override { return elementId(a) == elementId(b); }

    void set(int elementId, const std::string& attribute, AttributeResult value) {
        attributes[{elementId, attribute}] = std::move(value);
    }
    int liveObservers() const { return *liveCount_; }
    // Delivers a notification through every live observer.
    void deliver(std::string_view notification);

private:
    std::shared_ptr<int> liveCount_ = std::make_shared<int>(0);
};

// Owns the fake observer through a unique_ptr while the fake keeps a weak view of it.
class FakeObserverHandle : public AccessibilityObserver {
public:
    explicit FakeObserverHandle(std::shared_ptr<FakeObserver> inner) : inner_(std::move(inner)) {}
    bool addNotification(const ElementRef& e, std::string_view n, void* c) override {
        return inner_->addNotification(e, n, c);
    }
    void addToMainRunLoop() override { inner_->addToMainRunLoop(); }
    void removeFromMainRunLoop() override { inner_->removeFromMainRunLoop(); }

private:
    std::shared_ptr<FakeObserver> inner_;
};

inline std::unique_ptr<AccessibilityObserver> FakeAccessibility::createObserver(std::int32_t pid,
                                                                                AccessibilityCallback callback) {
    if (failObserverCreations > 0) {
        --failObserverCreations;
        return nullptr;
    }
    ++observersCreated;
    auto observer = std::make_shared<FakeObserver>(pid, callback, liveCount_);
    observers.push_back(observer);
    return std::make_unique<FakeObserverHandle>(observer);
}

inline void FakeAccessibility::deliver(std::string_view notification) {
    for (const auto& weak : observers) {
        if (auto observer = weak.lock()) observer->deliver(notification);
    }
}

}  // namespace kestrum::fakes
