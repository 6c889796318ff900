#include <gtest/gtest.h>

#include <memory>

#include <string>
#include <vector>

#include "kestrum/Observable.hpp"

namespace kestrum {
namespace {

TEST(Signal, HandlersConnectedAndDisconnectedWhileEmittingAreHandledSafely) {
    Signal<int> signal;
    std::vector<std::string> log;
    Subscription second;
    Subscription late;
    Subscription first = signal.connect([&](int v) {
        log.push_back("first " + std::to_string(v));
        second.cancel();  // a later handler of the same emission is skipped
        if (!late) late = signal.connect([&](int w) { log.push_back("late " + std::to_string(w)); });
    });
    second = signal.connect([&](int v) { log.push_back("second " + std::to_string(v)); });
    signal.emit(1);
    signal.emit(2);
    EXPECT_EQ(log, (std::vector<std::string>{"first 1", "first 2", "late 2"}));

    first.cancel();
    late = Subscription{};
    signal.emit(3);
    EXPECT_EQ(log.size(), 3u);
    EXPECT_EQ(signal.handlerCount(), 0u);
}

TEST(Signal, SubscriptionMayOutliveTheSignal) {
    Subscription subscription;
    {
        Signal<> signal;
        subscription = signal.connect([] {});
    }
    subscription.cancel();  // nothing left to disconnect from
    EXPECT_FALSE(subscription);
}

TEST(Signal, HandlerMayDestroyTheSignalItIsCalledFrom) {
    auto signal = std::make_unique<Signal<>>();
    int calls = 0;
    Subscription first = signal->connect([&] {
        ++calls;
        signal.reset();
    });
    Subscription second = signal->connect([&] { ++calls; });
    signal->emit();
    EXPECT_EQ(signal, nullptr);
    EXPECT_EQ(calls, 2);  // handlers connected when the emission began still run
}

TEST(Published, AnnouncesFirstThenStreamsThenStoresEvenForEqualValues) {
    Signal<> willChange;
    Published<int> value(willChange, 1);
    std::vector<std::string> log;
    Subscription announcements = willChange.connect([&] { log.push_back("will " + std::to_string(value.get())); });
    Subscription stream = value.subscribe([&](const int& v) {
        log.push_back("value " + std::to_string(v) + " stored " + std::to_string(value.get()));
    });
    value.assign(2);
    value.assign(2);
    EXPECT_EQ(value.get(), 2);
    EXPECT_EQ(log, (std::vector<std::string>{"value 1 stored 1", "will 1", "value 2 stored 1", "will 2",
                                             "value 2 stored 2"}));
}

}  // namespace
}  // namespace kestrum
