// SPDX-License-Identifier: MIT
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QtQuick.Window
import Vireo

// A window's main view: the link bar, the player area, and the title and status rows.
Pane {
    id: root

    required property PlayerModel model
    readonly property bool fullScreen: Window.window !== null && Window.window.visibility === Window.FullScreen

    function setFullScreen(on: bool) {
        const window = Window.window
        if (!window)
            return
        if (on)
            window.showFullScreen()
        else if (window.visibility === Window.FullScreen)
            window.showNormal()
    }
    // Made when first asked for, not with the window.
    function openSettings() {
        if (settings.item)
            settings.item.open()
        else
            settings.setSource("SettingsDialog.qml")
    }

    padding: fullScreen ? 0 : 12
    // The window's own colour, which leaves the video's picture under the scene uncovered.
    background: null

    Shortcut {
        sequence: "Ctrl+L"
        onActivated: linkBar.focusLink()
    }
    Shortcut {
        sequence: "Ctrl+,"
        onActivated: root.openSettings()
    }
    Loader {
        id: settings
        onLoaded: item.open()
    }

    // A link dropped on the window plays in it, as if typed.
    DropArea {
        anchors.fill: parent
        onDropped: drop => {
            const link = drop.hasUrls ? drop.urls[0].toString() : drop.text
            if (link === "")
                return
            drop.accept(Qt.CopyAction)
            root.model.urlText = link
            root.model.play()
        }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: root.fullScreen ? 0 : 10

        LinkBar {
            id: linkBar
            Layout.fillWidth: true
            visible: !root.fullScreen
            model: root.model
            onSettingsRequested: root.openSettings()
        }
        PlayerArea {
            Layout.fillWidth: true
            Layout.fillHeight: true
            model: root.model
            fullScreen: root.fullScreen
            onFullScreenSet: on => root.setFullScreen(on)
        }
        InfoRows {
            Layout.fillWidth: true
            visible: !root.fullScreen
            model: root.model
        }
    }
}
