#include "kestrum/WindowFrames.hpp"

#include <cmath>
#include <limits>
#include <string>

namespace kestrum {
namespace {

// A number as an integer, when it is one exactly (booleans and texts are not numbers).
std::optional<std::int64_t> integerValue(const LooseValue& value) {
    if (const auto* i = std::get_if<std::int64_t>(&value.value)) return *i;
    if (const auto* d = std::get_if<double>(&value.value)) {
        // 2^63 as a double; anything at or beyond it does not fit.
        constexpr double limit = 9223372036854775808.0;
        if (std::isfinite(*d) && std::trunc(*d) == *d && *d >= -limit && *d < limit) {
            return static_cast<std::int64_t>(*d);
        }
    }
    return std::nullopt;
}

std::optional<double> realValue(const LooseValue& value) {
    if (const auto* d = std::get_if<double>(&value.value)) return *d;
    if (const auto* i = std::get_if<std::int64_t>(&value.value)) return static_cast<double>(*i);
    return std::nullopt;
}

// Keys made once, on first use: the window list is scanned up to 30 times a second, and a
// process that never reads it (status, open) makes none as it starts.
struct Keys {
    std::string ownerPID{"kCGWindowOwnerPID"};
    std::string layer{"kCGWindowLayer"};
    std::string alpha{"kCGWindowAlpha"};
    std::string bounds{"kCGWindowBounds"};
    std::string rect[4]{"X", "Y", "Width", "Height"};
};

const Keys& keys() {
    static const Keys made;
    return made;
}

const LooseValue* member(const LooseDictionary& dictionary, const std::string& key) {
    const auto it = dictionary.find(key);
    return it == dictionary.end() ? nullptr : &it->second;
}

std::optional<std::int32_t> ownerProcess(const LooseDictionary& entry) {
    const auto* value = member(entry, keys().ownerPID);
    if (!value) return std::nullopt;
    const auto pid = integerValue(*value);
    if (!pid || *pid < std::numeric_limits<std::int32_t>::min() || *pid > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(*pid);
}

// Missing or unreadable: an ordinary window (layer 0).
std::int64_t layer(const LooseDictionary& entry) {
    const auto* value = member(entry, keys().layer);
    return value ? integerValue(*value).value_or(0) : 0;
}

// Missing or unreadable: fully opaque.
double alpha(const LooseDictionary& entry) {
    const auto* value = member(entry, keys().alpha);
    return value ? realValue(*value).value_or(1.0) : 1.0;
}

double area(const Rect& rect) { return rect.width() * rect.height(); }

}  // namespace

std::optional<std::uint32_t> displayIdentifier(const std::optional<LooseValue>& displayNumber) {
    if (!displayNumber) return std::nullopt;
    if (const auto* i = std::get_if<std::int64_t>(&displayNumber->value)) {
        return static_cast<std::uint32_t>(static_cast<std::uint64_t>(*i));
    }
    if (const auto* d = std::get_if<double>(&displayNumber->value)) {
        constexpr double limit = 9223372036854775808.0;
        if (!std::isfinite(*d) || *d <= -limit || *d >= limit) return std::nullopt;
        return static_cast<std::uint32_t>(static_cast<std::uint64_t>(static_cast<std::int64_t>(*d)));
    }
    return std::nullopt;
}

namespace {

void appendScreenPairs(const std::vector<ScreenDescription>& screens,
                       const std::function<Rect(std::uint32_t)>& displayBounds, std::vector<ScreenPair>& pairs) {
    for (const auto& screen : screens) {
        const auto display = displayIdentifier(screen.displayNumber);
        if (!display) continue;
        pairs.push_back({screen.frame, displayBounds(*display)});
    }
}

void readScreenPairs(WindowServer& windowServer, std::vector<ScreenPair>& pairs) {
    appendScreenPairs(windowServer.screens(),
                      [&windowServer](std::uint32_t display) { return windowServer.displayBounds(display); }, pairs);
}

}  // namespace

std::vector<ScreenPair> screenPairs(const std::vector<ScreenDescription>& screens,
                                    const std::function<Rect(std::uint32_t)>& displayBounds) {
    std::vector<ScreenPair> pairs;
    pairs.reserve(screens.size());
    appendScreenPairs(screens, displayBounds, pairs);
    return pairs;
}

Rect appKitFrame(const Rect& r, std::span<const ScreenPair> screens) {
    const ScreenPair* chosen = nullptr;
    double chosenOverlap = 0;
    for (const auto& pair : screens) {
        const Rect overlap = pair.cgBounds.intersection(r);
        if (overlap.isEmpty()) continue;  // touching edges share no area
        const double overlapArea = area(overlap);
        if (!chosen || overlapArea > chosenOverlap) {
            chosen = &pair;
            chosenOverlap = overlapArea;
        }
    }
    if (!chosen) return r;
    const double width = r.maxX() - r.minX();
    const double height = r.maxY() - r.minY();
    const double x = chosen->frame.minX() + (r.minX() - chosen->cgBounds.minX());
    const double y = chosen->frame.maxY() - (r.minY() - chosen->cgBounds.minY()) - height -
                     window_frames::verticalAdjustment;
    return Rect{x, y, width, height};
}

std::optional<Rect> rectFromDictionary(const LooseValue& value) {
    const auto* dictionary = value.dictionary();
    if (!dictionary) return std::nullopt;
    double numbers[4] = {};
    for (int i = 0; i < 4; ++i) {
        const auto* field = member(*dictionary, keys().rect[i]);
        const auto number = field ? realValue(*field) : std::nullopt;
        if (!number || !std::isfinite(*number)) return std::nullopt;
        numbers[i] = *number;
    }
    if (numbers[2] < 0 || numbers[3] < 0) return std::nullopt;
    return Rect{numbers[0], numbers[1], numbers[2], numbers[3]};
}

std::optional<Rect> windowServerFrame(std::int32_t processIdentifier, const std::optional<LooseValue>& windowList,
                                      const std::function<Rect(const Rect&)>& convert) {
    if (!windowList) return std::nullopt;
    const auto* list = windowList->list();
    if (!list) return std::nullopt;
    std::optional<Rect> best;
    for (const auto& value : *list) {
        // The list as a whole must be one of dictionaries; a stray value makes it unreadable.
        const auto* dictionary = value.dictionary();
        if (!dictionary) return std::nullopt;
        const auto& entry = *dictionary;
        if (ownerProcess(entry) != processIdentifier) continue;
        if (layer(entry) != 0) continue;
        if (!(alpha(entry) > 0)) continue;

        const auto* boundsValue = member(entry, keys().bounds);
        if (!boundsValue) continue;
        const auto bounds = rectFromDictionary(*boundsValue);
        if (!bounds) continue;
        const Rect frame = convert(*bounds);
        if (!(frame.width() > window_frames::minimumWindowWidth &&
              frame.height() > window_frames::minimumWindowHeight)) {
            continue;
        }
        if (!best || area(frame) > area(*best)) best = frame;
    }
    return best;
}

std::optional<Point> pointValue(const AttributeResult& result) {
    if (const auto* point = std::get_if<Point>(&result)) return *point;
    return std::nullopt;
}

std::optional<Size> sizeValue(const AttributeResult& result) {
    if (const auto* size = std::get_if<Size>(&result)) return *size;
    return std::nullopt;
}

std::optional<ElementList> arrayValue(const AttributeResult& result) {
    if (const auto* list = std::get_if<ElementList>(&result)) return *list;
    return std::nullopt;
}

std::vector<ScreenPair> screenPairs(WindowServer& windowServer) {
    std::vector<ScreenPair> pairs;
    readScreenPairs(windowServer, pairs);
    return pairs;
}

Rect appKitFrame(WindowServer& windowServer, const Rect& fromGlobalTopLeftFrame) {
    const auto pairs = screenPairs(windowServer);
    return appKitFrame(fromGlobalTopLeftFrame, pairs);
}

std::optional<Rect> windowServerFrame(WindowServer& windowServer, std::int32_t processIdentifier) {
    return WindowServerFrameReader().read(windowServer, processIdentifier);
}

std::optional<Rect> WindowServerFrameReader::read(WindowServer& windowServer, std::int32_t processIdentifier) {
    auto list = windowServer.copyWindowList(window_frames::windowListOptions, window_frames::windowListRelativeTo);
    // One reading of the screens serves every window of this call (into a buffer kept between
    // calls, read many times a second).
    screens_.clear();
    readScreenPairs(windowServer, screens_);
    // Shared lists never change, so the same one holds the same entries.
    if (last_ && list && list->sameShared(last_->list) && last_->processIdentifier == processIdentifier &&
        last_->screens == screens_) {
        return last_->frame;
    }
    const auto frame = windowServerFrame(processIdentifier, list,
                                         [this](const Rect& bounds) { return appKitFrame(bounds, screens_); });
    if (list && list->list()) {
        last_ = Answer{std::move(*list), screens_, processIdentifier, frame};
    } else {
        last_.reset();
    }
    return frame;
}

std::optional<Point> pointValue(Accessibility& accessibility, std::string_view attribute, const ElementRef& element) {
    return pointValue(accessibility.copyAttributeValue(element, attribute));
}

std::optional<Size> sizeValue(Accessibility& accessibility, std::string_view attribute, const ElementRef& element) {
    return sizeValue(accessibility.copyAttributeValue(element, attribute));
}

std::optional<ElementList> arrayValue(Accessibility& accessibility, std::string_view attribute,
                                      const ElementRef& element) {
    return arrayValue(accessibility.copyAttributeValue(element, attribute));
}

ElementRef mainWindow(Accessibility& accessibility, const ElementRef& application) {
    // A read that succeeds with something other than an element (no value, a point, a list)
    // is taken as a failed read, so the next source is asked.
    for (const std::string_view attribute : {"AXMainWindow", "AXFocusedWindow"}) {
        const auto result = accessibility.copyAttributeValue(application, attribute);
        if (const auto* window = std::get_if<ElementRef>(&result); window && *window) return *window;
    }
    const auto windows = arrayValue(accessibility, "AXWindows", application);
    if (!windows || windows->empty()) return nullptr;
    return windows->front();
}

}  // namespace kestrum
