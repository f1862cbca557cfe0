#include "ui/font_preload.h"

#include <dlfcn.h>

// Qt's font database on Linux is built on fontconfig, which the GUI library
// brings into the process: looked up there, it needs no headers or linking
// of its own. The thread calls nothing of Qt's: the first thread to touch
// Qt's thread data would become its main thread.
FontPreload::FontPreload()
    : thread_([] {
          using FcInit = int (*)();
          if (const auto init = reinterpret_cast<FcInit>(dlsym(RTLD_DEFAULT, "FcInit")))
              init();
      })
{
}

void FontPreload::wait()
{
    if (thread_.joinable())
        thread_.join();
}
