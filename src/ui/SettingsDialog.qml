// SPDX-License-Identifier: MIT
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vireo

// Vireo's settings: an Invidious instance of the user's own, tried before the public ones (only an
// address that can be used is kept; the dialog says what it needs until then), the quality, whether
// playlists go on by themselves, skipping sponsored segments with the legend of the seek bar's
// colours, and the history.
Dialog {
    id: root

    readonly property bool valid: Settings.isInstanceAddress(address.text)

    parent: Overlay.overlay
    anchors.centerIn: parent
    width: Math.min(parent.width - 48, 520)
    modal: true
    title: qsTr("Settings")
    standardButtons: Dialog.Ok | Dialog.Cancel
    onAboutToShow: {
        address.text = Settings.preferredInstance
        quality.currentIndex = quality.indexOfValue(Settings.maxHeight)
        address.forceActiveFocus()
    }
    onValidChanged: if (standardButton(Dialog.Ok)) standardButton(Dialog.Ok).enabled = valid
    onAccepted: {
        Settings.preferredInstance = address.text
        Settings.maxHeight = quality.currentValue
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 6

        Label {
            text: qsTr("Your Invidious instance")
        }
        TextField {
            id: address
            objectName: "instanceField"
            Layout.fillWidth: true
            placeholderText: "https://invidious.example.org"
            selectByMouse: true
            onAccepted: if (root.valid) root.accept()
        }
        Label {
            objectName: "instanceMessage"
            Layout.fillWidth: true
            visible: !root.valid
            text: qsTr("Enter an address that starts with http:// or https:// and names a host, such as https://invidious.example.org.")
            color: "#c0392b"
            wrapMode: Text.Wrap
        }
        Label {
            Layout.fillWidth: true
            text: qsTr("Every video is tried there first, before the public instances. Leave it empty to use only those.")
            color: root.palette.placeholderText
            wrapMode: Text.Wrap
        }
        RowLayout {
            Layout.topMargin: 12
            Label {
                text: qsTr("Video quality")
            }
            ComboBox {
                id: quality
                objectName: "qualityChoice"
                Layout.fillWidth: true
                model: Settings.qualities
                textRole: "text"
                valueRole: "height"
            }
        }
        Label {
            Layout.fillWidth: true
            text: qsTr("Above the standard stream, videos play in separate picture and sound streams, up to the height chosen.")
            color: root.palette.placeholderText
            wrapMode: Text.Wrap
        }
        CheckBox {
            objectName: "autoplayNext"
            Layout.topMargin: 12
            text: qsTr("Play the next video of a playlist when one ends")
            checked: Settings.autoplayNext
            onToggled: Settings.autoplayNext = checked
        }
        Switch {
            objectName: "skipSegments"
            Layout.topMargin: 12
            text: qsTr("Skip sponsored segments")
            checked: Settings.skipSegments
            onToggled: Settings.skipSegments = checked
        }
        Label {
            Layout.fillWidth: true
            text: qsTr("Segments come from the community's database (SponsorBlock), asked by the first four characters of a hash of the video's ID, never the ID itself. Sponsors, self-promotion and interaction reminders are skipped; the others are marked on the seek bar.")
            color: root.palette.placeholderText
            wrapMode: Text.Wrap
        }
        Flow {
            Layout.fillWidth: true
            spacing: 12
            Repeater {
                model: Settings.segmentCategories
                Row {
                    id: category
                    required property var modelData
                    spacing: 4
                    Rectangle {
                        anchors.verticalCenter: parent.verticalCenter
                        width: 12
                        height: 12
                        color: category.modelData.colour
                    }
                    Label {
                        text: category.modelData.name
                    }
                }
            }
        }
        RowLayout {
            Layout.topMargin: 12
            CheckBox {
                objectName: "keepHistory"
                text: qsTr("Keep history")
                checked: History.keep
                onToggled: History.keep = checked
            }
            Button {
                objectName: "forgetHistory"
                text: qsTr("Forget history")
                onClicked: History.forget()
            }
        }
        Label {
            Layout.fillWidth: true
            text: qsTr("Recent links, and where each video was left so that it goes on from there.")
            color: root.palette.placeholderText
            wrapMode: Text.Wrap
        }
    }
}
