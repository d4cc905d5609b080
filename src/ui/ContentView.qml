// SPDX-License-Identifier: MIT
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QtQuick.Window
import Vireo

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

    padding: fullScreen ? 0 : 12

    Shortcut {
        sequence: "Ctrl+L"
        onActivated: {
            field.forceActiveFocus()
            field.selectAll()
        }
    }
    Shortcut {
        sequence: "Ctrl+,"
        onActivated: root.openSettings()
    }
    // Made when first asked for, not with the window.
    function openSettings() {
        if (settings.item)
            settings.item.open()
        else
            settings.setSource("SettingsDialog.qml", { model: root.model })
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

        RowLayout {
            Layout.fillWidth: true
            visible: !root.fullScreen
            spacing: 6

            TextField {
                id: field
                objectName: "linkField"
                Layout.fillWidth: true
                focus: true
                placeholderText: qsTr("Paste a YouTube URL")
                text: root.model.urlText
                selectByMouse: true
                onTextEdited: root.model.urlText = text
                onAccepted: root.model.play()
                Keys.onDownPressed: recent.open()

                RecentLinks {
                    id: recent
                    y: field.height
                    width: field.width
                    history: root.model.history
                    onChosen: link => {
                        root.model.urlText = link
                        root.model.play()
                    }
                }
            }
            ToolButton {
                objectName: "recentButton"
                text: "▾"
                enabled: root.model.history.links.length > 0
                Accessible.name: qsTr("Recent links")
                onClicked: recent.open()
                ToolTip.text: qsTr("Recent links (Down)")
                ToolTip.visible: hovered
            }
            Button {
                objectName: "playButton"
                text: qsTr("Play")
                highlighted: true
                onClicked: root.model.play()
            }
            Button {
                objectName: "retryButton"
                text: qsTr("Retry")
                enabled: root.model.urlText !== ""
                onClicked: root.model.play()
            }
            Button {
                objectName: "browserButton"
                text: qsTr("Open in browser")
                enabled: Links.hasVideoID(root.model.urlText)
                onClicked: Links.openInBrowser(root.model.browserURL, root.model.urlText)
            }
            ToolButton {
                objectName: "settingsButton"
                text: "⚙"
                font.pixelSize: 18
                Accessible.name: qsTr("Settings")
                onClicked: root.openSettings()
                ToolTip.text: qsTr("Settings (Ctrl+,)")
                ToolTip.visible: hovered
            }
        }

        Rectangle {
            id: playerArea
            objectName: "playerArea"
            Layout.fillWidth: true
            Layout.fillHeight: true
            color: "black"
            clip: true

            // Made with the window and kept for every video: see VireoApp::makeWindow.
            VideoSurface {
                anchors.fill: parent
                visible: root.model.modeKind === PlayerModel.Native
                model: root.model
                fullScreen: root.fullScreen
                // An accepted video takes the keyboard, so its keys work at once.
                onVisibleChanged: if (visible) forceActiveFocus()
                onFullScreenToggled: root.setFullScreen(!root.fullScreen)
                onFullScreenLeft: root.setFullScreen(false)
            }

            // The embed's module (WebEngine's) loads when first needed, not before the window shows.
            Loader {
                id: embedLoader
                objectName: "embedLoader"
                anchors.fill: parent
                active: root.model.modeKind === PlayerModel.Embed
                onActiveChanged: {
                    if (active)
                        setSource("EmbedView.qml", { videoID: root.model.embedVideoID, start: root.model.startTime })
                    else
                        source = ""
                }
            }
            Connections {
                target: embedLoader.item
                ignoreUnknownSignals: true
                function onResult(ok: bool) { root.model.embedResult(ok) }
                function onFullScreenRequested(on: bool) { root.setFullScreen(on) }
            }

            Rectangle {
                objectName: "progressOverlay"
                anchors.centerIn: parent
                visible: root.model.loading
                width: progress.implicitWidth + 24
                height: progress.implicitHeight + 24
                radius: 10
                color: Qt.rgba(0, 0, 0, 0.5)

                ColumnLayout {
                    id: progress
                    anchors.centerIn: parent
                    spacing: 8

                    BusyIndicator {
                        Layout.alignment: Qt.AlignHCenter
                        Layout.preferredWidth: 64
                        Layout.preferredHeight: 64
                        running: parent.visible
                        // Drawn light, as it sits on the black player area in every style.
                        palette.dark: "white"
                        palette.text: "white"
                    }
                    Label {
                        objectName: "overlayStatus"
                        Layout.alignment: Qt.AlignHCenter
                        text: root.model.status
                        textFormat: Text.PlainText
                        font.pixelSize: 12
                        color: Qt.rgba(1, 1, 1, 0.8)
                    }
                }
            }

            Label {
                objectName: "errorText"
                anchors.centerIn: parent
                width: parent.width - 24
                visible: root.model.error !== ""
                text: root.model.error
                textFormat: Text.PlainText
                color: "white"
                wrapMode: Text.Wrap
                horizontalAlignment: Text.AlignHCenter
            }

            // Masks the corners: a border whose inner edge is the area's rounded outline.
            Rectangle {
                anchors.fill: parent
                anchors.margins: -8
                radius: 16
                border.width: 8
                border.color: root.palette.window
                color: "transparent"
                visible: !root.fullScreen
            }
        }

        ColumnLayout {
            Layout.fillWidth: true
            visible: !root.fullScreen
            spacing: 2

            Label {
                objectName: "titleText"
                Layout.fillWidth: true
                visible: root.model.hasTitle
                text: root.model.title
                textFormat: Text.PlainText
                font.pixelSize: 17
                font.weight: Font.DemiBold
                wrapMode: Text.Wrap
                maximumLineCount: 2
                elide: Text.ElideRight
            }
            Label {
                objectName: "channelText"
                Layout.fillWidth: true
                visible: root.model.hasChannel
                text: root.model.channel
                textFormat: Text.PlainText
                font.pixelSize: 15
                color: root.palette.placeholderText
                elide: Text.ElideRight
            }
            Label {
                objectName: "statusText"
                Layout.fillWidth: true
                text: root.model.status !== "" ? root.model.status : qsTr("Ready")
                textFormat: Text.PlainText
                font.pixelSize: 12
                color: root.palette.placeholderText
                elide: Text.ElideRight
            }
        }
    }
}
