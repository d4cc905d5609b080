// SPDX-License-Identifier: MIT
import QtQuick
import QtQuick.Controls

// The cue that shows now, over the video: plain text, outlined, on a dim backing, so that it reads on
// any picture, and sized to the video.
Rectangle {
    id: root

    required property string text
    required property real videoHeight

    objectName: "captionLayer"
    visible: text !== ""
    width: Math.min(cue.implicitWidth, parent.width * 0.9) + 16
    height: cue.implicitHeight + 8
    radius: 4
    color: Qt.rgba(0, 0, 0, 0.55)

    Label {
        id: cue
        objectName: "captionText"
        anchors.centerIn: parent
        width: Math.min(implicitWidth, root.parent.width * 0.9)
        text: root.text
        textFormat: Text.PlainText
        wrapMode: Text.Wrap
        horizontalAlignment: Text.AlignHCenter
        color: "white"
        style: Text.Outline
        styleColor: "black"
        font.pixelSize: Math.max(14, root.videoHeight / 20)
    }
}
