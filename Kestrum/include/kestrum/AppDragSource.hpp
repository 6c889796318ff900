#pragma once
// The logic of the draggable application card: when a press becomes a drag, what the drag
// carries and how it looks. A shell forwards the mouse to AppDragSource, turns the returned
// AppDragStart into a native drag session and reports the session's beginning and end.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kestrum/Geometry.hpp"
#include "kestrum/URL.hpp"

namespace kestrum {

// Pasteboard types the card writes, in the order it offers them.
inline constexpr std::string_view kPasteboardTypeFileURL = "public.file-url";
inline constexpr std::string_view kPasteboardTypeURL = "public.url";
inline constexpr std::string_view kPasteboardTypePromisedFileURL = "com.apple.pasteboard.promised-file-url";
inline constexpr std::string_view kPasteboardTypeString = "public.utf8-plain-text";

// Writes one application bundle to the drag pasteboard.
class AppBundlePasteboardWriter {
public:
    explicit AppBundlePasteboardWriter(URL url) : url_(std::move(url)) {}

    const URL& url() const { return url_; }
    // File URL, URL, promised file URL and plain text, in this order.
    std::vector<std::string> writableTypes() const;
    // The URL's absolute string for the three URL types, its file-system path for plain text,
    // nothing for any other type.
    std::optional<std::string> pasteboardPropertyList(std::string_view type) const;

private:
    URL url_;
};

enum class DragOperation { none, copy };

// Where a drag happens, as the source is asked about its offered operations.
enum class DraggingContext { withinApplication, outsideApplication };

// Everything a shell needs to begin the native drag session.
struct AppDragStart {
    AppBundlePasteboardWriter writer;  // the single dragging item's contents
    Rect imageFrame;                   // the drag image, in the card's own coordinates
    std::string iconPath;              // the image is the icon of the file at this path
    bool animatesToStartingPositionOnCancel = true;
};

// The card's name: the bundle's last path component without its extension (Tazel.app -> Tazel).
std::string appBundleDisplayName(const URL& url);

// Press tracking of the card: idle -> pressed (mouse down) -> dragging (moved beyond the
// threshold) -> idle (mouse up or session end).
class AppDragSource {
public:
    static constexpr double dragThreshold = 4;      // strictly more than this starts a drag
    static constexpr double dragImageSide = 56;     // the drag image is a square of this side
    static constexpr double minimumCardHeight = 88;

    explicit AppDragSource(URL url) : url_(std::move(url)) {}

    const URL& url() const { return url_; }
    // The card may be updated to another bundle at any time; a drag starting later carries it.
    void setURL(URL url) { url_ = std::move(url); }

    // Called with true when a drag session begins and with false when it ends.
    std::function<void(bool)> onDragStateChange;

    // Mouse events, in the card's own coordinates. mouseDragged answers the drag to start, once
    // per press, when the pointer is more than dragThreshold away from the press point.
    void mouseDown(Point location);
    std::optional<AppDragStart> mouseDragged(Point location);
    void mouseUp();

    // The native session's announcements.
    void draggingSessionWillBegin();
    void draggingSessionEnded();

    // Copy only, wherever the drop lands; modifier keys never change it.
    static DragOperation sourceOperationMask(DraggingContext context);
    static constexpr bool ignoresModifierKeys() { return true; }

    // The card's height given the height its content needs.
    static double intrinsicHeight(double fittingHeight);

    const std::optional<Point>& mouseDownPoint() const { return mouseDownPoint_; }
    bool hasBegunDragging() const { return hasBegunDragging_; }

private:
    AppDragStart beginAppDrag(Point location) const;

    URL url_;
    std::optional<Point> mouseDownPoint_;
    bool hasBegunDragging_ = false;
};

}  // namespace kestrum
