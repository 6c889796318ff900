#include "kestrum/desktop/PanelContentWidget.hpp"

#include <QEasingCurve>
#include <QHBoxLayout>
#include <QAbstractTextDocumentLayout>
#include <QEvent>
#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QPainterPath>
#include <QVBoxLayout>
#include <QVariantAnimation>
#include <QtMath>
#include <cmath>

#include "SymbolWidgets.hpp"
#include "kestrum/desktop/AppCardWidget.hpp"

namespace kestrum::desktop {

QString titleHtml(const std::vector<StyledRun>& runs) {
    QString html = QStringLiteral("<span style=\"white-space: pre-wrap\">");
    for (const StyledRun& run : runs) {
        QString piece = QString::fromStdString(run.text).toHtmlEscaped();
        if (run.code) piece = QStringLiteral("<code>") + piece + QStringLiteral("</code>");
        if (run.emphasis) piece = QStringLiteral("<i>") + piece + QStringLiteral("</i>");
        if (run.strong) piece = QStringLiteral("<b>") + piece + QStringLiteral("</b>");
        if (run.link) {
            piece = QStringLiteral("<a href=\"") + QString::fromStdString(*run.link).toHtmlEscaped() +
                    QStringLiteral("\">") + piece + QStringLiteral("</a>");
        }
        html += piece;
    }
    html += QStringLiteral("</span>");
    return html;
}

QPainterPath panelShape(const QRectF& rect, qreal scale) {
    QPainterPath path;
    path.addRoundedRect(rect, PanelMetrics::cornerRadius * scale, PanelMetrics::cornerRadius * scale);
    return path;
}

// MARK: - Title

TitleView::TitleView(QWidget* parent) : QWidget(parent), document_(new QTextDocument(this)) {
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    document_->setDocumentMargin(0);
    QTextOption option = document_->defaultTextOption();
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    document_->setDefaultTextOption(option);
    document_->setDefaultFont(font());
}

TitleView::~TitleView() = default;

void TitleView::setHtml(const QString& html) {
    html_ = html;
    document_->setDefaultFont(font());
    document_->setHtml(html);
    updateGeometry();
    update();
}

QString TitleView::plainText() const { return document_->toPlainText(); }

void TitleView::layOut(int width) const {
    if (document_->textWidth() != width) document_->setTextWidth(width);
}

int TitleView::lineCount(int width) const {
    layOut(width);
    int lines = 0;
    for (QTextBlock block = document_->begin(); block.isValid(); block = block.next()) {
        if (const QTextLayout* layout = block.layout()) lines += layout->lineCount();
    }
    return lines;
}

int TitleView::heightForWidth(int width) const {
    layOut(std::max(1, width));
    return static_cast<int>(std::ceil(document_->size().height()));
}

QSize TitleView::sizeHint() const {
    const int idealWidth = static_cast<int>(std::ceil(document_->idealWidth()));
    return {idealWidth, heightForWidth(std::max(1, idealWidth))};
}

QSize TitleView::minimumSizeHint() const { return {0, 0}; }

void TitleView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    layOut(width());
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette = palette();
    context.palette.setColor(QPalette::Text, palette().color(QPalette::WindowText));
    document_->documentLayout()->draw(&painter, context);
}

void TitleView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) setHtml(html_);
}

// MARK: - Direction icon

DirectionIconWidget::DirectionIconWidget(QWidget* parent)
    : QWidget(parent),
      rotation_(target_.rotationDegrees),
      offsetY_(target_.offsetY),
      scale_(target_.scale),
      animation_(new QVariantAnimation(this)) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    animation_->setStartValue(0.0);
    animation_->setEndValue(1.0);
    animation_->setEasingCurve(QEasingCurve::InOutQuad);
}

DirectionIconWidget::~DirectionIconWidget() = default;

bool DirectionIconWidget::isAnimating() const { return animation_->state() == QAbstractAnimation::Running; }

QSize DirectionIconWidget::sizeHint() const {
    // Room for the symbol at its font size, its downward shift and its enlargement.
    const int side = PanelMetrics::directionIconFontSize + 6;
    return {side, side};
}

void DirectionIconWidget::setPose(const HeaderDirectionIconPose& pose, bool animated) {
    if (pose == target_ && !isAnimating()) return;
    target_ = pose;
    animation_->stop();
    QObject::disconnect(animation_, nullptr, this, nullptr);
    if (!animated || pose.animationSeconds <= 0) {
        rotation_ = pose.rotationDegrees;
        offsetY_ = pose.offsetY;
        scale_ = pose.scale;
        update();
        return;
    }
    const double fromRotation = rotation_;
    const double fromOffset = offsetY_;
    const double fromScale = scale_;
    animation_->setDuration(static_cast<int>(std::lround(pose.animationSeconds * 1000)));
    QObject::connect(animation_, &QVariantAnimation::valueChanged, this, [=, this](const QVariant& value) {
        const double p = value.toDouble();
        rotation_ = fromRotation + (target_.rotationDegrees - fromRotation) * p;
        offsetY_ = fromOffset + (target_.offsetY - fromOffset) * p;
        scale_ = fromScale + (target_.scale - fromScale) * p;
        update();
    });
    animation_->start();
}

void DirectionIconWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre = QRectF(rect()).center();
    painter.translate(centre.x(), centre.y() + offsetY_);
    painter.rotate(rotation_);
    painter.scale(scale_, scale_);
    const qreal side = PanelMetrics::directionIconFontSize;
    const QColor tint = palette().color(QPalette::Highlight);
    drawSymbol(painter, Symbol::arrowshapeUpFill, QRectF(-side / 2, -side / 2, side, side), tint,
               withOpacity(tint, 0.5));
}

// MARK: - Content

PanelContentWidget::PanelContentWidget(std::shared_ptr<DelegateLink> link, QWidget* parent)
    : QWidget(parent),
      link_(std::move(link)),
      icon_(new DirectionIconWidget(this)),
      title_(new TitleView(this)),
      settingsButton_(new SymbolButton(Symbol::gear, PanelMetrics::settingsSymbolFontSize,
                                       PanelMetrics::buttonSecondaryOpacity, this)),
      closeButton_(new SymbolButton(Symbol::xmarkCircleFill, PanelMetrics::closeSymbolFontSize,
                                    PanelMetrics::buttonSecondaryOpacity, this)) {
    setAttribute(Qt::WA_TranslucentBackground);

    QFont titleFont = title_->font();
    titleFont.setPixelSize(PanelMetrics::titleFontSize);
    title_->setFont(titleFont);

    settingsButton_->setObjectName(QStringLiteral("settingsButton"));
    closeButton_->setObjectName(QStringLiteral("closeButton"));
    settingsButton_->setToolTip(QString());
    QObject::connect(settingsButton_, &QAbstractButton::clicked, this, [this] {
        if (link_->delegate) link_->delegate->settingsButtonPressed();
    });
    QObject::connect(closeButton_, &QAbstractButton::clicked, this, [this] {
        if (link_->delegate) link_->delegate->closeButtonPressed();
    });

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(PanelMetrics::headerSpacing);
    buttons->addWidget(settingsButton_, 0, Qt::AlignTop);
    buttons->addWidget(closeButton_, 0, Qt::AlignTop);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(0, 0, 0, 0);
    header->setSpacing(PanelMetrics::headerSpacing);
    header->addWidget(icon_, 0, Qt::AlignTop);
    header->addWidget(title_, 1, Qt::AlignTop);
    header->addLayout(buttons);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(PanelMetrics::sidePadding, PanelMetrics::topPadding, PanelMetrics::sidePadding,
                               PanelMetrics::bottomPadding);
    column->setSpacing(PanelMetrics::columnSpacing);
    column->addLayout(header);
    column->addStretch(1);  // the content keeps its ideal height at the top of the panel
}

PanelContentWidget::~PanelContentWidget() = default;

void PanelContentWidget::setContent(const PanelContent& content) {
    // The controller announces every assignment, also of unchanged values (a moving settings
    // window makes one each step): the same content is not laid out and drawn again.
    if (hasContent_ && content == content_) return;
    const bool animateIcon = hasContent_ && isVisible();
    content_ = content;
    hasContent_ = true;

    icon_->setPose(content.icon, animateIcon);
    title_->setHtml(titleHtml(content.headerTitle));
    settingsButton_->setVisible(content.showsSettingsButton);

    auto* column = static_cast<QVBoxLayout*>(layout());
    if (content.card) {
        if (!card_) {
            card_ = new AppCardWidget(this);
            card_->setDragStateHandler([link = link_](bool dragging) {
                if (link->delegate) link->delegate->dragStateChanged(dragging);
            });
            column->insertWidget(1, card_);
            // A child added to a shown widget stays hidden until shown: the content is shown
            // (in its view) before the panel window itself, and the card counts in its size at once.
            card_->show();
        }
        card_->setCard(*content.card);
    } else if (card_) {
        column->removeWidget(card_);
        delete card_;
        card_ = nullptr;
    }
    column->invalidate();
    update();
}

int PanelContentWidget::fittingHeight(int width) const {
    QLayout* column = layout();
    column->activate();
    return column->totalHeightForWidth(width);
}

void PanelContentWidget::setOpaqueBackground(bool opaque) {
    opaqueBackground_ = opaque;
    update();
}

void PanelContentWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // A 1-point stroke centred on the edge of the inset shape stays inside the widget.
    const QPainterPath path = panelShape(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    const QColor material = palette().color(QPalette::Window);
    if (opaqueBackground_) {
        painter.fillRect(rect(), material);
    } else {
        painter.fillPath(path, withOpacity(material, PanelMetrics::materialOpacity));
    }
    QPen stroke(withOpacity(primaryForeground(*this), PanelMetrics::strokeOpacity), 1.0, Qt::SolidLine, Qt::FlatCap,
                Qt::MiterJoin);
    stroke.setMiterLimit(10);
    painter.strokePath(path, stroke);
}

}  // namespace kestrum::desktop
