// SPDX-License-Identifier: MIT
#include "startup.h"

#include "playback/mediaplayer.h"
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
    // The application object sets the C library's locale from the environment.
    MediaPlayer::prepare();
}

} // namespace vireo
