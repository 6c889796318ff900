#pragma once
// The window server's on-screen window list and the displays. Window entries are loosely
// typed dictionaries so that malformed entries can be represented and tested.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "kestrum/Geometry.hpp"

namespace kestrum {

struct LooseValue;
using LooseDictionary = std::map<std::string, LooseValue>;
using LooseList = std::vector<LooseValue>;

// A property-list-like value: nothing, boolean, integer, real, text, dictionary or list. A
// dictionary or list never changes once made, so copies share it, and two values holding the
// same one (sameShared()) hold equal contents.
struct LooseValue {
    std::variant<std::monostate, bool, std::int64_t, double, std::string, std::shared_ptr<const LooseDictionary>,
                 std::shared_ptr<const LooseList>>
        value;

    LooseValue() = default;
    LooseValue(bool v) : value(v) {}
    LooseValue(int v) : value(static_cast<std::int64_t>(v)) {}
    LooseValue(std::int64_t v) : value(v) {}
    LooseValue(double v) : value(v) {}
    LooseValue(std::string v) : value(std::move(v)) {}
    LooseValue(const char* v) : value(std::string(v)) {}
    LooseValue(LooseDictionary v) : value(std::make_shared<const LooseDictionary>(std::move(v))) {}
    LooseValue(LooseList v) : value(std::make_shared<const LooseList>(std::move(v))) {}

    const LooseDictionary* dictionary() const {
        const auto* p = std::get_if<std::shared_ptr<const LooseDictionary>>(&value);
        return p && *p ? p->get() : nullptr;
    }
    const LooseList* list() const {
        const auto* p = std::get_if<std::shared_ptr<const LooseList>>(&value);
        return p && *p ? p->get() : nullptr;
    }
    // Whether both hold the very same dictionary or list.
    bool sameShared(const LooseValue& other) const {
        if (const auto* list = this->list()) return list == other.list();
        const auto* dictionary = this->dictionary();
        return dictionary && dictionary == other.dictionary();
    }
};

// One screen: its frame and usable area in bottom-left global coordinates, and the value
// its device description holds for the display number (absent or not a number on some).
struct ScreenDescription {
    Rect frame;
    Rect visibleFrame;
    std::optional<LooseValue> displayNumber;
};

class WindowServer {
public:
    virtual ~WindowServer() = default;
    // The window list for the options, front to back; nothing when the list cannot be had.
    virtual std::optional<LooseValue> copyWindowList(std::uint32_t options, std::uint32_t relativeToWindow) = 0;
    // A display's bounds in top-left global coordinates.
    virtual Rect displayBounds(std::uint32_t displayIdentifier) = 0;
    // All screens in the system's order.
    virtual std::vector<ScreenDescription> screens() = 0;
};

}  // namespace kestrum
