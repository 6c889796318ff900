#pragma once
// Change notification for main-thread objects: a signal whose handlers may connect and
// disconnect while it is being emitted, and a published value that announces a change on its
// owner's signal before every assignment and streams every assigned value to its subscribers.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "kestrum/Subscription.hpp"

namespace kestrum {

template <typename... Args>
class Signal {
public:
    using Handler = std::function<void(Args...)>;

    // The handler stays connected until the returned subscription is cancelled or destroyed.
    // The subscription may outlive the signal.
    [[nodiscard]] Subscription connect(Handler handler) {
        const std::uint64_t id = slots_->nextId++;
        slots_->handlers.emplace(id, std::make_shared<Handler>(std::move(handler)));
        std::weak_ptr<Slots> weak = slots_;
        return Subscription([weak, id] {
            if (auto slots = weak.lock()) slots->handlers.erase(id);
        });
    }

    // Calls the handlers connected when the emission starts, in order of connection; a handler
    // disconnected by an earlier one in the same emission is skipped.
    // A handler may also release the object that owns the signal.
    void emit(Args... args) const {
        const std::shared_ptr<Slots> slots = slots_;
        std::vector<std::pair<std::uint64_t, std::shared_ptr<Handler>>> snapshot(slots->handlers.begin(),
                                                                                 slots->handlers.end());
        for (const auto& [id, handler] : snapshot) {
            if (slots->handlers.count(id) != 0 && *handler) (*handler)(args...);
        }
    }

    std::size_t handlerCount() const { return slots_->handlers.size(); }

private:
    struct Slots {
        std::uint64_t nextId = 0;
        std::map<std::uint64_t, std::shared_ptr<Handler>> handlers;
    };
    std::shared_ptr<Slots> slots_ = std::make_shared<Slots>();
};

// A stored value of an observable object. Every assignment first announces a change on the
// owner's `willChange` signal (also when the value is equal), then hands the new value to the
// subscribers of this value, then stores it.
template <typename T>
class Published {
public:
    Published(const Signal<>& willChange, T initial) : willChange_(&willChange), value_(std::move(initial)) {}
    Published(const Published&) = delete;
    Published& operator=(const Published&) = delete;

    const T& get() const { return value_; }

    void assign(T newValue) {
        willChange_->emit();
        values_.emit(newValue);
        value_ = std::move(newValue);
    }

    // The handler receives the current value at once, then every assigned value.
    [[nodiscard]] Subscription subscribe(std::function<void(const T&)> handler) {
        handler(value_);
        return values_.connect(std::move(handler));
    }

private:
    const Signal<>* willChange_;
    Signal<const T&> values_;
    T value_;
};

}  // namespace kestrum
