#pragma once
// Enumerations with string raw values are declared once, as a table, and every
// conversion (raw value, exact construction, all cases in order) comes from it.
#include <array>
#include <cstddef>
#include <optional>
#include <string_view>
#include <utility>

namespace kestrum {

// Specialise with `static constexpr std::array<std::pair<E, std::string_view>, N> entries`
// listing every case in declaration order.
template <typename E>
struct RawEnumTable;

template <typename E>
constexpr std::string_view rawValue(E value) {
    for (const auto& [item, raw] : RawEnumTable<E>::entries) {
        if (item == value) return raw;
    }
    return {};
}

// Exact, case-sensitive match of a whole raw value; anything else gives no value.
template <typename E>
constexpr std::optional<E> fromRawValue(std::string_view raw) {
    for (const auto& [item, text] : RawEnumTable<E>::entries) {
        if (text == raw) return item;
    }
    return std::nullopt;
}

template <typename E>
constexpr auto allCases() {
    constexpr auto& entries = RawEnumTable<E>::entries;
    std::array<E, entries.size()> cases{};
    for (std::size_t i = 0; i < entries.size(); ++i) cases[i] = entries[i].first;
    return cases;
}

}  // namespace kestrum
