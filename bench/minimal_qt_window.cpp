// The floors for authorize's start-to-line time and memory: a Qt Widgets program that shows one
// window, writes one line to standard output and keeps running, and nothing else.
//
// With --text the window also holds labels with the texts of authorize's panel in English, in
// the panel's sizes and weights (the title in rich text, wrapped at the panel's width; the card's
// name; its light "Drag" hint), laid out before the line as the panel's are: the floor for a
// window whose size depends on its text, which needs the fonts found and the text shaped.
#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdio>
#include <cstring>

namespace {

QLabel* label(const QString& text, int pixelSize, QFont::Weight weight, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    label->setFont(font);
    return label;
}

}  // namespace

int main(int argc, char** argv) {
    const bool withText = argc > 1 && std::strcmp(argv[1], "--text") == 0;
    QApplication application(argc, argv);
    QWidget window;
    window.resize(420, 136);
    if (withText) {
        auto* column = new QVBoxLayout(&window);
        QLabel* title = label(QStringLiteral("Drag <b>Tazel</b> to the list above to allow <b>Accessibility</b>."), 14,
                              QFont::Normal, &window);
        title->setWordWrap(true);
        column->addWidget(title);
        column->addWidget(label(QStringLiteral("Tazel"), 16, QFont::Normal, &window));
        column->addWidget(label(QStringLiteral("Drag"), 8, QFont::Light, &window));
        // The size the text needs, before the line, as the panel's fitting height is.
        window.resize(420, column->totalHeightForWidth(420));
    }
    window.show();
    std::fputs("{\"success\":true,\"kind\":\"accessibility\",\"status\":\"granted\"}\n", stdout);
    std::fflush(stdout);
    return QApplication::exec();
}
