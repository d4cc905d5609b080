// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound
import QtQml
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vireo

// The bar under a playing video: play and pause, where it is, quality, speed, captions, volume and
// mute, full screen. Its controls never take the keyboard from the surface.
Rectangle {
    id: root

    required property PlayerModel model
    required property StreamPlayer player
    required property bool fullScreen
    // The pointer is over it, a slider is being dragged or a menu is open: it must not hide now.
    readonly property bool busy: hover.hovered || seek.pressed || volume.pressed || captionsMenu.visible || speedMenu.visible || qualityMenu.visible
    signal playToggled()
    signal fullScreenToggled()
    signal touched()

    readonly property bool playing: player?.playing ?? false

    function clock(ms: real): string {
        const total = Math.max(0, Math.floor(ms / 1000))
        const h = Math.floor(total / 3600), m = Math.floor(total / 60) % 60, s = total % 60
        const mm = h > 0 && m < 10 ? "0" + m : "" + m
        return (h > 0 ? h + ":" : "") + mm + ":" + (s < 10 ? "0" : "") + s
    }

    objectName: "controlBar"
    height: bar.implicitHeight + 12
    color: Qt.rgba(0, 0, 0, 0.6)

    HoverHandler {
        id: hover
        onHoveredChanged: root.touched()
    }

    RowLayout {
        id: bar
        anchors { fill: parent; leftMargin: 8; rightMargin: 8 }
        spacing: 6

        ToolButton {
            objectName: "playPauseButton"
            focusPolicy: Qt.NoFocus
            text: root.playing ? "❚❚" : "▶"
            palette.buttonText: "white"
            onClicked: root.playToggled()
            ToolTip.text: root.playing ? qsTr("Pause (Space)") : qsTr("Play (Space)")
            ToolTip.visible: hovered
        }
        Label {
            text: root.clock(root.player?.position ?? 0)
            color: "white"
        }
        Slider {
            id: seek
            objectName: "seekSlider"
            Layout.fillWidth: true
            focusPolicy: Qt.NoFocus
            from: 0
            to: Math.max(1, root.player?.duration ?? 0)
            value: root.player?.position ?? 0
            enabled: root.player?.seekable ?? false
            onMoved: root.player.seek(value)
        }
        Label {
            text: root.clock(root.player?.duration ?? 0)
            color: "white"
        }
        ToolButton {
            objectName: "qualityButton"
            focusPolicy: Qt.NoFocus
            visible: root.model.quality !== ""
            text: root.model.quality
            palette.buttonText: "white"
            onClicked: qualityMenu.open()
            ToolTip.text: qsTr("Video quality")
            ToolTip.visible: hovered && !qualityMenu.visible

            Menu {
                id: qualityMenu
                y: -height
                Instantiator {
                    model: root.model.qualities
                    delegate: MenuItem {
                        required property var modelData
                        text: modelData.text
                        checkable: true
                        checked: root.model.maxHeight === modelData.height
                        onTriggered: root.model.maxHeight = modelData.height
                    }
                    onObjectAdded: (index, item) => qualityMenu.insertItem(index, item)
                    onObjectRemoved: (index, item) => qualityMenu.removeItem(item)
                }
            }
        }
        ToolButton {
            objectName: "speedButton"
            focusPolicy: Qt.NoFocus
            text: root.model.speed + "×"
            palette.buttonText: "white"
            onClicked: speedMenu.open()
            ToolTip.text: qsTr("Speed (Shift+> and Shift+<)")
            ToolTip.visible: hovered && !speedMenu.visible

            Menu {
                id: speedMenu
                y: -height
                Instantiator {
                    model: root.model.speeds
                    delegate: MenuItem {
                        required property real modelData
                        text: modelData + "×"
                        checkable: true
                        checked: root.model.speed === modelData
                        onTriggered: root.model.speed = modelData
                    }
                    onObjectAdded: (index, item) => speedMenu.insertItem(index, item)
                    onObjectRemoved: (index, item) => speedMenu.removeItem(item)
                }
            }
        }
        ToolButton {
            objectName: "captionsButton"
            focusPolicy: Qt.NoFocus
            visible: root.model.captions.labels.length > 0
            text: "CC"
            font.bold: root.model.captions.chosen >= 0
            palette.buttonText: root.model.captions.chosen >= 0 ? "white" : Qt.rgba(1, 1, 1, 0.55)
            onClicked: captionsMenu.open()
            ToolTip.text: qsTr("Captions (C)")
            ToolTip.visible: hovered && !captionsMenu.visible

            CaptionsMenu {
                id: captionsMenu
                y: -height
                captions: root.model.captions
            }
        }
        ToolButton {
            objectName: "muteButton"
            focusPolicy: Qt.NoFocus
            text: root.model.muted ? qsTr("Unmute") : qsTr("Mute")
            palette.buttonText: "white"
            onClicked: root.model.muted = !root.model.muted
            ToolTip.text: qsTr("Mute (M)")
            ToolTip.visible: hovered
        }
        Slider {
            id: volume
            objectName: "volumeSlider"
            Layout.preferredWidth: 90
            focusPolicy: Qt.NoFocus
            from: 0
            to: 1
            value: root.model.volume
            onMoved: root.model.volume = value
        }
        ToolButton {
            objectName: "fullScreenButton"
            focusPolicy: Qt.NoFocus
            text: root.fullScreen ? "⤡" : "⤢"
            palette.buttonText: "white"
            onClicked: root.fullScreenToggled()
            ToolTip.text: qsTr("Full screen (F)")
            ToolTip.visible: hovered
        }
    }
}
