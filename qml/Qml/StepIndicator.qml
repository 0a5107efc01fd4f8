import QtQuick 2.0

// One mark of the stage row at the top of a page (stages 1, 2 and 3 side by
// side): the numbered mark while main.operate_device_info.status is its stage,
// the plain one otherwise.
Image {
    property int stage: 1

    x: 400 + 40 * stage
    y: 26
    width: 36
    height: 32
    source: "../Images/" + (main.operate_device_info.status === stage ? ["Step.png", "Step-2.png", "Step-3.png"]
                                                                      : ["Step-4.png", "Step-5.png", "Step-6.png"])[stage - 1]
}
