// SPDX-License-Identifier: MIT
import QtQuick
import QtWebEngine
import Vireo

// The service's embeddable player. Made anew for each embed attempt and loaded once; every
// finished or failed navigation of the page is reported, and the model keeps only the first.
Item {
    id: root
    objectName: "embedView"

    required property string videoID
    required property int start // seconds; -1 from the beginning
    signal result(bool ok)
    signal fullScreenRequested(bool on)

    WebEngineView {
        id: view
        objectName: "embedWebView"
        anchors.fill: parent
        settings.playbackRequiresUserGesture: false

        onLoadingChanged: loadingInfo => {
            if (loadingInfo.status === WebEngineLoadingInfo.LoadSucceededStatus)
                root.result(true)
            else if (loadingInfo.status === WebEngineLoadingInfo.LoadFailedStatus)
                root.result(false)
        }
        onFullScreenRequested: request => {
            request.accept()
            root.fullScreenRequested(request.toggleOn)
        }
        Component.onCompleted: loadHtml(Links.embedPage(root.videoID, root.start), Links.serviceBase)
    }
}
