// SPDX-License-Identifier: MIT
#pragma once

#include "playback/playermodel.h"

#include <QObject>
#include <QPointer>
#include <QQmlApplicationEngine>
#include <QQmlIncubationController>
#include <QQuickWindow>
#include <memory>
#include <vector>

namespace vireo {

// The window group: every window has its own view and its own model; the last one closed quits.
class VireoApp : public QObject
{
    Q_OBJECT
public:
    // Every window's model waits as long as `timing` says; a test may shorten it.
    explicit VireoApp(const PlayerModel::Timing &timing = {});
    ~VireoApp() override;

    // Before the application object exists and starts threads: the allocator's arenas, and the
    // graphics set-up (the embed view's WebEngine shares the windows' OpenGL context, and so can
    // start itself when the first embed view is made rather than with Vireo).
    static void prepare();

    [[nodiscard]] int windowCount() const { return int(m_windows.size()); }
    // The window of `model`, or the newest one when it has none; null when there is no window.
    [[nodiscard]] QQuickWindow *windowOf(const PlayerModel *model) const;

public Q_SLOTS:
    QQuickWindow *newWindow();
    // A new window that plays `link` at once, as if it had been typed and submitted; a window with
    // the remembered link when `link` is empty. A link's request starts first and its window follows
    // within moments (windowOpened), or openFailed when it cannot be made.
    void open(const QString &link);
    // Closes every window, and drops a link whose window has yet to come; the application ends once
    // their players have wound down.
    void quit();

Q_SIGNALS:
    void windowOpened(QQuickWindow *window, vireo::PlayerModel *model);
    void openFailed();
    void windowClosing(vireo::PlayerModel *model);

private Q_SLOTS:
    void windowClosed();

private:
    QQuickWindow *makeWindow(std::shared_ptr<PlayerModel> model);
    void present(std::shared_ptr<PlayerModel> model);
    void dropWaiting();
    void quitWhenQuiet(int attempts = 50);

    struct Window {
        QPointer<QQuickWindow> window;
        std::shared_ptr<PlayerModel> model; // the window's hold; a running request holds its own
    };

    const PlayerModel::Timing m_timing;
    QQmlApplicationEngine m_engine;
    // Detaches itself from the engine as it goes, first.
    const std::unique_ptr<QQmlIncubationController> m_incubation;
    std::vector<Window> m_windows;
    // Models of opened links whose windows wait for their requests' head start.
    std::vector<std::shared_ptr<PlayerModel>> m_waiting;
};

} // namespace vireo
