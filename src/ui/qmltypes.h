// SPDX-License-Identifier: MIT
#pragma once

#include "playback/history.h"
#include "playback/mediaplayer.h"
#include "playback/playermodel.h"
#include "playback/settings.h"

#include <QJSEngine>
#include <QtQml/qqml.h>

// The core library knows nothing of QML; these make its types known to the views by name.
struct PlayerModelForeign {
    Q_GADGET
    QML_FOREIGN(vireo::PlayerModel)
    QML_NAMED_ELEMENT(PlayerModel)
    QML_UNCREATABLE("Each window's model is made by the application.")
};

struct MediaPlayerForeign {
    Q_GADGET
    QML_FOREIGN(vireo::MediaPlayer)
    QML_NAMED_ELEMENT(StreamPlayer)
    QML_UNCREATABLE("Players are made by the model.")
};

struct CaptionsForeign {
    Q_GADGET
    QML_FOREIGN(vireo::Captions)
    QML_NAMED_ELEMENT(Captions)
    QML_UNCREATABLE("Each model has its own.")
};

struct ChaptersForeign {
    Q_GADGET
    QML_FOREIGN(vireo::Chapters)
    QML_NAMED_ELEMENT(Chapters)
    QML_UNCREATABLE("Each model has its own.")
};

struct SegmentsForeign {
    Q_GADGET
    QML_FOREIGN(vireo::Segments)
    QML_NAMED_ELEMENT(Segments)
    QML_UNCREATABLE("Each model has its own.")
};

struct NowPlayingForeign {
    Q_GADGET
    QML_FOREIGN(vireo::NowPlaying)
    QML_NAMED_ELEMENT(NowPlaying)
    QML_UNCREATABLE("Each model has its own.")
};

struct PlaylistForeign {
    Q_GADGET
    QML_FOREIGN(vireo::Playlist)
    QML_NAMED_ELEMENT(Playlist)
    QML_UNCREATABLE("Each model has its own.")
};

// The process's one store of each, shared by every window; the engine never owns them.
template<typename T>
T *shared(QJSEngine *engine)
{
    T *object = &T::instance();
    engine->setObjectOwnership(object, QJSEngine::CppOwnership);
    return object;
}

struct HistoryForeign {
    Q_GADGET
    QML_FOREIGN(vireo::History)
    QML_NAMED_ELEMENT(History)
    QML_SINGLETON
public:
    static vireo::History *create(QQmlEngine *, QJSEngine *engine) { return shared<vireo::History>(engine); }
};

struct SettingsForeign {
    Q_GADGET
    QML_FOREIGN(vireo::Settings)
    QML_NAMED_ELEMENT(Settings)
    QML_SINGLETON
public:
    static vireo::Settings *create(QQmlEngine *, QJSEngine *engine) { return shared<vireo::Settings>(engine); }
};
