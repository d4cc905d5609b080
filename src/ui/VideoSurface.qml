// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
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
    readonly property bool playing: player?.playing ?? false
    property bool controlsShown: true
    readonly property bool controlsVisible: controlsShown || !playing || controls.busy

    onPlayingChanged: showControls()

    function togglePlay() {
        if (playing)
            player.pause()
        else
            player?.play()
    }
    function seekBy(ms: int) {
        player?.seek(player.position + ms)
    }
    function showControls() {
        controlsShown = true
        hideTimer.restart()
    }

    Keys.onPressed: event => {
        showControls()
        event.accepted = true
        switch (event.key) {
        case Qt.Key_Space:
        case Qt.Key_K: togglePlay(); break
        // With Ctrl, to the previous or next chapter, as the service's own player does.
        case Qt.Key_Left:
            if (event.modifiers & Qt.ControlModifier)
                model.nowPlaying.chapters.previous()
            else
                seekBy(-5000)
            break
        case Qt.Key_Right:
            if (event.modifiers & Qt.ControlModifier)
                model.nowPlaying.chapters.next()
            else
                seekBy(5000)
            break
        case Qt.Key_Up: model.volume += 0.05; break
        case Qt.Key_Down: model.volume -= 0.05; break
        case Qt.Key_F: fullScreenToggled(); break
        case Qt.Key_M: model.muted = !model.muted; break
        case Qt.Key_C: model.nowPlaying.captions.toggle(); break
        case Qt.Key_Home: model.nowPlaying.startOver(); break
        case Qt.Key_N:
        case Qt.Key_P:
            // The service's own keys for a list's next and previous video.
            if (event.modifiers & Qt.ShiftModifier)
                event.key === Qt.Key_N ? model.next() : model.previous()
            else
                event.accepted = false
            break
        case Qt.Key_Greater: model.stepSpeed(1); break
        case Qt.Key_Less: model.stepSpeed(-1); break
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

    Column {
        anchors { left: parent.left; top: parent.top; margins: 16 }
        spacing: 8

        // That the video went on where it was left; a click (or Home) starts over.
        TimedNote {
            objectName: "resumeNote"
            text: root.model.nowPlaying.resumedAt === "" ? "" : qsTr("Resumed at %1 — Start over").arg(root.model.nowPlaying.resumedAt)
            onTextChanged: if (text !== "") show()
            Component.onCompleted: if (text !== "") show()
            onActivated: root.model.nowPlaying.startOver()
        }
        TimedNote {
            id: skipNote
            objectName: "skipNote"
            text: qsTr("Skipped sponsor — Undo")
            onActivated: root.model.nowPlaying.segments.undo()

            Connections {
                target: root.model.nowPlaying.segments
                function onSkipped() { skipNote.show() }
            }
        }
    }

    CaptionLayer {
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.bottom: parent.bottom
        // Above the control bar while it shows.
        anchors.bottomMargin: (controls.visible ? controls.height : 0) + root.height / 24
        text: root.model.nowPlaying.captions.text
        videoHeight: root.height
    }

    ControlBar {
        id: controls
        anchors { left: parent.left; right: parent.right; bottom: parent.bottom }
        model: root.model
        player: root.player
        fullScreen: root.fullScreen
        opacity: root.controlsVisible ? 1 : 0
        visible: opacity > 0
        // Not while the surface is hidden: an animation redraws the window each frame, seen or not.
        Behavior on opacity { enabled: root.visible; NumberAnimation { duration: 200 } }
        onPlayToggled: root.togglePlay()
        onFullScreenToggled: root.fullScreenToggled()
        onTouched: root.showControls()
    }
}
