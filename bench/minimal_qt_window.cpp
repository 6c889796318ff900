// The floor for authorize's start-to-line time: a Qt Widgets program that shows one window,
// writes one line to standard output and keeps running, and nothing else.
#include <QApplication>
#include <QWidget>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QWidget window;
    window.resize(420, 136);
    window.show();
    std::fputs("{\"success\":true,\"kind\":\"accessibility\",\"status\":\"granted\"}\n", stdout);
    std::fflush(stdout);
    return QApplication::exec();
}
