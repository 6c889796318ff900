#pragma once
// The process-wide table that maps each pane to the provider that reads its state.
// Thread-safe; its lock is held for one table operation at a time and never while a
// provider runs.
#include <map>
#include <memory>
#include <type_traits>
#include <utility>

#include "kestrum/KestrumPane.hpp"
#include "kestrum/PermissionStatusProviding.hpp"

namespace kestrum {

// Providers are immutable once registered, so one shared instance serves as every copy.
using PermissionStatusProviderPtr = std::shared_ptr<const PermissionStatusProviding>;

class PermissionStatusRegistry {
public:
    PermissionStatusRegistry() = delete;

    // Replaces the pane's entry (default or earlier registration): the last one wins.
    // A null provider, or a value that is none of the panes, is ignored, so an entry is never
    // lost to a bad argument.
    static void registerProvider(PermissionStatusProviderPtr provider, KestrumPane pane);

    // Stores a copy of a provider value.
    template <typename Provider>
        requires std::is_base_of_v<PermissionStatusProviding, std::decay_t<Provider>>
    static void registerProvider(Provider&& provider, KestrumPane pane) {
        registerProvider(PermissionStatusProviderPtr(std::make_shared<const std::decay_t<Provider>>(
                             std::forward<Provider>(provider))),
                         pane);
    }

    // Every pair under one hold of the lock: no lookup sees part of the map applied.
    // Pairs with a null provider or a value that is none of the panes are skipped.
    static void registerProviders(const std::map<KestrumPane, PermissionStatusProviderPtr>& providers);

    // The pane's provider, or a new unsupported provider when it has none (as for a value
    // that is none of the panes). Never null.
    static PermissionStatusProviderPtr provider(KestrumPane pane);
};

}  // namespace kestrum
