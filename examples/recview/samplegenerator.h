#pragma once

#include <recording/recfile.h>

#include <QString>
#include <QStringList>
#include <QVector>

/// Synthetic recordings for the demo and the tests: a noise floor with a few peaks that move
/// from sweep to sweep. Everything follows from the description, so the same description gives
/// the same bytes on every machine.
namespace SampleGenerator {

struct Peak
{
    double centreHz; ///< where the peak starts
    double driftHz; ///< how far it wanders (a sine over the recording)
    double heightDb; ///< above the noise floor
    double widthHz; ///< half width at half height
};

struct Description
{
    QString fileName; ///< base name, e.g. "fm-band.rec"
    QByteArray deviceName;
    QByteArray deviceType;
    double lowestHz = 0.0;
    double highestHz = 0.0;
    int levelsPerSweep = 0;
    int sweepCount = 0;
    qint64 startUsecs = 0; ///< the first sweep's time stamp
    qint64 sweepIntervalUsecs = 100000;
    float noiseFloorDbm = -100.0f;
    float noiseSpreadDb = 3.0f; ///< peak-to-peak spread of the noise
    quint64 seed = 1;
    QVector<Peak> peaks;
};

/// The recordings the demo ships with.
QVector<Description> demoSamples();

/// The header and the sweeps of `description`.
void generate(const Description& description, Recording2::CHeaderData& header,
    QVector<Recording2::CSweep>& sweeps);

/// Writes every demo sample (with its companions) into `folder`, which is created when missing.
/// Returns the .rec paths written; on failure an empty list and the reason in *error.
QStringList writeDemoSamples(const QString& folder, QString* error = nullptr);

} // namespace SampleGenerator
