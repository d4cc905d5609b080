// SPDX-License-Identifier: MIT
#pragma once

#include "playback/mediawarmup.h"

#include <QGuiApplication>

namespace vireo {

class VireoApp;

// The start of every process that shows Vireo's windows (the executable, the window test, the
// benchmarks): the graphics set-up the windows need, the application object, and the media warm-up.
class Startup
{
public:
    Startup(int &argc, char **argv);

    // The warm-up's second step follows the first window of `windows` on screen.
    void warmUpAfter(const VireoApp &windows);

private:
    // First, so that the plugin registry loads beside the application object.
    MediaWarmup m_warmup;
    QGuiApplication m_app;
};

} // namespace vireo
