#include "NamedCharacterReferences.hpp"

#include <algorithm>
#include <iterator>

namespace kestrum {
namespace {

// The texts are held in the rows rather than pointed to: a table of pointers in a shared library
// is rewritten by the dynamic loader in every process that loads it (two relocations a row, over
// four thousand in all), whether or not a reference is ever decoded. Rows of characters cost
// nothing until a lookup reads them.
struct Reference {
    char name[kLongestCharacterReferenceName + 1];
    char text[7];  // at most two code points, six bytes in UTF-8

    constexpr std::string_view nameView() const { return name; }
};

constexpr Reference kReferences[] = {
#include "NamedCharacterReferences.inc"
};

constexpr bool byName(const Reference& a, const Reference& b) { return a.nameView() < b.nameView(); }

static_assert(std::is_sorted(std::begin(kReferences), std::end(kReferences), byName),
              "the binary search needs the table sorted by name");

}  // namespace

std::optional<std::string_view> namedCharacterReference(std::string_view name) {
    const auto found = std::lower_bound(std::begin(kReferences), std::end(kReferences), name,
                                        [](const Reference& row, std::string_view key) { return row.nameView() < key; });
    if (found == std::end(kReferences) || found->nameView() != name) return std::nullopt;
    return std::string_view(found->text);
}

}  // namespace kestrum
