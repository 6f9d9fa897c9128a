#pragma once

#include <recording/headerdata.h>
#include <recording/recording_export.h>

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QVector>

#include <memory>

class QFile;

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

/// Random access to one recording: the header, the number of sweeps and any sweep on demand,
/// so that a recording of any size opens at once and costs the memory of the sweeps read.
///
/// Reads are positioned reads (pread on a file opened by path, seek and read on a device), not a
/// memory mapping: a mapped file that shrinks under the reader faults (SIGBUS) on the next
/// access, a read just comes back short.
///
/// Unlike ReadHeader, open() accepts a file cut short (a recording still being written, or one
/// whose writer stopped): sweepCount() is then below announcedSweepCount() and truncationText()
/// says so. Everything else ReadHeader refuses, open() refuses with the same message.
///
/// Not thread-safe: one reader per thread.
class RECORDING_EXPORT CRecordingReader
{
public:
    CRecordingReader();
    ~CRecordingReader();
    CRecordingReader(const CRecordingReader&) = delete;
    CRecordingReader& operator=(const CRecordingReader&) = delete;

    /// Opens the file at `path` and reads its header. A reader that was open closes first; on
    /// failure it stays closed.
    bool open(const QString& path, QString* error = nullptr);
    /// The same on a device that is open for reading and positioned at the start of a
    /// recording, e.g. a QBuffer. Not owned: it must outlive the reader or its next open/close.
    bool open(QIODevice* device, QString* error = nullptr);
    void close();
    bool isOpen() const { return m_device != nullptr; }

    /// The header as the file states it; its sweepCount() is announcedSweepCount().
    const CHeaderData& header() const { return m_header; }
    /// The sweeps the header announces.
    quint32 announcedSweepCount() const { return m_header.sweepCount(); }
    /// The complete sweeps in the file as of open() or the last refresh(): readSweep() takes
    /// 0 to sweepCount() - 1. Never more than announced.
    quint32 sweepCount() const { return m_complete; }
    /// Empty when the file holds every announced sweep, else a sentence for the user such as
    /// "the file holds 2 of 5 announced sweeps".
    QString truncationText() const;

    /// Reads sweep `index` into `sweep`, reusing its level storage. Fails with a message when
    /// the index is not below sweepCount() or when the file shrank since the last refresh();
    /// `sweep` is then unchanged. After such a failure, refresh() tells where the file ends now.
    bool readSweep(quint32 index, CSweep& sweep, QString* error = nullptr);

    /// Looks at the file again: a header whose sweep count a writer raised and sweeps appended
    /// since open(), or a file that shrank. Bytes past the announced sweeps are left alone (a
    /// writer between appending a sweep and raising the count). Fails when the header is no
    /// longer readable or describes other sweeps (levels, frequencies); the reader then offers
    /// no sweeps (sweepCount() 0) until it is opened again.
    bool refresh(QString* error = nullptr);

private:
    bool openDevice(QIODevice* device, int fd, QString* error);

    std::unique_ptr<QFile> m_file; // when opened by path
    QIODevice* m_device = nullptr; // m_file or the caller's device; not owned
    int m_fd = -1; // m_file's descriptor where positioned reads exist
    qint64 m_start = 0; // where the recording starts on the device
    CHeaderData m_header;
    quint32 m_complete = 0;
    QByteArray m_buffer; // one sweep as read, reused
};

/// Fills `header` from the file at `path`. Reads only the header block, but checks that the
/// file's size matches the sweeps the header announces, so a truncated file fails here already.
RECORDING_EXPORT bool ReadHeader(
    const QString& path, CHeaderData& header, QString* error = nullptr);

/// Reads the header and all sweeps. Fails on a file cut short, like ReadHeader.
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
