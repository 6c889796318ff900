#pragma once
// Enumerations with string raw values are declared once, as a table, and every
// conversion (raw value, exact construction, all cases in order) comes from it.
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

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

// The position of `value` in the declaration order; nothing for a value that is none of the
// cases (an integer cast to the enumeration). Tables indexed by an enumeration go through it.
template <typename E>
constexpr std::optional<std::size_t> caseIndex(E value) {
    constexpr auto& entries = RawEnumTable<E>::entries;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].first == value) return i;
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

// Serialization: an enumeration is written as its raw value and read back only from an
// exact raw value. Reading anything else is a data error carried as a value.
struct DataError {
    std::string message;
    friend bool operator==(const DataError&, const DataError&) = default;
};

template <typename T>
class Decoded {
public:
    Decoded(T value) : content_(std::move(value)) {}          // NOLINT: implicit by design
    Decoded(DataError error) : content_(std::move(error)) {}  // NOLINT: implicit by design

    bool hasValue() const { return std::holds_alternative<T>(content_); }
    explicit operator bool() const { return hasValue(); }
    // Only when hasValue().
    const T& value() const { return std::get<T>(content_); }
    // Only when !hasValue().
    const DataError& error() const { return std::get<DataError>(content_); }
    std::optional<T> optional() const { return hasValue() ? std::optional<T>(value()) : std::nullopt; }

private:
    std::variant<T, DataError> content_;
};

// The name used in decoding errors: `static constexpr std::string_view name` in the table
// when it has one.
template <typename E>
constexpr std::string_view rawEnumTypeName() {
    if constexpr (requires { RawEnumTable<E>::name; }) {
        return RawEnumTable<E>::name;
    } else {
        return "enumeration";
    }
}

template <typename E>
std::string encodeRawValue(E value) {
    return std::string(rawValue(value));
}

template <typename E>
Decoded<E> decodeRawValue(std::string_view raw) {
    if (const auto value = fromRawValue<E>(raw)) return *value;
    std::string message = "Cannot decode ";
    message += rawEnumTypeName<E>();
    message += " from the string \"";
    message += raw;
    message += "\": it is not one of its raw values";
    return DataError{std::move(message)};
}

}  // namespace kestrum
