#include "kestrum/desktop/AppCardWidget.hpp"

#include <QCoreApplication>
#include <QDrag>
#include <QHBoxLayout>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include <cmath>

#include "SymbolWidgets.hpp"

namespace kestrum::desktop {
namespace {

// The application's icon, clipped to its rounded square.
class AppIconView : public QWidget {
public:
    explicit AppIconView(QWidget* parent) : QWidget(parent) {
        setFixedSize(CardMetrics::iconSize, CardMetrics::iconSize);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    void setName(const QString& name) {
        name_ = name;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath clip;
        clip.addRoundedRect(QRectF(rect()), CardMetrics::iconCornerRadius, CardMetrics::iconCornerRadius);
        painter.setClipPath(clip);
        painter.drawPixmap(rect(), applicationIcon(name_, CardMetrics::iconSize, devicePixelRatioF(),
                                                   palette().color(QPalette::Highlight)));
    }

private:
    QString name_;
};

Point pointFrom(const QPointF& point) { return Point{point.x(), point.y()}; }

Qt::DropAction dropAction(DragOperation operation) {
    return operation == DragOperation::copy ? Qt::CopyAction : Qt::IgnoreAction;
}

}  // namespace

QMimeData* makeDragMimeData(const AppBundlePasteboardWriter& writer) {
    auto* data = new QMimeData;
    if (const auto fileURL = writer.pasteboardPropertyList(kPasteboardTypeFileURL)) {
        data->setUrls({QUrl(QString::fromStdString(*fileURL))});
    }
    if (const auto path = writer.pasteboardPropertyList(kPasteboardTypeString)) {
        data->setText(QString::fromStdString(*path));
    }
    return data;
}

AppCardWidget::AppCardWidget(QWidget* parent)
    : QWidget(parent), iconView_(new AppIconView(this)), name_(new QLabel(this)), hint_(new QLabel(this)) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setCursor(Qt::OpenHandCursor);

    QFont nameFont = name_->font();
    nameFont.setPixelSize(CardMetrics::nameFontSize);
    nameFont.setWeight(QFont::Normal);
    name_->setFont(nameFont);
    name_->setTextFormat(Qt::PlainText);

    auto* hintSymbol = new SymbolView(Symbol::handDraw, CardMetrics::hintSymbolFontSize, this);
    QFont hintFont = hint_->font();
    hintFont.setPixelSize(CardMetrics::hintLabelFontSize);
    hintFont.setWeight(QFont::Light);
    hint_->setFont(hintFont);
    hint_->setTextFormat(Qt::PlainText);
    hint_->setAlignment(Qt::AlignHCenter);
    for (QWidget* secondary : {static_cast<QWidget*>(hintSymbol), static_cast<QWidget*>(hint_)}) {
        QPalette palette = secondary->palette();
        palette.setColor(QPalette::WindowText, secondaryForeground(*this));
        secondary->setPalette(palette);
        secondary->setForegroundRole(QPalette::WindowText);
    }
    // Every press inside the card belongs to the card itself.
    for (QWidget* child : {iconView_, static_cast<QWidget*>(name_), static_cast<QWidget*>(hint_),
                           static_cast<QWidget*>(hintSymbol)}) {
        child->setAttribute(Qt::WA_TransparentForMouseEvents);
    }

    auto* nameStack = new QVBoxLayout;
    nameStack->setContentsMargins(0, 0, 0, 0);
    nameStack->setSpacing(CardMetrics::nameStackSpacing);
    nameStack->addWidget(name_);

