// SPDX-License-Identifier: MIT
#include "captions.h"

#include "settings.h"

using namespace Qt::StringLiterals;

namespace vireo {
namespace {

bool automatic(const CaptionTrack &track)
{
    return track.label.contains(u"auto-generated"_s, Qt::CaseInsensitive);
}

} // namespace

void Captions::show(const QList<CaptionTrack> &tracks, std::shared_ptr<Attempt> source, MediaPlayer *player)
{
    m_source = std::move(source);
    if (m_player)
        disconnect(m_player, nullptr, this, nullptr);
    m_player = player;
    if (player)
        connect(player, &MediaPlayer::positionChanged, this, &Captions::update);
    m_tracks = tracks;
    m_last = -1;
    Q_EMIT tracksChanged();

    // The preferred language, written by a person before one made by machine.
    const QString language = Settings::instance().captionLanguage();
    int preferred = -1;
    for (qsizetype i = 0; i < tracks.size() && !language.isEmpty(); ++i)
        if (tracks[i].languageCode == language && (preferred < 0 || (automatic(tracks[preferred]) && !automatic(tracks[i]))))
            preferred = int(i);
    // The preference stays as it is: a video without that language keeps it for the next one.
    select(preferred);
}

QStringList Captions::labels() const
{
    QStringList labels;
    for (const CaptionTrack &track : m_tracks)
        labels.append(track.label);
    return labels;
}

void Captions::choose(int index)
{
    select(index);
    Settings::instance().setCaptionLanguage(m_chosen >= 0 ? m_tracks[m_chosen].languageCode : QString());
}

void Captions::select(int index)
{
    if (m_loading)
        m_loading->cancel();
    m_chosen = index >= 0 && index < m_tracks.size() ? index : -1;
    m_failed = false;
    m_cues.clear();
    if (m_chosen >= 0) {
        m_last = m_chosen;
        m_loading = std::make_shared<Cancellation>();
        load(m_tracks[m_chosen].url, m_loading);
    }
    Q_EMIT chosenChanged();
    update();
}

void Captions::toggle()
{
    if (!m_tracks.isEmpty())
        choose(m_chosen >= 0 ? -1 : std::max(m_last, 0));
}

QCoro::Task<> Captions::load(QUrl url, CancelToken cancel)
{
    const QPointer self(this);
    const std::shared_ptr<Attempt> source = m_source; // another video may take its place meanwhile
    const auto cues = co_await source->captions(url, cancel);
    if (!self || cancel->isCancelled())
        co_return;
    if (cues) {
        m_cues = *cues;
        update();
    } else {
        m_failed = true;
        Q_EMIT chosenChanged();
    }
}

void Captions::update()
{
    const qint64 at = m_player ? m_player->position() : 0;
    QStringList showing; // cues may overlap
    for (const Cue &cue : std::as_const(m_cues))
        if (cue.start <= at && at < cue.end)
            showing.append(cue.text);
    if (const QString text = showing.join(u'\n'); text != m_text) {
        m_text = text;
        Q_EMIT textChanged();
    }
}

} // namespace vireo
