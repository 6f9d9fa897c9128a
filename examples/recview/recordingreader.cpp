#include "recordingreader.h"

#include <QFile>
#include <QIODevice>
#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace {

// Offsets in the file (docs/rec-format.md).
constexpr int kLevelsOffset = 8;
constexpr int kSweepCountOffset = 20;

// The file as the reader should see it: the header with the sweep count it really holds, and
// the file up to the last complete sweep. Reading goes to the file, so nothing is copied.
class CutShortView : public QIODevice
{
public:
    CutShortView(QFile& file, QByteArray header, qint64 size)
        : m_file(file)
        , m_header(std::move(header))
        , m_size(size)
    { }

    bool isSequential() const override { return false; }
    qint64 size() const override { return m_size; }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        qint64 at = pos();
        const qint64 wanted = std::min(maxSize, m_size - at);
        qint64 done = 0;
        if (at < m_header.size() && wanted > 0) {
            done = std::min(wanted, qint64(m_header.size()) - at);
            std::memcpy(data, m_header.constData() + at, size_t(done));
            at += done;
        }
        if (done < wanted) {
            if (!m_file.seek(at))
                return done > 0 ? done : -1;
            const qint64 read = m_file.read(data + done, wanted - done);
            if (read < 0)
                return done > 0 ? done : -1;
            done += read;
        }
        return done;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QFile& m_file;
    QByteArray m_header;
    qint64 m_size;
};

} // namespace

bool readRecording(const QString& path, RecordingContents& contents, QString* error)
{
    QString reason;
    Recording2::CHeaderData header;
    QVector<Recording2::CSweep> sweeps;
    if (Recording2::ReadSweeps(path, header, sweeps, &reason)) {
        contents.header = header;
        contents.sweeps = std::move(sweeps);
        contents.announcedSweeps = header.sweepCount();
        return true;
    }

    // The reader refuses a file cut short as a whole. Find out whether that is all that is
    // wrong; the reader checks the rest of the header itself when it reads the shortened view.
    const auto refuse = [&] {
        if (error)
            *error = reason;
        return false;
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refuse();
    QByteArray head = file.read(Recording2::iREC_HEADER_BYTES);
    if (head.size() != Recording2::iREC_HEADER_BYTES)
        return refuse();
    const quint32 levels = qFromLittleEndian<quint32>(head.constData() + kLevelsOffset);
    const quint32 announced = qFromLittleEndian<quint32>(head.constData() + kSweepCountOffset);
    if (levels == 0 || levels > Recording2::iMAX_LEVELS)
        return refuse();
    const qint64 sweepBytes = 8 + 4 * qint64(levels);
    const qint64 complete = (file.size() - Recording2::iREC_HEADER_BYTES) / sweepBytes;
    if (complete <= 0 || complete >= qint64(announced))
        return refuse();

    qToLittleEndian(quint32(complete), head.data() + kSweepCountOffset);
    CutShortView view(file, head, Recording2::iREC_HEADER_BYTES + complete * sweepBytes);
    view.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    // Fails only when the file changed under us (or the header is damaged after all): then the
    // reader's reason for the shortened file is the one to give.
    if (!Recording2::ReadSweeps(view, header, sweeps, &reason))
        return refuse();
    contents.header = header;
    contents.sweeps = std::move(sweeps);
    contents.announcedSweeps = announced;
    return true;
}
