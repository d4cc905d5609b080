// SPDX-License-Identifier: MIT
#pragma once

#include <QGuiApplication>

namespace vireo {

// The start of every process that shows Vireo's windows (the executable, the window test, the
// benchmarks): the graphics set-up the windows need, the application object, and what the player
// needs of the process before any thread starts.
class Startup
{
public:
    Startup(int &argc, char **argv);

private:
    QGuiApplication m_app;
};

} // namespace vireo
