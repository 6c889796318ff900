#include "kestrum/AppDragSource.hpp"

#include <cmath>

namespace kestrum {

std::vector<std::string> AppBundlePasteboardWriter::writableTypes() const {
    return {std::string(kPasteboardTypeFileURL), std::string(kPasteboardTypeURL),
            std::string(kPasteboardTypePromisedFileURL), std::string(kPasteboardTypeString)};
}

std::optional<std::string> AppBundlePasteboardWriter::pasteboardPropertyList(std::string_view type) const {
    if (type == kPasteboardTypeFileURL || type == kPasteboardTypeURL || type == kPasteboardTypePromisedFileURL) {
        return url_.absoluteString();
    }
    if (type == kPasteboardTypeString) return url_.path();
    return std::nullopt;
}

std::string appBundleDisplayName(const URL& url) {
    std::string name = url.lastPathComponent();
    const std::size_t dot = name.rfind('.');
    // A leading dot marks a hidden name, not an extension.
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name;
}

void AppDragSource::mouseDown(Point location) {
    mouseDownPoint_ = location;
    hasBegunDragging_ = false;
}

std::optional<AppDragStart> AppDragSource::mouseDragged(Point location) {
    if (hasBegunDragging_ || !mouseDownPoint_) return std::nullopt;
    const double distance = std::hypot(location.x - mouseDownPoint_->x, location.y - mouseDownPoint_->y);
    if (!(distance > dragThreshold)) return std::nullopt;
    hasBegunDragging_ = true;
    return beginAppDrag(location);
}

void AppDragSource::mouseUp() {
    mouseDownPoint_.reset();
    hasBegunDragging_ = false;
}

void AppDragSource::draggingSessionWillBegin() {
    if (onDragStateChange) onDragStateChange(true);
}

void AppDragSource::draggingSessionEnded() {
    // The callback may replace this source's callback or URL; the state is reset afterwards
    // either way, so a new press can start a new drag.
    if (onDragStateChange) onDragStateChange(false);
    mouseDownPoint_.reset();
    hasBegunDragging_ = false;
}

DragOperation AppDragSource::sourceOperationMask(DraggingContext) { return DragOperation::copy; }

double AppDragSource::intrinsicHeight(double fittingHeight) {
    // A failed measurement (not a finite number) still leaves a usable card.
    if (!std::isfinite(fittingHeight) || fittingHeight < minimumCardHeight) return minimumCardHeight;
    return fittingHeight;
}

AppDragStart AppDragSource::beginAppDrag(Point location) const {
    const double half = dragImageSide / 2;
    return AppDragStart{AppBundlePasteboardWriter(url_),
                        Rect{location.x - half, location.y - half, dragImageSide, dragImageSide}, url_.path(), true};
}

}  // namespace kestrum
