#pragma once
// The panel's content rendered with Qt Widgets: direction arrow, instruction title, settings
// and close buttons, and the application card. It shows what the core put into PanelContent
// and reports the user's presses to the panel's delegate; it decides nothing itself.
#include <QPainterPath>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "kestrum/PanelContent.hpp"
#include "kestrum/PanelDesign.hpp"
#include "kestrum/ports/PanelWindow.hpp"

class QAbstractButton;
class QTextDocument;
class QVariantAnimation;

namespace kestrum::desktop {

class AppCardWidget;

// Reaches the panel's delegate while the panel window exists. The window clears it when it
// goes, so that widgets whose deletion is deferred (a drag may still run) call nobody.
struct DelegateLink {
    PanelWindowDelegate* delegate = nullptr;
};

// The panel's look in logical pixels (points): the design's (the core's), and how this shell
// stands in for the platform's material and secondary colour.
struct PanelMetrics : PanelContentDesign {
    // Stands in for the translucent material behind the content.
    static constexpr qreal materialOpacity = 0.82;
    // The secondary foreground colour is the primary one at this opacity.
    static constexpr qreal secondaryForegroundOpacity = 0.5;
};

// The panel's rounded rectangle filling `rect`, its corners as round as the content drawn at
// `scale` shows them.
QPainterPath panelShape(const QRectF& rect, qreal scale = 1);

// The title runs as Qt rich text: bold, italic, code and links styled, whitespace and line
// breaks kept, every character of the runs escaped.
QString titleHtml(const std::vector<StyledRun>& runs);

// The instruction line: rich text without a line limit that wraps at word boundaries, and
// inside a word only where the word alone is wider than the line.
class TitleView : public QWidget {
public:
    explicit TitleView(QWidget* parent = nullptr);
    ~TitleView() override;
    void setHtml(const QString& html);
    const QString& html() const { return html_; }
    QString plainText() const;
    // Lines the text takes at a width.
    int lineCount(int width) const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void layOut(int width) const;

    QString html_;
    QTextDocument* document_;
};

// The arrow beside the title; animates between its resting and its dragging pose.
class DirectionIconWidget : public QWidget {
public:
    explicit DirectionIconWidget(QWidget* parent = nullptr);
    ~DirectionIconWidget() override;
    // Moves to the pose, animated over the pose's duration unless `animated` is false.
    void setPose(const HeaderDirectionIconPose& pose, bool animated);
    const HeaderDirectionIconPose& targetPose() const { return target_; }
    // What is drawn right now (rotation in degrees, downward shift, scale).
    double displayedRotation() const { return rotation_; }
    double displayedOffsetY() const { return offsetY_; }
    double displayedScale() const { return scale_; }
    bool isAnimating() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    HeaderDirectionIconPose target_;
    double rotation_;
    double offsetY_;
    double scale_;
    QVariantAnimation* animation_;
};

class PanelContentWidget : public QWidget {
public:
    explicit PanelContentWidget(std::shared_ptr<DelegateLink> link, QWidget* parent = nullptr);
    ~PanelContentWidget() override;

    void setContent(const PanelContent& content);
    const PanelContent& content() const { return content_; }
    bool hasContent() const { return hasContent_; }
    // The height the content needs at `width` (the title wraps, everything else is fixed).
    int fittingHeight(int width) const;
    // Where nothing behind the window shows through (no compositing manager, the window cut to
    // the panel's shape), the material is drawn opaque and fills the whole widget.
    void setOpaqueBackground(bool opaque);

    TitleView* titleView() const { return title_; }
    QAbstractButton* settingsButton() const { return settingsButton_; }
    QAbstractButton* closeButton() const { return closeButton_; }
    DirectionIconWidget* directionIcon() const { return icon_; }
    // Null while the content has no card.
    AppCardWidget* card() const { return card_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::shared_ptr<DelegateLink> link_;
    PanelContent content_;
    bool hasContent_ = false;
    bool opaqueBackground_ = false;
    DirectionIconWidget* icon_;
    TitleView* title_;
    QAbstractButton* settingsButton_;
    QAbstractButton* closeButton_;
    AppCardWidget* card_ = nullptr;
};

}  // namespace kestrum::desktop
