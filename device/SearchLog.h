#pragma once

#include "SeenDevice.h"

#include <QString>
#include <QStringList>

// The log's account of one search. Only the RT48PX is named in full (path,
// serial number, names, release); every other device appears as vendor:product
// and what became of it. Pure functions, no I/O.
namespace SearchLog {

// "f0e1:0048" from a device record.
QString ids(const QVariantMap &record);

// "not opened", "refused", "accepted", "not asked".
QString outcomeName(SeenDevice::Outcome outcome);

// The lines for one search:
//   "search: 3 HID devices: f0e2:0002 refused, f0e1:0048 accepted, f0e3:1234 not asked"
// and, when a device was accepted,
//   "RT48PX: f0e1:0048 "RT48PX KVM" by "VELM", serial "RT48PX-0001", release 0104, interface 0, path /dev/hidraw1"
//   "RT48PX versions: firmware 01.0.107, micro-code V1.1.103; <policy> -> micro-code stage needed|skipped"
// `policy` describes the config.ini keys the decision used. Never fails.
QStringList lines(const SeenDevices &devices, const QString &firmware, const QString &microcode,
                  const QString &policy);

}
