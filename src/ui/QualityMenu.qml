// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound
import QtQml
import QtQuick
import QtQuick.Controls
import Vireo

// What plays ("720p"), and the choice of the tallest video to play, kept in the settings.
ToolButton {
    id: root

    required property string quality
    readonly property bool open: menu.visible

    objectName: "qualityButton"
    focusPolicy: Qt.NoFocus
    visible: quality !== ""
    text: quality
    palette.buttonText: "white"
    onClicked: menu.open()
    ToolTip.text: qsTr("Video quality")
    ToolTip.visible: hovered && !menu.visible

    Menu {
        id: menu
        y: -height
        Instantiator {
            model: Settings.qualities
            delegate: MenuItem {
                required property var modelData
                text: modelData.text
                checkable: true
                checked: Settings.maxHeight === modelData.height
                onTriggered: Settings.maxHeight = modelData.height
            }
            onObjectAdded: (index, item) => menu.insertItem(index, item)
            onObjectRemoved: (index, item) => menu.removeItem(item)
        }
    }
}
