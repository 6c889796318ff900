#pragma once
// The draggable card of the application bundle: icon, name and drag hint. Mouse presses are
// handed to the core's press tracking; when it says so, the card runs a real drag that offers
// the bundle as a file URL (and its path as text), copy only.
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "kestrum/AppDragSource.hpp"
#include "kestrum/PanelContent.hpp"
#include "kestrum/PanelDesign.hpp"

class QDrag;
class QLabel;
class QMimeData;

namespace kestrum::desktop {

// The card's look is the core's design. Its height and its drag (image, operations) are the
// core's AppDragSource.
using CardMetrics = AppCardDesign;

// The drag's data on a Qt desktop: the bundle's file URL as a URI list and its path as plain
// text, from the core's pasteboard writer.
QMimeData* makeDragMimeData(const AppBundlePasteboardWriter& writer);

class AppCardWidget : public QWidget {
public:
    explicit AppCardWidget(QWidget* parent = nullptr);
    ~AppCardWidget() override;

    void setCard(const AppCardContent& card);
    const std::optional<AppCardContent>& card() const { return card_; }

    // Told true when a drag session begins and false when it ends.
    void setDragStateHandler(std::function<void(bool)> handler);
    // Runs the prepared drag and answers what it ended with; by default QDrag::exec with the copy
    // action only. Tests replace it to look at the drag and drive its end.
    using DragRunner = std::function<Qt::DropAction(QDrag&)>;
    void setDragRunner(DragRunner runner) { runDrag_ = std::move(runner); }
    const AppDragSource* dragSource() const { return source_.get(); }
    // True while the drag's own event loop runs.
    bool isRunningDrag() const { return runningDrag_; }
    // The panel went away during the drag: its window (and this card in it) is deleted once the
    // drag's loop has returned.
    void deleteAfterDrag(QWidget* window) { retiredWindow_ = window; }

    QLabel* nameLabel() const { return name_; }
    QLabel* hintLabel() const { return hint_; }
    // The rounded card inside the widget (the widget itself is at least 88 high).
    QRect cardRect() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int contentHeight() const;
    int intrinsicHeight() const;
    void beginDrag(const AppDragStart& start);

    std::unique_ptr<AppDragSource> source_;
    std::function<void(bool)> dragStateHandler_;
    DragRunner runDrag_;
    bool runningDrag_ = false;
    QPointer<QWidget> retiredWindow_;

    std::optional<AppCardContent> card_;
    QWidget* iconView_;
    QLabel* name_;
    QLabel* hint_;
};

}  // namespace kestrum::desktop
