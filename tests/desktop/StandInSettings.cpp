// A stand-in for the settings application on an X11 desktop, for the end-to-end tests and the
// screenshots: a window of the settings application's class with a sidebar and a permission
// list that accepts dropped applications. Each drop is written to standard output:
//   drop possible=<actions> action=<action>
//   <mime type>=<data, with \r, \n and \\ escaped>     (one line for every offered type)
//   end
// "ready" is written once the window is on screen.
//
//   kestrum_stand_in_settings [--frame X,Y,W,H] [--pane TEXT]
//   kestrum_stand_in_settings --grab FILE.png [--crop X,Y,W,H]   (saves the screen and ends)
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <cstdio>

namespace {

QString escaped(const QByteArray& bytes) {
    QString text;
    for (const char c : bytes) {
        if (c == '\r') text += QStringLiteral("\\r");
        else if (c == '\n') text += QStringLiteral("\\n");
        else if (c == '\\') text += QStringLiteral("\\\\");
        else text += QChar::fromLatin1(c);
    }
    return text;
}

QString actionNames(Qt::DropActions actions) {
    QStringList names;
    if (actions & Qt::CopyAction) names << QStringLiteral("copy");
    if (actions & Qt::MoveAction) names << QStringLiteral("move");
    if (actions & Qt::LinkAction) names << QStringLiteral("link");
    return names.isEmpty() ? QStringLiteral("none") : names.join(QLatin1Char('|'));
}

void writeLine(const QString& line) {
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

std::optional<QRect> rectArgument(const QString& text) {
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4) return std::nullopt;
    return QRect(parts[0].toInt(), parts[1].toInt(), parts[2].toInt(), parts[3].toInt());
}

class SettingsWindow : public QWidget {
public:
    SettingsWindow(QString pane) : pane_(std::move(pane)) {
        setAcceptDrops(true);
        setWindowTitle(QStringLiteral("System Settings"));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillRect(rect(), QColor(0xF5, 0xF5, 0xF7));
        // The sidebar, as wide as the real one.
        const QRect sidebar(0, 0, 230, height());
        painter.fillRect(sidebar, QColor(0xE4, 0xE4, 0xE8));
        QFont font = painter.font();
        font.setPixelSize(13);
        painter.setFont(font);
        const QStringList sections{QStringLiteral("Wi-Fi"), QStringLiteral("Bluetooth"), QStringLiteral("Network"),
                                   QStringLiteral("Notifications"), QStringLiteral("Sound"),
                                   QStringLiteral("Privacy & Security"), QStringLiteral("Desktop & Dock"),
                                   QStringLiteral("Displays")};
        int y = 48;
        for (const QString& section : sections) {
            const QRect row(12, y, 206, 26);
            if (section.startsWith(QStringLiteral("Privacy"))) {
                painter.setBrush(QColor(0x0A, 0x84, 0xFF));
                painter.setPen(Qt::NoPen);
                painter.drawRoundedRect(row, 6, 6);
                painter.setPen(Qt::white);
            } else {
                painter.setPen(QColor(0x1D, 0x1D, 0x1F));
            }
            painter.drawText(row.adjusted(10, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, section);
            y += 30;
        }
        // The permission list with what was dropped into it.
        painter.setPen(QColor(0x1D, 0x1D, 0x1F));
        font.setPixelSize(20);
        font.setBold(true);
        painter.setFont(font);
        painter.drawText(QRect(254, 20, width() - 278, 32), Qt::AlignVCenter | Qt::AlignLeft, pane_);
        font.setPixelSize(13);
        font.setBold(false);
        painter.setFont(font);
        const QRect list(254, 64, width() - 278, std::max(44, 30 * static_cast<int>(apps_.size()) + 44));
        painter.setBrush(Qt::white);
        painter.setPen(QColor(0xD8, 0xD8, 0xDC));
        painter.drawRoundedRect(list, 10, 10);
        painter.setPen(QColor(0x6E, 0x6E, 0x73));
        int row = list.top() + 8;
        for (const QString& app : apps_) {
            painter.setPen(QColor(0x1D, 0x1D, 0x1F));
            painter.drawText(QRect(list.left() + 14, row, list.width() - 28, 28), Qt::AlignVCenter, app);
            row += 30;
        }
        painter.setPen(QColor(0x6E, 0x6E, 0x73));
        painter.drawText(QRect(list.left() + 14, row, list.width() - 28, 28), Qt::AlignVCenter, QStringLiteral("+  −"));
    }

    void dragEnterEvent(QDragEnterEvent* event) override {
        if (event->mimeData()->hasFormat(QStringLiteral("text/uri-list"))) event->acceptProposedAction();
    }
    void dragMoveEvent(QDragMoveEvent* event) override { event->acceptProposedAction(); }

    void dropEvent(QDropEvent* event) override {
        const QMimeData* data = event->mimeData();
        writeLine(QStringLiteral("drop possible=") + actionNames(event->possibleActions()) + QStringLiteral(" action=") +
                  actionNames(event->proposedAction()));
        for (const QString& format : data->formats()) {
            writeLine(format + QLatin1Char('=') + escaped(data->data(format)));
        }
        writeLine(QStringLiteral("end"));
        for (const QUrl& url : data->urls()) apps_ << url.fileName();
        event->acceptProposedAction();
        update();
    }

private:
    QString pane_;
    QStringList apps_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    // The class name the helper follows.
    QApplication::setApplicationName(QStringLiteral("com.apple.systempreferences"));
    const QStringList arguments = QApplication::arguments();
    auto value = [&](const QString& name) -> QString {
        const auto at = arguments.indexOf(name);
        return at >= 0 && at + 1 < arguments.size() ? arguments[at + 1] : QString();
    };

    if (const QString file = value(QStringLiteral("--grab")); !file.isEmpty()) {
        QScreen* screen = QGuiApplication::primaryScreen();
        QPixmap shot = screen->grabWindow(0);
        if (const auto crop = rectArgument(value(QStringLiteral("--crop")))) {
            shot = shot.copy(QRect(crop->topLeft() * shot.devicePixelRatio(), crop->size() * shot.devicePixelRatio()));
        }
        return shot.save(file) ? 0 : 1;
    }

    const QString pane = value(QStringLiteral("--pane"));
    SettingsWindow window(pane.isEmpty() ? QStringLiteral("Accessibility") : pane);
    window.setGeometry(rectArgument(value(QStringLiteral("--frame"))).value_or(QRect(100, 50, 900, 600)));
    window.show();
    QTimer::singleShot(0, &window, [] { writeLine(QStringLiteral("ready")); });
    return QApplication::exec();
}
