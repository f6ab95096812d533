#pragma once

#include <QString>
#include <QStringList>

// The "drives" of the pickers: the root folder and every mounted volume a user can see.
namespace mixgen {

// "/" first, then the root path of each mounted volume that holds the user's files and can be
// read now (kernel and system mounts such as /proc, /sys, /dev and /run are left out), in
// order of their roots. Asked afresh on every call, so a stick plugged in meanwhile appears.
QStringList mountedVolumes();

// The volume of path: the root in volumes that is its longest prefix, compared whole folder
// names at a time ("/media/usb" is not the volume of "/media/usb2"). Empty when path is not a
// full path or no root is a prefix.
QString volumeOf(const QString& path, const QStringList& volumes);

// A listed volume can be shown now: its root is still a folder that can be read and entered.
bool volumeIsReady(const QString& root);

} // namespace mixgen
