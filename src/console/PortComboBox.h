#pragma once

#include "links/MSComm.h"

#include <QComboBox>
#include <functional>

// The serial port list. Its entries stay "1" to "16"; each carries a tooltip naming the device its
// number maps to now, read afresh each time the list opens, so an adapter plugged in after start-up
// shows without a restart. The box's own tooltip names the chosen entry's device.
class PortComboBox : public QComboBox
{
    Q_OBJECT
public:
    using DeviceSource = std::function<QList<MSComm::SerialDevice>()>;

    explicit PortComboBox(QWidget* parent = nullptr);

    // Where the present devices come from: the system, unless a test gives its own.
    void setDeviceSource(DeviceSource source);
    void showPopup() override;

    // What port is now: the device with its adapter's description and maker where known.
    static QString DescribePort(int port, const QList<MSComm::SerialDevice>& present);

protected:
    bool event(QEvent* event) override;

private:
    void updateToolTips();

    DeviceSource m_devices = &MSComm::PresentDevices;
};
