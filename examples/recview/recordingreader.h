#pragma once

#include <recording/recfile.h>

#include <QString>
#include <QVector>

/// What the viewer read of a recording.
struct RecordingContents
{
    Recording2::CHeaderData header; ///< its sweep count is that of `sweeps`
    QVector<Recording2::CSweep> sweeps;
    /// The sweeps the file's header announced; more than sweeps.size() for a file cut short.
    quint32 announcedSweeps = 0;

    bool isCutShort() const { return announcedSweeps > quint32(sweeps.size()); }
};

/// Reads a recording for showing. A file cut short (the header announces more sweeps than the
/// file holds, as after a recorder that died or a copy that broke off) gives the complete
/// sweeps it holds; every other fault the reader finds, a damaged header above all, is refused
/// with the reader's own reason in *error. A file cut short that holds no complete sweep is
/// refused as well: there would be nothing to show.
bool readRecording(const QString& path, RecordingContents& contents, QString* error = nullptr);
