#pragma once
#include <map>

#include "kestrum/ports/WindowServer.hpp"

namespace kestrum::fakes {

class FakeWindowServer : public WindowServer {
public:
    std::optional<LooseValue> windowList;
    std::vector<ScreenDescription> screenList;
    std::map<std::uint32_t, Rect> bounds;
    std::uint32_t lastOptions = 0;
    int windowListReads = 0;

    std::optional<LooseValue> copyWindowList(std::uint32_t options, std::uint32_t) override {
        lastOptions = options;
        ++windowListReads;
        return windowList;
    }
    Rect displayBounds(std::uint32_t display) override {
        auto it = bounds.find(display);
        return it == bounds.end() ? Rect{} : it->second;
    }
    std::vector<ScreenDescription> screens() override { return screenList; }

    // Adds a screen with display number `display`, its frame, usable area and top-left bounds.
    void addScreen(std::uint32_t display, Rect frame, Rect visibleFrame, Rect cgBounds) {
        screenList.push_back({frame, visibleFrame, LooseValue(static_cast<std::int64_t>(display))});
        bounds[display] = cgBounds;
    }
};

// A window-list entry with the usual four keys.
inline LooseValue windowEntry(std::int32_t pid, Rect bounds, int layer = 0, double alpha = 1.0) {
    return LooseValue(LooseDictionary{
        {"kCGWindowOwnerPID", LooseValue(pid)},
        {"kCGWindowLayer", LooseValue(layer)},
        {"kCGWindowAlpha", LooseValue(alpha)},
        {"kCGWindowBounds", LooseValue(LooseDictionary{{"X", LooseValue(bounds.x())},
                                                       {"Y", LooseValue(bounds.y())},
                                                       {"Width", LooseValue(bounds.width())},
                                                       {"Height", LooseValue(bounds.height())}})},
    });
}

}  // namespace kestrum::fakes
