#pragma once

#include <recording/headerdata.h>
#include <recording/recording_export.h>

#include <QIODevice>
#include <QString>
#include <QVector>

/// Reading and writing .rec files (layout in docs/rec-format.md).
///
/// Failures are returned, never thrown: false, with the reason in *error when `error` is not
/// null. On failure the output arguments are left as they were.
namespace Recording2 {

/// "TREC" as the first four bytes of the file.
constexpr quint32 iREC_MAGIC = 0x43455254;
constexpr quint32 iREC_VERSION = 1;
/// Bytes before the first sweep: magic, version and the 96-byte header block.
constexpr qint64 iREC_HEADER_BYTES = 8 + 96;
/// More levels than this per sweep marks a damaged or foreign file.
constexpr quint32 iMAX_LEVELS = 1u << 20;

/// One sweep: when it was taken and its levels in dBm, evenly spaced from the header's lowest
/// to its highest frequency.
struct CSweep
{
    CTimeStamp time;
    QVector<float> levels;
};

/// Fills `header` from the file at `path`. Reads only the header block, but checks that the
/// file's size matches the sweeps the header announces, so a truncated file fails here already.
RECORDING_EXPORT bool ReadHeader(
    const QString& path, CHeaderData& header, QString* error = nullptr);

/// Reads the header and all sweeps.
RECORDING_EXPORT bool ReadSweeps(
    const QString& path, CHeaderData& header, QVector<CSweep>& sweeps, QString* error = nullptr);

/// The same from a device that is open for reading and positioned at the start of a recording,
/// e.g. a QBuffer; the recording must end where the device ends. A sequential device fails, as
/// its size is not known in advance. The file versions above open the file and call these.
RECORDING_EXPORT bool ReadHeader(QIODevice& device, CHeaderData& header, QString* error = nullptr);
RECORDING_EXPORT bool ReadSweeps(
    QIODevice& device, CHeaderData& header, QVector<CSweep>& sweeps, QString* error = nullptr);

/// Writes a recording: `path` and its companions, the same name with ".bt" and ".avl" in place
/// of ".rec" (appended when `path` does not end in ".rec"). Existing files are replaced, each
/// atomically; the .rec is written last, so it never exists without its companions.
/// The sweep count written is sweeps.size(); every sweep must hold header.levelsPerSweep()
/// levels, and that must be 1 to iMAX_LEVELS.
RECORDING_EXPORT bool WriteRecording(const QString& path, const CHeaderData& header,
    const QVector<CSweep>& sweeps, QString* error = nullptr);

} // namespace Recording2
