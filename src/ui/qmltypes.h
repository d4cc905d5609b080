// SPDX-License-Identifier: MIT
#pragma once

#include "playback/mediaplayer.h"
#include "playback/playermodel.h"

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

struct HistoryForeign {
    Q_GADGET
    QML_FOREIGN(vireo::History)
    QML_NAMED_ELEMENT(History)
    QML_UNCREATABLE("There is one, shared by every window.")
};
