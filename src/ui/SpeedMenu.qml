// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound
import QtQml
import QtQuick
import QtQuick.Controls
import Vireo

// The window's playback speed, and its choices.
ToolButton {
    id: root

    required property PlayerModel model
    readonly property bool open: menu.visible

    objectName: "speedButton"
    focusPolicy: Qt.NoFocus
    text: model.speed + "×"
    palette.buttonText: "white"
    onClicked: menu.open()
    ToolTip.text: qsTr("Speed (Shift+> and Shift+<)")
    ToolTip.visible: hovered && !menu.visible

    Menu {
        id: menu
        y: -height
        Instantiator {
            model: root.model.speeds
            delegate: MenuItem {
                required property real modelData
                text: modelData + "×"
                checkable: true
                checked: root.model.speed === modelData
                onTriggered: root.model.speed = modelData
            }
            onObjectAdded: (index, item) => menu.insertItem(index, item)
            onObjectRemoved: (index, item) => menu.removeItem(item)
        }
    }
}
