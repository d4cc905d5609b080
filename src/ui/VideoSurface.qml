// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QtMultimedia
import Vireo

// The accepted player on screen, with the controls and keys people expect of a video player. One
// surface serves every video of its window; between videos it has no player. It takes the keyboard
// when a video is accepted or clicked, and the controls and pointer get out of the way while a video
// plays untouched.
FocusScope {
    id: root

    required property PlayerModel model
    property bool fullScreen: false
    signal fullScreenToggled()
    signal fullScreenLeft()

    readonly property StreamPlayer player: model.player
    readonly property var media: player?.mediaPlayer ?? null
    readonly property bool playing: media?.playbackState === MediaPlayer.PlayingState
    property bool controlsShown: true
    readonly property bool controlsVisible: controlsShown || !playing || barHover.hovered || seek.pressed || volume.pressed

    onPlayerChanged: player?.showOn(output.videoSink)
    onPlayingChanged: showControls()

    function togglePlay() {
        if (playing)
            player.pause()
        else
            player?.play()
    }
    function seekBy(ms: int) {
        if (media)
            media.position = Math.max(0, Math.min(media.duration, media.position + ms))
    }
    function showControls() {
        controlsShown = true
        hideTimer.restart()
    }
    function clock(ms: real): string {
        const total = Math.max(0, Math.floor(ms / 1000))
        const h = Math.floor(total / 3600), m = Math.floor(total / 60) % 60, s = total % 60
        const mm = h > 0 && m < 10 ? "0" + m : "" + m
        return (h > 0 ? h + ":" : "") + mm + ":" + (s < 10 ? "0" : "") + s
    }

    Keys.onPressed: event => {
        showControls()
        event.accepted = true
        switch (event.key) {
        case Qt.Key_Space:
        case Qt.Key_K: togglePlay(); break
        case Qt.Key_Left: seekBy(-5000); break
        case Qt.Key_Right: seekBy(5000); break
        case Qt.Key_Up: model.volume += 0.05; break
        case Qt.Key_Down: model.volume -= 0.05; break
        case Qt.Key_F: fullScreenToggled(); break
        case Qt.Key_M: model.muted = !model.muted; break
        case Qt.Key_Escape:
            if (fullScreen)
                fullScreenLeft()
            else
                event.accepted = false
            break
        default: event.accepted = false
        }
    }

    Timer {
        id: hideTimer
        interval: 3000
        running: root.playing
        onTriggered: root.controlsShown = false
    }

    VideoOutput {
        id: output
        objectName: "videoOutput"
        anchors.fill: parent
    }

    MouseArea {
        anchors.fill: parent
        hoverEnabled: true
        cursorShape: root.controlsVisible ? Qt.ArrowCursor : Qt.BlankCursor
        onPositionChanged: root.showControls()
        onClicked: {
            root.forceActiveFocus()
            root.togglePlay()
        }
        onDoubleClicked: root.fullScreenToggled()
    }

    Label {
        objectName: "playbackError"
        anchors.centerIn: parent
        width: parent.width - 24
        visible: root.player?.failed ?? false
        text: root.player?.errorString ?? ""
        textFormat: Text.PlainText
        color: "white"
        wrapMode: Text.Wrap
        horizontalAlignment: Text.AlignHCenter
    }

    Rectangle {
        objectName: "controlBar"
        anchors { left: parent.left; right: parent.right; bottom: parent.bottom }
        height: bar.implicitHeight + 12
        color: Qt.rgba(0, 0, 0, 0.6)
        opacity: root.controlsVisible ? 1 : 0
        visible: opacity > 0
        Behavior on opacity { NumberAnimation { duration: 200 } }

        HoverHandler {
            id: barHover
            onHoveredChanged: root.showControls()
        }

        // The controls never take the keyboard from the surface.
        RowLayout {
            id: bar
            anchors { fill: parent; leftMargin: 8; rightMargin: 8 }
            spacing: 6

            ToolButton {
                objectName: "playPauseButton"
                focusPolicy: Qt.NoFocus
                text: root.playing ? "❚❚" : "▶"
                palette.buttonText: "white"
                onClicked: root.togglePlay()
                ToolTip.text: root.playing ? qsTr("Pause (Space)") : qsTr("Play (Space)")
                ToolTip.visible: hovered
            }
            Label {
                text: root.clock(root.media?.position ?? 0)
                color: "white"
            }
            Slider {
                id: seek
                objectName: "seekSlider"
                Layout.fillWidth: true
                focusPolicy: Qt.NoFocus
                from: 0
                to: Math.max(1, root.media?.duration ?? 0)
                value: root.media?.position ?? 0
                enabled: root.media?.seekable ?? false
                onMoved: root.media.position = value
            }
            Label {
                text: root.clock(root.media?.duration ?? 0)
                color: "white"
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
}
