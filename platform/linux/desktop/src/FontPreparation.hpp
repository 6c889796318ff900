#pragma once
// The panel's first text needs fontconfig's configuration and font caches, and Qt's font database
// made from them, which Qt would otherwise read only then, on the main thread, before the line.
// They are read on another thread while Qt starts and the flow begins, and the first panel waits
// for what is left.
namespace kestrum::desktop::fonts {

// Starts reading fontconfig's configuration; before the QApplication is made. Without a thread
// to spare nothing happens, and Qt reads everything itself when it needs it.
void beginPreparing();
// The QApplication exists: the thread goes on with Qt's font database.
void applicationStarted();
// Returns once what was begun is done (or after as long as a start-up may stand still); before
// the first text is laid out.
void awaitPrepared();

}  // namespace kestrum::desktop::fonts
