#include "ui/font_preload.h"

#include <QLibrary>

// Qt's font database on Linux is built on fontconfig, which Qt loads with
// its GUI library; looked up there, it needs no headers of its own.
FontPreload::FontPreload()
{
    using FcInit = int (*)();
    if (const auto init = reinterpret_cast<FcInit>(QLibrary::resolve(QStringLiteral("fontconfig"), 1, "FcInit")))
        thread_ = std::thread(init);
}

void FontPreload::wait()
{
    if (thread_.joinable())
        thread_.join();
}
