#pragma once

#include <thread>

// Loads fontconfig's configuration and font caches on a second thread. The
// first text a window measures needs them, and reading them takes longer
// than anything else before the window appears; begun as the program
// starts, they load while Qt connects to the display. Call wait() as soon
// as the QApplication exists: before any widget, so that fontconfig is not
// set up twice, and before anything that may end the program.
class FontPreload {
public:
    FontPreload();
    ~FontPreload() { wait(); }
    FontPreload(const FontPreload &) = delete;
    FontPreload &operator=(const FontPreload &) = delete;

    void wait();

private:
    std::thread thread_;
};
