// SPDX-License-Identifier: MIT
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vireo

// The link field with its recent links, and the buttons beside it.
RowLayout {
    id: root

    required property PlayerModel model
    signal settingsRequested()

    function focusLink() {
        field.forceActiveFocus()
        field.selectAll()
    }

    spacing: 6

    TextField {
        id: field
        objectName: "linkField"
        Layout.fillWidth: true
        focus: true
        placeholderText: qsTr("Paste a YouTube URL")
        text: root.model.urlText
        selectByMouse: true
        onTextEdited: root.model.urlText = text
        onAccepted: root.model.play()
        Keys.onDownPressed: recent.open()

        RecentLinks {
            id: recent
            y: field.height
            width: field.width
            onChosen: link => {
                root.model.urlText = link
                root.model.play()
            }
        }
    }
    ToolButton {
        objectName: "recentButton"
        text: "▾"
        enabled: History.links.length > 0
        Accessible.name: qsTr("Recent links")
        onClicked: recent.open()
        ToolTip.text: qsTr("Recent links (Down)")
        ToolTip.visible: hovered
    }
    Button {
        objectName: "playButton"
        text: qsTr("Play")
        highlighted: true
        onClicked: root.model.play()
    }
    Button {
        objectName: "retryButton"
        text: qsTr("Retry")
        enabled: root.model.urlText !== ""
        onClicked: root.model.play()
    }
    Button {
        objectName: "browserButton"
        text: qsTr("Open in browser")
        enabled: Links.hasVideoID(root.model.urlText)
        onClicked: Links.openInBrowser(root.model.nowPlaying.browserURL, root.model.urlText)
    }
    ToolButton {
        objectName: "settingsButton"
        text: "⚙"
        font.pixelSize: 18
        Accessible.name: qsTr("Settings")
        onClicked: root.settingsRequested()
        ToolTip.text: qsTr("Settings (Ctrl+,)")
        ToolTip.visible: hovered
    }
}
