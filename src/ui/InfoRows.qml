// SPDX-License-Identifier: MIT
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vireo

// Under the player: the video's title and channel, and the request's status line.
ColumnLayout {
    id: root

    required property PlayerModel model

    spacing: 2

    Label {
        objectName: "titleText"
        Layout.fillWidth: true
        visible: root.model.nowPlaying.hasTitle
        text: root.model.nowPlaying.title
        textFormat: Text.PlainText
        font.pixelSize: 17
        font.weight: Font.DemiBold
        wrapMode: Text.Wrap
        maximumLineCount: 2
        elide: Text.ElideRight
    }
    Label {
        objectName: "channelText"
        Layout.fillWidth: true
        visible: root.model.nowPlaying.hasChannel
        text: root.model.nowPlaying.channel
        textFormat: Text.PlainText
        font.pixelSize: 15
        color: root.palette.placeholderText
        elide: Text.ElideRight
    }
    Label {
        objectName: "statusText"
        Layout.fillWidth: true
        text: root.model.status !== "" ? root.model.status : qsTr("Ready")
        textFormat: Text.PlainText
        font.pixelSize: 12
        color: root.palette.placeholderText
        elide: Text.ElideRight
    }
}
