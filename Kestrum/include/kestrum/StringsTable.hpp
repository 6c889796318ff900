#pragma once
// A localized string table in the ".strings" text form:
//
//     /* A comment. */
//     "kestrum.drag.label" = "Drag";   // another comment
//
// Keys and values are quoted texts with backslash escapes (\" \\ \n \t \r \uXXXX ...) or bare
// words of letters, digits and _$+/:.-; an entry of a key alone ("key";) maps the key to itself.
// The text is UTF-8 (an initial byte-order mark is skipped). Anything else is an error with its
// line and column; the parser never reads outside its input, whatever the input.
#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace kestrum {

struct StringsTableError {
    std::size_t line = 1;    // 1-based
    std::size_t column = 1;  // 1-based, in bytes
    std::string message;
    friend bool operator==(const StringsTableError&, const StringsTableError&) = default;
};

struct StringsTableParseResult;

class StringsTable {
public:
    using Entries = std::map<std::string, std::string, std::less<>>;
    using ParseResult = StringsTableParseResult;

    StringsTable() = default;
    explicit StringsTable(Entries entries) : entries_(std::move(entries)) {}

    // A later entry for the same key replaces an earlier one.
    static ParseResult parse(std::string_view text);

    std::optional<std::string> lookup(std::string_view key) const;
    const Entries& entries() const { return entries_; }

private:
    Entries entries_;
};

struct StringsTableParseResult {
    std::optional<StringsTable> table;  // present exactly when error is absent
    std::optional<StringsTableError> error;
};

}  // namespace kestrum
