// SPDX-License-Identifier: MIT
#include "startup.h"

#include "vireoapp.h"

namespace vireo {
namespace {

// The graphics set-up takes effect only before the application object exists.
int &prepared(int &argc)
{
    VireoApp::prepare();
    return argc;
}

} // namespace

Startup::Startup(int &argc, char **argv)
    : m_app(prepared(argc), argv)
{
}

void Startup::warmUpAfter(const VireoApp &windows)
{
    // Not before: until the window is on screen, the main thread and a link's stream need both
    // cores and the same locks.
    QObject::connect(&windows, &VireoApp::windowShown, &windows, [this] { m_warmup.start(); });
}

} // namespace vireo
