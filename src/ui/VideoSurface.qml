// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QtMultimedia
import Vireo

// The accepted player on screen, with the controls and keys people expect of a video player. One
// surface serves every video of its window; between videos it has no player.
Item {
    id: root

    property StreamPlayer player: null
    property bool fullScreen: false
    property bool keysEnabled: true
    signal fullScreenToggled()
    signal fullScreenLeft()

    readonly property var media: player?.mediaPlayer ?? null
    readonly property var audio: player?.audioOutput ?? null
    readonly property bool playing: media?.playbackState === MediaPlayer.PlayingState

    onPlayerChanged: player?.showOn(output.videoSink)

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
    function clock(ms: real): string {
        const total = Math.max(0, Math.floor(ms / 1000))
        const h = Math.floor(total / 3600), m = Math.floor(total / 60) % 60, s = total % 60
        const mm = h > 0 && m < 10 ? "0" + m : "" + m
        return (h > 0 ? h + ":" : "") + mm + ":" + (s < 10 ? "0" : "") + s
    }

    VideoOutput {
        id: output
        objectName: "videoOutput"
        anchors.fill: parent
    }

    MouseArea {
        anchors.fill: parent
        hoverEnabled: true
        onClicked: root.togglePlay()
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

    Shortcut { sequences: ["Space", "K"]; enabled: root.keysEnabled; onActivated: root.togglePlay() }
    Shortcut { sequence: "Left"; enabled: root.keysEnabled; onActivated: root.seekBy(-5000) }
    Shortcut { sequence: "Right"; enabled: root.keysEnabled; onActivated: root.seekBy(5000) }
    Shortcut { sequence: "F"; enabled: root.keysEnabled; onActivated: root.fullScreenToggled() }
    Shortcut { sequence: "M"; enabled: root.keysEnabled; onActivated: root.audio.muted = !root.audio.muted }
    Shortcut { sequence: "Esc"; enabled: root.fullScreen; onActivated: root.fullScreenLeft() }

    Rectangle {
        anchors { left: parent.left; right: parent.right; bottom: parent.bottom }
        height: bar.implicitHeight + 12
        color: Qt.rgba(0, 0, 0, 0.6)

        RowLayout {
            id: bar
            anchors { fill: parent; leftMargin: 8; rightMargin: 8 }
            spacing: 6

            ToolButton {
                objectName: "playPauseButton"
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
                objectName: "seekSlider"
                Layout.fillWidth: true
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
                text: root.audio?.muted ? qsTr("Unmute") : qsTr("Mute")
                palette.buttonText: "white"
                onClicked: root.audio.muted = !root.audio.muted
                ToolTip.text: qsTr("Mute (M)")
                ToolTip.visible: hovered
            }
            Slider {
                objectName: "volumeSlider"
                Layout.preferredWidth: 90
                from: 0
                to: 1
                value: root.audio?.volume ?? 1
                onMoved: root.audio.volume = value
            }
            ToolButton {
                objectName: "fullScreenButton"
                text: root.fullScreen ? "⤡" : "⤢"
                palette.buttonText: "white"
                onClicked: root.fullScreenToggled()
                ToolTip.text: qsTr("Full screen (F)")
                ToolTip.visible: hovered
            }
        }
    }
}
