#include "kestrum/PermissionStatusRegistry.hpp"

#include <array>
#include <cstddef>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "kestrum/PermissionStatusProviders.hpp"

namespace kestrum {
namespace {

constexpr std::size_t kPaneCount = allCases<KestrumPane>().size();

// One slot per pane, indexed by the pane's position; an empty slot means "no entry".
using ProviderTable = std::array<PermissionStatusProviderPtr, kPaneCount>;

// The pane's slot; nothing for a value that is no pane, which therefore has no entry and
// cannot be given one.
PermissionStatusProviderPtr* slot(ProviderTable& table, KestrumPane pane) {
    const auto index = caseIndex(pane);
    return index ? &table[*index] : nullptr;
}

ProviderTable makeDefaultTable() {
    ProviderTable table;
    *slot(table, KestrumPane::accessibility) = std::make_shared<const AccessibilityPermissionStatusProvider>();
    *slot(table, KestrumPane::fullDiskAccess) = std::make_shared<const FullDiskAccessPermissionStatusProvider>();
    *slot(table, KestrumPane::microphone) = std::make_shared<const MicrophonePermissionStatusProvider>();
    return table;
}

struct RegistryState {
    std::mutex lock;
    std::optional<ProviderTable> registeredProviders;  // built inside the lock on first use

    ProviderTable& table() {
        if (!registeredProviders) registeredProviders = makeDefaultTable();
        return *registeredProviders;
    }
};

// Created once, safely against concurrent first uses, and never destroyed, so that lookups
// made while the process exits still find it.
RegistryState& state() {
    static RegistryState* const instance = new RegistryState();
    return *instance;
}

}  // namespace

void PermissionStatusRegistry::registerProvider(PermissionStatusProviderPtr provider, KestrumPane pane) {
    if (!provider) return;
    auto& registry = state();
    // The replaced provider is released after the lock, so none of its code runs under it.
    PermissionStatusProviderPtr replaced;
    {
        const std::lock_guard guard(registry.lock);
        if (auto* entry = slot(registry.table(), pane)) replaced = std::exchange(*entry, std::move(provider));
    }
}

void PermissionStatusRegistry::registerProviders(const std::map<KestrumPane, PermissionStatusProviderPtr>& providers) {
    auto& registry = state();
    std::vector<PermissionStatusProviderPtr> replaced;
    replaced.reserve(providers.size());
    {
        const std::lock_guard guard(registry.lock);
        auto& table = registry.table();
        for (const auto& [pane, provider] : providers) {
            auto* entry = slot(table, pane);
            if (provider && entry) replaced.push_back(std::exchange(*entry, provider));
        }
    }
}

PermissionStatusProviderPtr PermissionStatusRegistry::provider(KestrumPane pane) {
    PermissionStatusProviderPtr found;
    {
        auto& registry = state();
        const std::lock_guard guard(registry.lock);
        if (const auto* entry = slot(registry.table(), pane)) found = *entry;
    }
    if (found) return found;
    return std::make_shared<const UnsupportedPermissionStatusProvider>();
}

}  // namespace kestrum
