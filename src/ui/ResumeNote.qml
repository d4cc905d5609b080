// SPDX-License-Identifier: MIT
import QtQuick
import QtQuick.Controls

// A quiet note that the video went on where it was left, for a few seconds; a click on it (or Home)
// starts over.
Rectangle {
    id: root

    required property string resumedAt
    signal startOver()

    objectName: "resumeNote"
    visible: resumedAt !== "" && shown.running
    width: note.implicitWidth + 20
    height: note.implicitHeight + 12
    radius: 6
    color: Qt.rgba(0, 0, 0, 0.6)
    onResumedAtChanged: if (resumedAt !== "") shown.restart()

    Timer {
        id: shown
        interval: 5000
    }
    Label {
        id: note
        anchors.centerIn: parent
        text: qsTr("Resumed at %1 — Start over").arg(root.resumedAt)
        color: "white"
    }
    MouseArea {
        anchors.fill: parent
        cursorShape: Qt.PointingHandCursor
        onClicked: root.startOver()
    }
}
