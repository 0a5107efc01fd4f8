import QtQuick 2.7
import QtQuick.Window 2.2
import com.velm.HID 1.0
import "Qml"

// The one window of the wizard. All wizard state lives here; the pages and the
// chrome only read it and reach the functions below through the two settings
// objects (foot_control_info.confirmfun, process_interface_info.process_fun).
// The settings objects are always replaced whole so that every binding on them
// is re-evaluated.
Window {
    id: main
    width: Screen.desktopAvailableWidth
    height: Screen.desktopAvailableHeight
    visible: true
    flags: Qt.FramelessWindowHint | Qt.WindowMinimizeButtonHint | Qt.Window
    color: "transparent"
    title: qsTr("VELM Upvane")

    property var foot_control_info: footerSettings(1, 1, prepareDevice, "Confirm")
    property var operate_device_info: ({ "status": 1, "msg": "Detect current version" })
    property var process_interface_info: ({ "process_fun": nextUI, "runtime": 10 })
    property string mainload: ""
    property int confirmEn: 0
    property string upver: "V0.0.000"
    property string fwver: "V0.0.000"
    property int searchRun: 0
    property int firstSearch: 1
    property int processRun: 0
    property int waitUpgrade: 0
    property bool ischeck: false
    property int upSuccess: 1
    property int closebtn: 1
    // The upgrade step, advanced by each find of the device and acted on by
    // gotoUpgrade: 0 before the first find, then one of the steps below.
    property int step: 0
    readonly property int stepWake: 1        // wake the device with the 0xA0 command
    readonly property int stepMicrocode: 2   // start the micro-code upgrade program
    readonly property int stepFirmware: 3    // start the firmware upgrade program
    readonly property int stepBarOnly: 4     // micro-code current: only the bar runs
    property string upgrade_path: ""
    property string usb_path: ""
    property int upgrade4k: 0
    // Why the run failed, one plain line for the failure page.
    property string failureCause: ""
    // After the firmware stage: a search for the switch runs on the success page
    // until it is found; then what it reports is kept for that page.
    property bool checkingVersions: false
    property string checkedFw: ""
    property string checkedUp: ""

    // The maker's support site, shown and opened by the device page and the
    // failure page: the build setting UPVANE_SUPPORT_URL (a placeholder outside
    // releases). Kept short: on the device page it shares one line with the
    // sentence before it.
    readonly property string supportUrl: supportSite

    // A close from the window manager (Alt+F4, the taskbar) is refused exactly
    // while the title bar's close button is disabled: mid-upgrade.
    onClosing: function(close) {
        close.accepted = main.closebtn === 1
    }

    HidSocket {
        id: hidusb
    }

    // The log's account of the wizard: one line for every page shown.
    Component.onCompleted: console.info("page: start")
    onMainloadChanged: {
        if (mainload === "")
            return
        var name = mainload.replace("../Qml/", "")
        var result = name === "Upgrade_status.qml" ? (upSuccess === 1 ? ", success" : ", failure") : ""
        console.info("page: " + name + ", stage " + operate_device_info.status + result)
    }

    Connections {
        target: hidusb
        function onHidFinished() {
            var list = hidusb.devlist
            if (list === undefined)
                return
            if (checkingVersions) {
                if (list.length > 0)
                    versionsChecked()
                return
            }
            if (list.length === 0) {
                confirmEn = 0
                return
            }
            for (var i = 0; i < list.length; i++) {
                usb_path = list[i]["path"]
                upgrade4k = list[i]["ucode"]
            }
            confirmEn = 1
            searchRun = 0
            if (upgrade4k != 1 && firstSearch === 1) {
                step = stepBarOnly
                process_interface_info = { "process_fun": skipUpgrade4k, "runtime": 10 }
            } else {
                step = step + 1
                process_interface_info = { "process_fun": nextUI, "runtime": 20 }
            }
            if (firstSearch === 1) {
                upver = hidusb.getUPver()
                fwver = hidusb.getFWver()
                firstSearch = 0
            }
        }
    }

    // The upgrade utility reports "code:argument"; the argument is its window
    // handle in decimal.
    Connections {
        target: event
        function onStatusChanged() {
            var parts = String(event.result["statsu"]).split(":")
            // A code is decimal digits (none: 0) with blanks around them, as the
            // status channel takes it; any other text is no code.
            var code = /^\s*\d*\s*$/.test(parts[0]) ? Number(parts[0]) : NaN
            var arg = parts.length > 1 ? parts[1] : ""
            if (code === 0 || code === 1 || code === 2) {
                processRun = 0
                waitUpgrade = 1
                if (code === 1) {
                    if (step === stepMicrocode) {
                        buffer_timer.running = true
                    } else if (step === stepFirmware || step === stepBarOnly) {
                        main.closebtn = 1
                        process_interface_info = { "process_fun": successUI, "runtime": step === stepFirmware ? 10 : 20 }
                        waitUpgrade = 0
                        processRun = 1
                    }
                }
                if (code === 2 || code === 0) {
                    processRun = 1
                    failWith(qsTr("%1 reported the failure code %2.").arg(programName()).arg(code))
                }
            } else if (code === 3) {
                event.sendDeviceInfo(usb_path, Number(arg))
            } else if (code === 4) {
                event.sendDeviceInfo("0", Number(arg))
            }
        }
    }

    // The upgrade program of the stage ended without its final report: the stage
    // fails as on a failure report.
    Connections {
        target: process
        function onUpgradeProgramLost(end) {
            if (waitUpgrade !== 1 || mainload !== "../Qml/Process_interface.qml")
                return
            processRun = 1
            failWith(end ? qsTr("%1 ended without reporting a result (%2).").arg(programName()).arg(end)
                         : qsTr("%1 ended without reporting a result.").arg(programName()))
        }
    }

    FontLoader {
        id: notosans
        source: "../font/NotoSans-Regular.ttf"
    }

    // The visible application, centred in the window (which covers the work
    // area), at its design size where the work area holds it, else scaled down
    // as a whole to fit.
    Rectangle {
        id: windows
        width: 1000
        height: 720
        radius: 2
        scale: Math.min(1, main.width / width, main.height / height)
        transformOrigin: Item.TopLeft
        x: Math.max(0, Math.floor((main.width - width * scale) / 2))
        y: Math.max(0, Math.floor((main.height - height * scale) / 2))

        // The keys of the whole window, where the focused control does not take
        // them: Enter presses the page's main button (Start, or the footer's
        // button while it is enabled), Space toggles the precautions check box
        // where it shows; a held key does not press again. Tab from a page
        // itself (no control focused yet) goes on from that page in reading
        // order, not from the window's first control.
        Keys.onTabPressed: moveFocus(true)
        Keys.onBacktabPressed: moveFocus(false)
        Keys.onReturnPressed: pressMainButton(event)
        Keys.onEnterPressed: pressMainButton(event)
        Keys.onSpacePressed: {
            if (!event.isAutoRepeat && foot_load.item)
                foot_load.item.toggleCheck()
        }

        Loader {
            id: head_load
            height: 32
            width: parent.width
            anchors.top: parent.top
            source: "../Qml/HeadControl.qml"
            z: 5
        }

        // The start screen, hidden for good once Start is clicked.
        Rectangle {
            id: main_rec
            anchors.fill: parent
            color: "transparent"
            visible: true
            focus: true
            Accessible.role: Accessible.Pane
            Accessible.name: start_title.text

            Image {
                id: main_bg
                source: "../Images/backimg.png"
                x: 0
                y: 0
            }
            Image {
                id: velm_mlogo
                source: "../Images/Logo_home.png"
                width: 160
                height: 48
                x: 60
                y: 372
            }
            Text {
                id: start_title
                text: qsTr("Upvane")
                font.family: notosans.name
                font.pixelSize: 40
                color: "white"
                x: 60
                y: 452
            }
            Text {
                text: qsTr("RT48PX  Version " + ap_ver)
                font.family: notosans.name
                font.pixelSize: 20
                color: "white"
                x: 60
                y: 512
            }
            Rectangle {
                id: start_rec
                width: 124
                height: 38
                x: 60
                y: 572
                radius: 28
                color: "transparent"
                border.width: 1
                border.color: "white"
                activeFocusOnTab: true
                Accessible.role: Accessible.Button
                Accessible.name: start_txt.text
                Accessible.onPressAction: startWizard()
                Keys.onSpacePressed: startWizard()

                FocusMark {
                    border.color: "white"
                    controlRadius: start_rec.radius
                }

                Text {
                    id: start_txt
                    text: qsTr("Start")
                    font.family: notosans.name
                    font.pixelSize: 16
                    color: "white"
                    x: 36
                    anchors.top: parent.top
                    anchors.topMargin: 2
                    Image {
                        source: "../Images/start.png"
                        width: 16
                        height: 14
                        anchors.left: parent.right
                        anchors.leftMargin: 8
                        anchors.top: parent.top
                        anchors.topMargin: 9
                    }
                }
                MouseArea {
                    anchors.fill: parent
                    cursorShape: Qt.PointingHandCursor
                    onClicked: startWizard()
                }
            }
        }

        Loader {
            id: main_load
            width: parent.width
            height: parent.height - head_load.height - foot_load.height
            anchors.top: head_load.bottom
            source: mainload
            // Each page takes the keyboard focus as it shows, so that a screen
            // reader announces its title (its accessible name).
            onLoaded: item.forceActiveFocus()
        }

        Loader {
            id: foot_load
            width: parent.width
            height: 100
            anchors.bottom: parent.bottom
            z: 5
        }
    }

    // The pause after the micro-code utility has reported success, before the
    // bar completes and the next stage is shown.
    Timer {
        id: buffer_timer
        running: false
        interval: 6000
        repeat: false
        onTriggered: {
            waitUpgrade = 0
            processRun = 1
            main.closebtn = 1
        }
    }

    Timer {
        id: search_timer
        running: searchRun === 1
        interval: 2000
        repeat: true
        onTriggered: searchDevice()
    }

    function startWizard() {
        main_rec.visible = false
        foot_load.source = "../Qml/FootControl.qml"
        mainload = "../Qml/Information_upgrade.qml"
    }

    function moveFocus(forward) {
        var next = main.activeFocusItem ? main.activeFocusItem.nextItemInFocusChain(forward) : null
        if (next)
            next.forceActiveFocus(forward ? Qt.TabFocusReason : Qt.BacktabFocusReason)
    }

    function pressMainButton(event) {
        if (event.isAutoRepeat)
            return
        if (main_rec.visible)
            startWizard()
        else if (foot_load.item)
            foot_load.item.pressButton()
    }

    // The footer's settings: the check box shown (1) or not, the button shown (1)
    // or not, what the button calls and its text.
    function footerSettings(check, confirmvis, confirmfun, btn) {
        return { "check": check, "confirmvis": confirmvis, "confirmfun": confirmfun, "btn": btn }
    }

    // Confirm on the device page of stage 1, 2 or 3: the progress page, then the
    // step's upgrade action.
    function cleanDevice() {
        startStage(undefined)
    }

    function upgrade_4k() {
        startStage(nextUI)
    }

    function upgrade_device() {
        startStage(null)
    }

    // processFun is what the progress page calls when its bar is full; stage 1
    // passes undefined: its progress settings stay until gotoUpgrade sets them,
    // and the wait is marked only once its page shows.
    function startStage(processFun) {
        if (processFun !== undefined) {
            waitUpgrade = 1
            process_interface_info = { "process_fun": processFun, "runtime": 10 }
        }
        foot_control_info = footerSettings(0, 0, null, "Confirm")
        mainload = "../Qml/Process_interface.qml"
        waitUpgrade = 1
        gotoUpgrade()
    }

    function prepareDevice() {
        mainload = "../Qml/Operate_device.qml"
        foot_control_info = footerSettings(0, 1, cleanDevice, "Confirm")
        searchRun = 1
    }

    function searchDevice() {
        hidusb.enumerate()
    }

    // The upgrade action of the current step.
    function gotoUpgrade() {
        if (step === stepWake) {
            waitUpgrade = 0
            if (!upgradeProgramsPresent(true)) {
                failWith(io.failure())
                return
            }
            if (!hidusb.opendev())
                failWith(qsTr("The RT48PX could not be opened; is it still connected?"))
            hidusb.send0XA0()
            process_interface_info = { "process_fun": nextUI, "runtime": 10 }
        } else if (step === stepMicrocode) {
            if (!hidusb.send0XFF())
                failWith(qsTr("The RT48PX did not answer before the micro-code upgrade."))
            else
                startUpgradeProgram("RT48PX_4K.exe")
        } else if (step === stepFirmware) {
            if (!hidusb.checkdev())
                failWith(qsTr("The RT48PX could not be found; is it still connected?"))
            else
                startUpgradeProgram("RT48PX.exe")
        } else if (step === stepBarOnly) {
            waitUpgrade = 0
            if (!upgradeProgramsPresent(false)) {
                failWith(io.failure())
                return
            }
            processRun = 1
        } else {
            console.log("step: ", step)
        }
    }

    // The upgrade program of upgradefile/ copied to its working name and started.
    // The device path the program is told is that of the RT48PX the command
    // just reached: a replug since the search may have moved it.
    function startUpgradeProgram(name) {
        var list = hidusb.devlist
        if (list !== undefined && list.length > 0)
            usb_path = list[0]["path"]
        upgrade_path = io.getAppPath() + "/upgradefile/" + name
        if (!io.copyFile(upgrade_path))
            failWith(io.failure())
        else if (!process.openProcess("upgrade.exe", 3))
            failWith(qsTr("%1 could not be started: %2").arg(name).arg(process.startError()))
    }

    // The upgrade program of the stage, by its name in upgradefile/.
    function programName() {
        return upgrade_path.substring(upgrade_path.lastIndexOf("/") + 1)
    }

    // The upgrade programs the run will start, checked before anything is sent to
    // the device: both on the micro-code path, the firmware one alone otherwise.
    function upgradeProgramsPresent(withMicrocode) {
        var folder = io.getAppPath() + "/upgradefile/"
        if (withMicrocode && !io.checkUpgradeProgram(folder + "RT48PX_4K.exe"))
            return false
        return io.checkUpgradeProgram(folder + "RT48PX.exe")
    }

    function nextUI() {
        main.closebtn = 1
        var s = operate_device_info.status + 1
        if (s === 1) {
            operate_device_info = { "status": 1, "msg": "Detect current version" }
            foot_control_info = footerSettings(1, 1, prepareDevice, "Confirm")
        } else if (s === 2) {
            operate_device_info = { "status": 2, "msg": "Load firmware data" }
            foot_control_info = footerSettings(0, 1, upgrade_4k, "Confirm")
        } else if (s === 3) {
            operate_device_info = { "status": 3, "msg": "Firmware update" }
            foot_control_info = footerSettings(0, 1, upgrade_device, "Confirm")
        }
        mainload = "../Qml/Operate_device.qml"
        searchRun = 1
        main.closebtn = 1
    }

    function errorUI() {
        showResult(false)
    }

    // The failure page with the line that says why; the log keeps the details.
    function failWith(cause) {
        failureCause = cause
        console.info("failure: " + cause)
        errorUI()
    }

    function successUI() {
        showResult(true)
    }

    // The result page, loaded anew, with Finish after a success and Restart after
    // a failure.
    function showResult(success) {
        main.closebtn = 1
        upSuccess = success ? 1 : 0
        checkedFw = ""
        checkedUp = ""
        checkingVersions = success
        if (success)
            searchRun = 1
        mainload = ""
        mainload = "../Qml/Upgrade_status.qml"
        confirmEn = 1
        foot_control_info = success ? footerSettings(0, 1, Qt.quit, "Finish") : footerSettings(0, 1, restartUpgrade, "Restart")
    }

    // The switch found again after the upgrade: what it reports now.
    function versionsChecked() {
        checkingVersions = false
        searchRun = 0
        checkedFw = hidusb.getFWver()
        checkedUp = hidusb.getUPver()
        console.info("after the upgrade the RT48PX reports firmware " + checkedFw + ", micro-code " + checkedUp
                     + "; config.ini: firmware " + FWVer + ", micro-code " + CodeVer)
    }

    // What the switch reports that is older than the upgrade brings ("firmware
    // 01.0.106", "micro-code V1.1.103", or both joined by "and"); "" for nothing.
    function olderVersions() {
        var older = []
        if (hidusb.isOlder(checkedFw, FWVer))
            older.push(qsTr("firmware %1").arg(checkedFw))
        if (hidusb.isOlder(checkedUp, CodeVer))
            older.push(qsTr("micro-code %1").arg(checkedUp))
        return older.join(qsTr(" and "))
    }

    function restartUpgrade() {
        failureCause = ""
        foot_control_info = footerSettings(1, 1, prepareDevice, "Confirm")
        operate_device_info = { "status": 1, "msg": "Detect current version" }
        mainload = "../Qml/Information_upgrade.qml"
        step = 0
        confirmEn = 0
        ischeck = false
        firstSearch = 1
        main.closebtn = 1
    }

    // For a device whose micro-code needs no own stage: stages 2 and 3 are only
    // shown as progress pages, then the firmware utility starts.
    function skipUpgrade4k() {
        var s = operate_device_info.status + 1
        if (s === 1) {
            operate_device_info = { "status": 1, "msg": "Detect current version", "msg2": "" }
            process_interface_info = { "process_fun": skipUpgrade4k, "runtime": 20 }
        } else if (s === 2) {
            operate_device_info = { "status": 2, "msg": "Load firmware data", "msg2": "" }
            process_interface_info = { "process_fun": skipUpgrade4k, "runtime": 20 }
        } else if (s === 3) {
            step = stepFirmware
            waitUpgrade = 1
            operate_device_info = { "status": 3, "msg": "Firmware update", "msg2": "" }
            process_interface_info = { "process_fun": null, "runtime": 20 }
        }
        mainload = "../Qml/Process_interface.qml"
        if (s === 3)
            gotoUpgrade()
    }
}
