// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound
import QtQml
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vireo

// The bar under a playing video: play and pause, the list's previous and next and its queue, where
// it is, quality, speed, captions, volume and mute, full screen. Its controls never take the
// keyboard from the surface.
Rectangle {
    id: root

    required property PlayerModel model
    required property StreamPlayer player
    required property bool fullScreen
    // The pointer is over it, a slider is being dragged or a menu is open: it must not hide now.
    readonly property bool busy: hover.hovered || seek.pressed || volume.pressed || captionsMenu.visible || speed.open || quality.open
                                 || queue.visible
    readonly property Playlist playlist: model.playlist
    signal playToggled()
    signal fullScreenToggled()
    signal touched()

    readonly property bool playing: player?.playing ?? false

    objectName: "controlBar"
    height: bar.implicitHeight + 12
    color: Qt.rgba(0, 0, 0, 0.6)
    // A button under the pointer or pressed is drawn darker, not lighter, or its white text is lost.
    palette.button: "#404040"
    palette.mid: "#606060"

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
        ToolButton {
            objectName: "previousButton"
            visible: root.playlist.active
            focusPolicy: Qt.NoFocus
            text: "❚◀"
            palette.buttonText: "white"
            onClicked: root.model.previous()
            ToolTip.text: qsTr("Previous (Shift+P)")
            ToolTip.visible: hovered
        }
        ToolButton {
            objectName: "nextButton"
            visible: root.playlist.active
            enabled: root.playlist.canGoNext
            focusPolicy: Qt.NoFocus
            text: "▶❚"
            palette.buttonText: "white"
            onClicked: root.model.next()
            ToolTip.text: qsTr("Next (Shift+N)")
            ToolTip.visible: hovered
        }
        SeekControl {
            id: seek
            Layout.fillWidth: true
            player: root.player
            chapters: root.model.nowPlaying.chapters
            segments: root.model.nowPlaying.segments
        }
        ToolButton {
            objectName: "queueButton"
            visible: root.playlist.active
            focusPolicy: Qt.NoFocus
            text: root.playlist.place !== "" ? root.playlist.place : "☰"
            palette.buttonText: "white"
            onClicked: queue.visible ? queue.close() : queue.open()
            ToolTip.text: qsTr("Queue")
            ToolTip.visible: hovered && !queue.visible

            QueuePanel {
                id: queue
                // Without a parent for a moment while its window is torn down.
                x: parent ? parent.width - width : 0
                y: -height
                model: root.model
            }
        }
        QualityMenu {
            id: quality
            quality: root.model.nowPlaying.quality
        }
        SpeedMenu {
            id: speed
            model: root.model
        }
        ToolButton {
            objectName: "captionsButton"
            focusPolicy: Qt.NoFocus
            visible: root.model.nowPlaying.captions.labels.length > 0
            text: "CC"
            font.bold: root.model.nowPlaying.captions.chosen >= 0
            palette.buttonText: root.model.nowPlaying.captions.chosen >= 0 ? "white" : Qt.rgba(1, 1, 1, 0.55)
            onClicked: captionsMenu.open()
            ToolTip.text: qsTr("Captions (C)")
            ToolTip.visible: hovered && !captionsMenu.visible

            CaptionsMenu {
                id: captionsMenu
                y: -height
                captions: root.model.nowPlaying.captions
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
