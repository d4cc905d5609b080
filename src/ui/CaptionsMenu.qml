// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound
import QtQml
import QtQuick
import QtQuick.Controls
import Vireo

// The caption tracks of the video that plays, and "Off"; a track that could not be loaded says so.
Menu {
    id: root

    required property Captions captions

    MenuItem {
        text: qsTr("Off")
        checkable: true
        checked: root.captions.chosen < 0
        onTriggered: root.captions.choose(-1)
    }
    Instantiator {
        model: root.captions.labels
        delegate: MenuItem {
            required property string modelData
            required property int index
            text: modelData
            checkable: true
            checked: root.captions.chosen === index
            onTriggered: root.captions.choose(index)
        }
        onObjectAdded: (index, item) => root.insertItem(index + 1, item)
        onObjectRemoved: (index, item) => root.removeItem(item)
    }
    MenuItem {
        objectName: "captionsFailed"
        visible: root.captions.failed
        height: visible ? implicitHeight : 0
        enabled: false
        text: qsTr("Couldn't load captions")
    }
}
