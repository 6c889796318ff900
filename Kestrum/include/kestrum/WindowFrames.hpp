#pragma once
// Which window of System Settings to follow and where it is, in bottom-left global
// coordinates. The decisions are pure functions of plain records (screen pairs, loosely
// typed window entries, attribute results); thin overloads fill those records from the ports,
// reading them afresh on every call (so a change in the arrangement of screens takes effect
// at once). Nothing here fails loudly: malformed input gives an
// absent result or is skipped.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "kestrum/Geometry.hpp"
#include "kestrum/ports/Accessibility.hpp"
#include "kestrum/ports/WindowServer.hpp"

namespace kestrum {

// One usable screen: its frame in bottom-left and the same display's bounds in top-left
// global coordinates.
struct ScreenPair {
    Rect frame;
    Rect cgBounds;
    friend bool operator==(const ScreenPair&, const ScreenPair&) = default;
};

namespace window_frames {
// On-screen windows only (1) with desktop elements left out (16), relative to no window.
inline constexpr std::uint32_t windowListOptions = 17;
inline constexpr std::uint32_t windowListRelativeTo = 0;
// A window must be strictly larger than this to be the settings window.
inline constexpr double minimumWindowWidth = 320;
inline constexpr double minimumWindowHeight = 240;
// Converted frames land this much lower than the exact change of space.
inline constexpr double verticalAdjustment = 3;
}  // namespace window_frames

// --- Pure decisions ---------------------------------------------------------------------

// The display identifier a screen's device description holds: a number, taken as its
// unsigned 32-bit value. Anything else (absent, text, boolean, not finite) gives nothing.
std::optional<std::uint32_t> displayIdentifier(const std::optional<LooseValue>& displayNumber);

// One pair per screen with a display identifier, in the screens' order.
std::vector<ScreenPair> screenPairs(const std::vector<ScreenDescription>& screens,
                                    const std::function<Rect(std::uint32_t)>& displayBounds);

// Top-left to bottom-left global coordinates through the screen that overlaps the rectangle
// most (the earlier screen on a tie); the rectangle comes back unchanged when it overlaps none.
Rect appKitFrame(const Rect& fromGlobalTopLeftFrame, std::span<const ScreenPair> screens);

// A rectangle from its dictionary representation (numeric "X", "Y", "Width", "Height").
// Values that are not finite, and negative sizes, describe no rectangle.
std::optional<Rect> rectFromDictionary(const LooseValue& value);

// The settings window's frame among the window entries (front to back) of one process:
// ordinary (layer 0), visible (alpha > 0) windows larger than 320 x 240 once converted; the
// largest wins, the one nearer the front on a tie. `convert` turns top-left bounds into
// bottom-left frames.
std::optional<Rect> windowServerFrame(std::int32_t processIdentifier, const std::optional<LooseValue>& windowList,
                                      const std::function<Rect(const Rect&)>& convert);

// Attribute results read as a point (value type 1), a size (type 2) or a list of elements.
std::optional<Point> pointValue(const AttributeResult& result);
std::optional<Size> sizeValue(const AttributeResult& result);
std::optional<ElementList> arrayValue(const AttributeResult& result);

// --- Readers over the ports ---------------------------------------------------------------

std::vector<ScreenPair> screenPairs(WindowServer& windowServer);
Rect appKitFrame(WindowServer& windowServer, const Rect& fromGlobalTopLeftFrame);
std::optional<Rect> windowServerFrame(WindowServer& windowServer, std::int32_t processIdentifier);

// windowServerFrame() over the ports, read up to 30 times a second: the list and the screens
// are read on every call, but a list that comes back as the same shared value, beside the same
// screens and for the same process, gives the frame found last time without another scan.
class WindowServerFrameReader {
public:
    std::optional<Rect> read(WindowServer& windowServer, std::int32_t processIdentifier);

private:
    struct Answer {
        LooseValue list;
        std::vector<ScreenPair> screens;
        std::int32_t processIdentifier = 0;
        std::optional<Rect> frame;
    };
    std::optional<Answer> last_;
    std::vector<ScreenPair> screens_;
};

std::optional<Point> pointValue(Accessibility& accessibility, std::string_view attribute, const ElementRef& element);
std::optional<Size> sizeValue(Accessibility& accessibility, std::string_view attribute, const ElementRef& element);
std::optional<ElementList> arrayValue(Accessibility& accessibility, std::string_view attribute,
                                      const ElementRef& element);

// The window to follow: the main window, else the focused window, else the first of the
// application's windows; nullptr when there is none.
ElementRef mainWindow(Accessibility& accessibility, const ElementRef& application);

}  // namespace kestrum
