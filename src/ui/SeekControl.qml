// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vireo

// Where the video is, and where it can go: the time and the chapter, the seek bar with the chapters'
// and segments' marks (the chapter under the pointer named over it), and the length.
RowLayout {
    id: root

    required property StreamPlayer player
    required property Chapters chapters
    required property Segments segments
    readonly property bool pressed: seek.pressed
    // Followed only while shown: hidden, each step of the bar would still cost the window a frame's
    // sync and a new hover delivery.
    readonly property real position: visible ? root.player?.position ?? 0 : 0

    function clock(ms: real): string {
        const total = Math.max(0, Math.floor(ms / 1000))
        const h = Math.floor(total / 3600), m = Math.floor(total / 60) % 60, s = total % 60
        const mm = h > 0 && m < 10 ? "0" + m : "" + m
        return (h > 0 ? h + ":" : "") + mm + ":" + (s < 10 ? "0" : "") + s
    }

    spacing: 6

    Label {
        text: root.clock(root.position)
        color: "white"
    }
    Label {
        objectName: "chapterTitle"
        Layout.maximumWidth: root.width / 4
        visible: text !== ""
        text: root.chapters.title
        textFormat: Text.PlainText
        elide: Text.ElideRight
        color: Qt.rgba(1, 1, 1, 0.8)
    }
    Slider {
        id: seek
        objectName: "seekSlider"

        // Where on the bar a time is, and which time a place on it is, as the handle goes.
        function place(ms: real): real {
            return leftPadding + handle.width / 2 + (availableWidth - handle.width) * Math.min(1, ms / to)
        }
        function time(x: real): real {
            return to * Math.max(0, Math.min(1, (x - leftPadding - handle.width / 2) / (availableWidth - handle.width)))
        }

        Layout.fillWidth: true
        focusPolicy: Qt.NoFocus
        from: 0
        to: Math.max(1, root.player?.duration ?? 0)
        value: root.position
        enabled: root.player?.seekable ?? false
        onMoved: root.player.seek(value)

        Repeater {
            model: root.segments.marks
            Rectangle {
                required property var modelData
                x: seek.place(modelData.start)
                width: Math.max(2, seek.place(modelData.end) - x)
                y: seek.topPadding + seek.availableHeight / 2 - height / 2
                height: 4
                color: modelData.colour
            }
        }
        Repeater {
            model: root.chapters.starts
            Rectangle {
                required property real modelData
                visible: modelData > 0 && modelData < seek.to
                x: seek.place(modelData) - 1
                y: seek.topPadding + seek.availableHeight / 2 - height / 2
                width: 2
                height: 8
                color: Qt.rgba(0, 0, 0, 0.8)
            }
        }
        HoverHandler {
            id: pointer
        }
        ToolTip {
            visible: pointer.hovered && text !== ""
            text: pointer.hovered ? root.chapters.titleAt(seek.time(pointer.point.position.x)) : ""
            x: pointer.point.position.x - width / 2
            y: -height - 4
        }
    }
    Label {
        text: root.clock(root.player?.duration ?? 0)
        color: "white"
    }
}
