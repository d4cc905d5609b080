// SPDX-License-Identifier: MIT
import QtQuick
import QtQuick.Controls

// A quiet note over the video for a few seconds after each show(); a click on it does what it offers
// ("— Start over", "— Undo"), and the note goes.
Rectangle {
    id: root

    required property string text
    signal activated()

    function show() {
        shown.restart()
    }

    visible: text !== "" && shown.running
    width: note.implicitWidth + 20
    height: note.implicitHeight + 12
    radius: 6
    color: Qt.rgba(0, 0, 0, 0.6)

    Timer {
        id: shown
        interval: 5000
    }
    Label {
        id: note
        anchors.centerIn: parent
        text: root.text
        color: "white"
    }
    MouseArea {
        anchors.fill: parent
        cursorShape: Qt.PointingHandCursor
        onClicked: {
            shown.stop()
            root.activated()
        }
    }
}
