// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vireo

// The list that plays: its title and where playback is in it, then its videos with their lengths,
// the one that plays marked. A click or Return plays one; scrolling on loads the list's next pages.
Popup {
    id: root

    required property PlayerModel model
    readonly property Playlist playlist: model.playlist

    width: 360
    height: Math.min(header.implicitHeight + 6 + list.contentHeight + topPadding + bottomPadding, 400)
    padding: 8
    onOpened: {
        list.currentIndex = Math.max(0, playlist.current)
        list.positionViewAtIndex(list.currentIndex, ListView.Center)
        list.forceActiveFocus()
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 6

        RowLayout {
            id: header
            Label {
                Layout.fillWidth: true
                text: root.playlist.title
                textFormat: Text.PlainText
                font.weight: Font.DemiBold
                elide: Text.ElideRight
            }
            Label {
                objectName: "queuePlace"
                text: root.playlist.place
                color: root.palette.placeholderText
            }
        }
        ListView {
            id: list
            objectName: "queueList"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            model: root.playlist
            ScrollBar.vertical: ScrollBar {}
            Keys.onReturnPressed: currentItem?.clicked()
            Keys.onEnterPressed: currentItem?.clicked()

            delegate: ItemDelegate {
                id: entry
                required property int index
                required property string title
                required property string length
                readonly property bool playing: index === root.playlist.current
                width: ListView.view.width
                highlighted: ListView.isCurrentItem
                contentItem: RowLayout {
                    Label {
                        text: entry.playing ? "▶" : String(entry.index + 1)
                        Layout.preferredWidth: 28
                        color: entry.palette.placeholderText
                    }
                    Label {
                        Layout.fillWidth: true
                        text: entry.title
                        textFormat: Text.PlainText
                        font.weight: entry.playing ? Font.DemiBold : Font.Normal
                        elide: Text.ElideRight
                    }
                    Label {
                        text: entry.length
                        color: entry.palette.placeholderText
                    }
                }
                onClicked: {
                    root.close()
                    root.model.playEntry(index)
                }
            }
        }
    }
}
