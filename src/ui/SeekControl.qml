// SPDX-License-Identifier: MIT
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vireo

// Where the video is, and where it can go: the time, the seek bar and the length.
RowLayout {
    id: root

    required property StreamPlayer player
    readonly property bool pressed: seek.pressed

    function clock(ms: real): string {
        const total = Math.max(0, Math.floor(ms / 1000))
        const h = Math.floor(total / 3600), m = Math.floor(total / 60) % 60, s = total % 60
        const mm = h > 0 && m < 10 ? "0" + m : "" + m
        return (h > 0 ? h + ":" : "") + mm + ":" + (s < 10 ? "0" : "") + s
    }

    spacing: 6

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
}