    auto* hintStack = new QVBoxLayout;
    hintStack->setContentsMargins(0, 0, CardMetrics::hintTrailingPadding, 0);
    hintStack->setSpacing(0);
    hintStack->addStretch(1);
    hintStack->addWidget(hintSymbol, 0, Qt::AlignHCenter);
    hintStack->addWidget(hint_, 0, Qt::AlignHCenter);
    hintStack->addStretch(1);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(CardMetrics::padding, CardMetrics::padding, CardMetrics::padding, CardMetrics::padding);
    row->setSpacing(CardMetrics::spacing);
    row->addWidget(iconView_, 0, Qt::AlignVCenter);
    row->addLayout(nameStack);
    row->addStretch(1);
    row->addLayout(hintStack);
}

AppCardWidget::~AppCardWidget() = default;

void AppCardWidget::setDragStateHandler(std::function<void(bool)> handler) {
    dragStateHandler_ = std::move(handler);
    if (source_) source_->onDragStateChange = dragStateHandler_;
}

void AppCardWidget::setCard(const AppCardContent& card) {
    card_ = card;
    if (!source_) {
        source_ = std::make_unique<AppDragSource>(card.url);
        source_->onDragStateChange = dragStateHandler_;
    } else {
        source_->setURL(card.url);
    }
    const QString name = QString::fromStdString(card.name);
    static_cast<AppIconView*>(iconView_)->setName(name);
    name_->setText(name);
    hint_->setText(QString::fromStdString(card.dragLabel));
    hint_->setVisible(!card.dragLabel.empty());
    updateGeometry();
    update();
}

int AppCardWidget::contentHeight() const { return layout()->sizeHint().height(); }

int AppCardWidget::intrinsicHeight() const {
    return static_cast<int>(std::ceil(AppDragSource::intrinsicHeight(contentHeight())));
}

QSize AppCardWidget::sizeHint() const { return {layout()->sizeHint().width(), intrinsicHeight()}; }

QSize AppCardWidget::minimumSizeHint() const { return {layout()->minimumSize().width(), intrinsicHeight()}; }

QRect AppCardWidget::cardRect() const {
    const int height = std::min(contentHeight(), this->height());
    return QRect(0, (this->height() - height) / 2, width(), height);
}

void AppCardWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(cardRect()).adjusted(0.5, 0.5, -0.5, -0.5), CardMetrics::cornerRadius,
                        CardMetrics::cornerRadius);
    painter.fillPath(path, withOpacity(palette().color(QPalette::Window), CardMetrics::backgroundOpacity));
    painter.strokePath(path, QPen(withOpacity(primaryForeground(*this), CardMetrics::strokeOpacity), 1.0));
}

}  // namespace kestrum::desktop

namespace kestrum::desktop {

void AppCardWidget::mousePressEvent(QMouseEvent* event) {
    if (source_ && event->button() == Qt::LeftButton) source_->mouseDown(pointFrom(event->position()));
}

void AppCardWidget::mouseMoveEvent(QMouseEvent* event) {
    if (!source_ || !(event->buttons() & Qt::LeftButton)) return;
    if (auto start = source_->mouseDragged(pointFrom(event->position()))) beginDrag(*start);
}

void AppCardWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (source_ && event->button() == Qt::LeftButton) source_->mouseUp();
}

void AppCardWidget::beginDrag(const AppDragStart& start) {
    // Made with the card as its source; the platform's drag takes it over (below).
    auto* drag = new QDrag(this);
    drag->setMimeData(makeDragMimeData(start.writer));
    const int side = static_cast<int>(std::lround(start.imageFrame.width()));
    drag->setPixmap(applicationIcon(QString::fromStdString(card_ ? card_->name : std::string()), side, devicePixelRatioF(),
                                    palette().color(QPalette::Highlight)));
    // The image's frame is centred on the pointer where the drag began.
    const Point pressed{start.imageFrame.midX(), start.imageFrame.midY()};
    drag->setHotSpot(QPoint(static_cast<int>(std::lround(pressed.x - start.imageFrame.minX())),
                            static_cast<int>(std::lround(pressed.y - start.imageFrame.minY()))));
    // A drop target is in another application; the modifier keys change nothing when only one
    // operation is offered.
    const Qt::DropAction offered = dropAction(AppDragSource::sourceOperationMask(DraggingContext::outsideApplication));

    source_->draggingSessionWillBegin();
    runningDrag_ = true;
    if (runDrag_) {
        runDrag_(*drag);
    } else {
        drag->exec(offered, offered);
    }
    runningDrag_ = false;
    source_->draggingSessionEnded();
    if (runDrag_) {
        drag->deleteLater();
    } else {
        // The platform's drag owns the object now: on X11 the target asks for the data only after
        // the drop, so the drag and its data live on until the target has said it finished (or
        // gave up), and the platform deletes them then. They must outlive this card, which may
        // go at any time now.
        drag->setParent(QCoreApplication::instance());
    }
    // The panel was dropped while the drag ran: its window waited for the drag to finish.
    if (retiredWindow_) retiredWindow_->deleteLater();
}

}  // namespace kestrum::desktop
