#include "ui/font_preload.h"

#include <QLibrary>

// Qt's font database on Linux is built on fontconfig, which Qt loads with
// its GUI library; looked up there, it needs no headers of its own. The
// look-up itself takes a millisecond or two, so it runs on the thread too.
FontPreload::FontPreload()
    : thread_([] {
          using FcInit = int (*)();
          if (const auto init = reinterpret_cast<FcInit>(QLibrary::resolve(QStringLiteral("fontconfig"), 1, "FcInit")))
              init();
      })
{
}

void FontPreload::wait()
{
    if (thread_.joinable())
        thread_.join();
}
