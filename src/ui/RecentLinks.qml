// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import Vireo

// The last links played, newest first, with their titles: Return or a click plays one, Delete
// forgets it.
Popup {
    id: root

    signal chosen(string link)

    padding: 0
    height: Math.min(list.contentHeight, 360)
    onOpened: {
        list.currentIndex = 0
        list.forceActiveFocus()
    }

    ListView {
        id: list
        objectName: "recentList"
        anchors.fill: parent
        clip: true
        model: History.links
        keyNavigationWraps: true
        Keys.onReturnPressed: currentItem?.clicked()
        Keys.onEnterPressed: currentItem?.clicked()
        Keys.onDeletePressed: if (currentItem) History.remove(currentItem.link)

        delegate: ItemDelegate {
            id: entry
            required property var modelData
            required property int index
            readonly property string link: modelData.link
            width: ListView.view.width
            highlighted: ListView.isCurrentItem
            contentItem: Column {
                Label {
                    width: entry.availableWidth
                    text: entry.modelData.title || entry.link
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                }
                Label {
                    width: entry.availableWidth
                    visible: entry.modelData.title !== ""
                    text: entry.link
                    textFormat: Text.PlainText
                    elide: Text.ElideMiddle
                    font.pixelSize: 11
                    color: entry.palette.placeholderText
                }
            }
            onClicked: {
                root.close()
                root.chosen(entry.link)
            }
        }
    }
}
