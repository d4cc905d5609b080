// SPDX-License-Identifier: MIT
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QUrl>
#include <mpv/client.h>

// A sound stream of its own for the file `mpv` loads. As a string the list would split at "http:".
inline void addSoundStream(mpv_handle *mpv, QByteArray address)
{
    mpv_node item{{.string = address.data()}, MPV_FORMAT_STRING};
    mpv_node_list list{1, &item, nullptr};
    mpv_node files{{.list = &list}, MPV_FORMAT_NODE_ARRAY};
    mpv_set_option(mpv, "audio-files", MPV_FORMAT_NODE, &files);
}

// A bare mpv core, paused and without output, loaded with `video` (and `audio` as a sound stream of
// its own if given), with or without sound: `clock`'s milliseconds at its first decoded picture. The
// stand-in server answers on this thread meanwhile.
inline double bareFirstPicture(const QElapsedTimer &clock, const QUrl &video, bool withSound, const QUrl &audio = {})
{
    mpv_handle *mpv = mpv_create();
    for (const auto &[name, value] : {std::pair("vo", "null"), {"ao", withSound ? "pulse" : "null"}, {"pause", "yes"},
                                      {"config", "no"}, {"ytdl", "no"}, {"load-scripts", "no"}, {"tls-verify", "yes"}})
        mpv_set_option_string(mpv, name, value);
    if (!audio.isEmpty())
        addSoundStream(mpv, audio.toEncoded());
    mpv_initialize(mpv);
    const QByteArray url = video.toEncoded();
    const char *command[] = {"loadfile", url.constData(), nullptr};
    mpv_command(mpv, command);
    while (clock.elapsed() < 20000 && mpv_wait_event(mpv, 0)->event_id != MPV_EVENT_PLAYBACK_RESTART)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    const double ms = clock.nsecsElapsed() / 1e6;
    mpv_terminate_destroy(mpv);
    return ms;
}
