// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>
#include <initializer_list>
#include <thread>

typedef struct _GstElement GstElement;

namespace vireo {

// Readies the media framework on a thread of its own while the window loads, so that the first video
// does not wait for it: the plugin registry, the libraries of the elements a stream plays through,
// and a connection to the sound server, kept while this lives so that every player shares it.
// Nothing here is needed: without it, the first player does the same work itself. Whatever the main
// thread does with GStreamer or loads meanwhile waits for the same locks, so it starts when told.
class MediaWarmup
{
public:
    MediaWarmup() = default;
    // Waits for the step under way, at most.
    ~MediaWarmup();
    // Once; later calls do nothing. Main thread only.
    void start();
    MediaWarmup(const MediaWarmup &) = delete;
    MediaWarmup &operator=(const MediaWarmup &) = delete;

private:
    void run();
    void make(std::initializer_list<const char *> names);

    std::atomic<bool> m_stop = false;
    GstElement *m_sound = nullptr;
    std::thread m_thread;
};

} // namespace vireo
