#include "NamedCharacterReferences.hpp"

#include <algorithm>
#include <iterator>

namespace kestrum {
namespace {

struct Reference {
    std::string_view name;
    std::string_view text;
};

constexpr Reference kReferences[] = {
#include "NamedCharacterReferences.inc"
};

constexpr bool byName(const Reference& a, const Reference& b) { return a.name < b.name; }

static_assert(std::is_sorted(std::begin(kReferences), std::end(kReferences), byName),
              "the binary search needs the table sorted by name");
static_assert(std::all_of(std::begin(kReferences), std::end(kReferences),
                          [](const Reference& r) { return r.name.size() <= kLongestCharacterReferenceName; }));

}  // namespace

std::optional<std::string_view> namedCharacterReference(std::string_view name) {
    const auto found = std::lower_bound(std::begin(kReferences), std::end(kReferences), Reference{name, {}}, byName);
    if (found == std::end(kReferences) || found->name != name) return std::nullopt;
    return found->text;
}

}  // namespace kestrum
