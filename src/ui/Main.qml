// SPDX-License-Identifier: MIT
import QtQuick
import QtQuick.Controls
import Vireo

ApplicationWindow {
    id: root

    required property PlayerModel model
    signal newWindowRequested()
    signal windowClosed()

    title: {
        const video = model.nowPlaying.hasTitle ? model.nowPlaying.title : ""
        const place = model.playlist.place
        if (video !== "" && place !== "")
            return qsTr("%1 (%2) — Vireo").arg(video).arg(place)
        return video !== "" ? qsTr("%1 — Vireo").arg(video) : qsTr("Vireo")
    }
    width: 960
    height: 640
    minimumWidth: 640
    minimumHeight: 480
    visible: true
    onClosing: windowClosed()

    Shortcut {
        sequences: [StandardKey.New]
        onActivated: root.newWindowRequested()
    }
    Shortcut {
        sequences: [StandardKey.Close]
        onActivated: root.close()
    }

    // Made in slices once the window is up, so that it shows and answers from its first frame.
    Loader {
        objectName: "content"
        anchors.fill: parent
        focus: true
        asynchronous: true
        Component.onCompleted: setSource("ContentView.qml", {model: root.model})
        // Made asynchronously, it comes without the focus it asks for.
        onLoaded: item.forceActiveFocus()
        // Return plays the link in the field, also in the moment before the field is there.
        Keys.enabled: status !== Loader.Ready
        Keys.onReturnPressed: root.model.play()
        Keys.onEnterPressed: root.model.play()
    }
}
