// SPDX-License-Identifier: MIT
#include "vireoapp.h"

#include <QGuiApplication>
#include <QQmlComponent>

using namespace Qt::StringLiterals;

namespace vireo {

VireoApp::VireoApp(const PlayerModel::Timing &timing)
    : m_timing(timing)
{
    m_engine.addImportPath(u"qrc:/qt/qml"_s);
}

VireoApp::~VireoApp()
{
    for (const Window &w : m_windows) {
        w.model->cancel();
        delete w.window;
    }
}

QQuickWindow *VireoApp::newWindow()
{
    auto model = PlayerModel::create(m_timing);
    QQmlEngine::setObjectOwnership(model.get(), QQmlEngine::CppOwnership);
    QQmlComponent component(&m_engine, QUrl(u"qrc:/qt/qml/Vireo/Main.qml"_s), QQmlComponent::PreferSynchronous);
    if (!component.isReady()) {
        qWarning().noquote() << component.errorString();
        return nullptr;
    }
    auto *window = qobject_cast<QQuickWindow *>(
        component.createWithInitialProperties({{u"model"_s, QVariant::fromValue(model.get())}}));
    if (!window) {
        qWarning().noquote() << component.errorString();
        return nullptr;
    }
    m_windows.push_back({window, std::move(model)});
    // Signals declared in QML are reached by name.
    connect(window, SIGNAL(newWindowRequested()), this, SLOT(newWindow()));
    connect(window, SIGNAL(windowClosed()), this, SLOT(windowClosed()));
    return window;
}

void VireoApp::windowClosed()
{
    auto *window = qobject_cast<QQuickWindow *>(sender());
    const auto it = std::find_if(m_windows.begin(), m_windows.end(), [&](const Window &w) { return w.window == window; });
    if (it == m_windows.end())
        return;
    // The request may outlive the window, but it must neither play nor keep a player going.
    it->model->cancel();
    // The window's hold ends with the window itself, so its bindings never see the model go first.
    connect(window, &QObject::destroyed, [hold = std::move(it->model)] {});
    m_windows.erase(it);
    window->deleteLater();
    if (m_windows.empty())
        QCoreApplication::quit();
}

} // namespace vireo
