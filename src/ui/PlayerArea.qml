// SPDX-License-Identifier: MIT
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vireo

// Where the video shows: the native player's surface or the embedded player, the request's progress
// over them, and the error when there is one.
Rectangle {
    id: root

    required property PlayerModel model
    required property bool fullScreen
    signal fullScreenSet(bool on)
    readonly property bool showsPlayer: model.modeKind === PlayerModel.Native

    objectName: "playerArea"
    // The video's picture is under the scene.
    color: videoView.visible ? "transparent" : "black"
    clip: true

    // Under the surface, and there while a stream loads: the candidate is decoded for it from its
    // first picture. The area is black wherever the view shows nothing.
    VideoView {
        id: videoView
        objectName: "videoView"
        anchors.fill: parent
        visible: root.showsPlayer || root.model.candidate !== null
        player: root.model.player
        candidate: root.model.candidate
        spare: root.model.spare
        onPictureShown: root.settled = true
    }

    // What lies over the picture waits in a window opened with its video loading or playing, until
    // that video's first picture shows or it fails, or for a moment at most: made meanwhile, on a
    // machine of few cores, it holds up the first picture itself.
    property bool settled: false
    Component.onCompleted: {
        settled = !root.model.loading && !root.showsPlayer
        takeKeys()
    }
    Timer {
        interval: 400
        running: !root.settled
        onTriggered: root.settled = true
    }

    // The controls and keys, made in slices as the window's first stream loads (once settled), or
    // after a moment of nothing to play, and kept for every video: a window opens sooner without them,
    // and its first link plays sooner with them made before it, on a machine of few cores.
    Loader {
        id: surface
        anchors.fill: parent
        asynchronous: true
        active: root.settled && (root.model.loading || root.showsPlayer)
        // Made asynchronously, it comes without the focus it asks for. It takes the keyboard only if
        // nothing took it since its video was accepted: not from a link being typed meanwhile.
        onLoaded: {
            active = true
            if (activeFocus)
                item.forceActiveFocus()
            // Then, when nothing plays yet, a player for the first link: not beside the controls,
            // whose slices would wait for its renderer.
            root.model.prepare()
        }
        sourceComponent: VideoSurface {
            objectName: "videoSurface"
            focus: true
            visible: root.showsPlayer
            model: root.model
            fullScreen: root.fullScreen
            onFullScreenToggled: root.fullScreenSet(!root.fullScreen)
            onFullScreenLeft: root.fullScreenSet(false)
        }
    }
    Timer {
        interval: 1000
        running: root.settled && !surface.active
        onTriggered: surface.active = true
    }
    // A video accepted where none played takes the keyboard, so its keys work at once, also before
    // its surface is made.
    onShowsPlayerChanged: takeKeys()
    function takeKeys() {
        if (root.showsPlayer)
            surface.forceActiveFocus()
    }

    // The embed's module (WebEngine's) loads when first needed, not before the window shows.
    Loader {
        id: embedLoader
        objectName: "embedLoader"
        anchors.fill: parent
        active: root.model.modeKind === PlayerModel.Embed
        onActiveChanged: {
            if (active)
                setSource("EmbedView.qml", { videoID: root.model.embedVideoID, start: root.model.nowPlaying.startTime })
            else
                source = ""
        }
    }
    Connections {
        target: embedLoader.item
        ignoreUnknownSignals: true
        function onResult(ok: bool) { root.model.embedResult(ok) }
        function onFullScreenRequested(on: bool) { root.fullScreenSet(on) }
    }

    // A start that is quick shows no spinner: turning, it redraws the window every frame, which costs
    // the start itself dearly where drawing is done in software. Not even for a moment as loading
    // begins or ends.
    property bool spinnerDue: false
    Timer {
        interval: 400
        running: root.model.loading
        onTriggered: root.spinnerDue = true
    }
    Connections {
        target: root.model
        function onLoadingChanged() {
            root.spinnerDue = false
            if (!root.showsPlayer)
                root.settled = true
        }
    }

    Loader {
        anchors.fill: parent
        active: root.settled
        sourceComponent: Item {
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

                    // Dots that light up in turn, drawn with what the window draws anyway: a
                    // style's indicator, or anything turned, holds the render thread up to 90 ms the
                    // first time it shows while software GL compiles what it needs.
                    Item {
                        id: spinner
                        objectName: "spinner"
                        property real lit: 0
                        Layout.alignment: Qt.AlignHCenter
                        Layout.preferredWidth: 48
                        Layout.preferredHeight: 48
                        visible: root.model.loading && root.spinnerDue

                        Repeater {
                            model: 8
                            Rectangle {
                                required property int index
                                x: 20 + 18 * Math.cos(index * Math.PI / 4)
                                y: 20 + 18 * Math.sin(index * Math.PI / 4)
                                width: 8
                                height: 8
                                radius: 4
                                color: "white"
                                opacity: 1 - 0.8 * ((spinner.lit - index + 8) % 8) / 8
                            }
                        }
                        NumberAnimation on lit {
                            from: 0
                            to: 8
                            duration: 1000
                            loops: Animation.Infinite
                            running: spinner.visible
                        }
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
            // A list moves on from a video no source plays: said under the failure, never silently.
            Label {
                objectName: "skipText"
                anchors { top: parent.verticalCenter; topMargin: 40; horizontalCenter: parent.horizontalCenter }
                visible: root.model.error !== "" && root.model.status !== ""
                text: root.model.status
                textFormat: Text.PlainText
                color: Qt.rgba(1, 1, 1, 0.7)
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
    }
}
