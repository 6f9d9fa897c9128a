#pragma once

// What the soak test and the benchmarks measure memory with.

#include <QByteArray>
#include <QFile>

/// The resident size of this process in KiB, from /proc/self/status; -1 where it cannot be read.
inline long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}
