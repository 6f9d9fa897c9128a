#include "samplegenerator.h"

#include <QDir>

#include <algorithm>
#include <cmath>

namespace SampleGenerator {

namespace {

// splitmix64: tiny, and its output is fixed by the algorithm, unlike the standard library's
// distributions, whose results differ between implementations.
class Random
{
public:
    explicit Random(quint64 seed)
        : m_state(seed)
    { }

    quint64 next()
    {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    /// Uniform in [0, 1).
    double uniform() { return double(next() >> 11) * (1.0 / 9007199254740992.0); }

private:
    quint64 m_state;
};

constexpr double kPi = 3.14159265358979323846;
// 2024-03-01 12:00:00 UTC.
constexpr qint64 kDemoStart = 1709294400000000;

} // namespace

QVector<Description> demoSamples()
{
    QVector<Description> samples;

    Description fm;
    fm.fileName = QStringLiteral("fm-band.rec");
    fm.deviceName = "Mast N1";
    fm.deviceType = "SR-8";
    fm.lowestHz = 87.5e6;
    fm.highestHz = 108.0e6;
    fm.levelsPerSweep = 512;
    fm.sweepCount = 120;
    fm.startUsecs = kDemoStart;
    fm.sweepIntervalUsecs = 250000;
    fm.noiseFloorDbm = -98.0f;
    fm.seed = 0x464D;
    fm.peaks = { { 91.3e6, 0.0, 45.0, 60e3 }, { 99.8e6, 0.0, 38.0, 60e3 },
        { 104.1e6, 1.5e6, 30.0, 150e3 } };
    samples << fm;

    Description ism;
    ism.fileName = QStringLiteral("ism-2g4.rec");
    ism.deviceName = "Bench 2";
    ism.deviceType = "AN-2";
    ism.lowestHz = 2.400e9;
    ism.highestHz = 2.4835e9;
    ism.levelsPerSweep = 801;
    ism.sweepCount = 200;
    ism.startUsecs = kDemoStart + 3600000000;
    ism.sweepIntervalUsecs = 50000;
    ism.noiseFloorDbm = -92.0f;
    ism.seed = 0x2400;
    ism.peaks = { { 2.412e9, 0.0, 30.0, 8e6 }, { 2.450e9, 25e6, 35.0, 1e6 } };
    samples << ism;

    Description uhf;
    uhf.fileName = QStringLiteral("uhf-430.rec");
    uhf.deviceName = "Van 3";
    uhf.deviceType = "PR-4";
    uhf.lowestHz = 430.0e6;
    uhf.highestHz = 440.0e6;
    uhf.levelsPerSweep = 256;
    uhf.sweepCount = 50;
    uhf.startUsecs = kDemoStart + 7200000000;
    uhf.sweepIntervalUsecs = 1000000;
    uhf.noiseFloorDbm = -105.0f;
    uhf.noiseSpreadDb = 4.0f;
    uhf.seed = 0x430;
    uhf.peaks = { { 433.92e6, 2.0e6, 50.0, 20e3 }, { 438.5e6, 0.5e6, 25.0, 40e3 } };
    samples << uhf;

    return samples;
}

void generate(const Description& description, Recording2::CHeaderData& header,
    QVector<Recording2::CSweep>& sweeps)
{
    const int levels = std::max(1, description.levelsPerSweep);
    const int count = std::max(0, description.sweepCount);
    header = Recording2::CHeaderData();
    header.setDeviceName(description.deviceName);
    header.setDeviceType(description.deviceType);
    header.setFreqRange(float(description.lowestHz), float(description.highestHz));
    header.setLevelsPerSweep(quint32(levels));
    header.setSweepCount(quint32(count));
    header.setStartTS(Recording2::CTimeStamp(description.startUsecs));
    header.setStopTS(Recording2::CTimeStamp(
        description.startUsecs + qint64(std::max(0, count - 1)) * description.sweepIntervalUsecs));

    Random random(description.seed);
    const double binHz
        = levels > 1 ? (description.highestHz - description.lowestHz) / (levels - 1) : 0.0;
    sweeps.clear();
    sweeps.reserve(count);
    for (int s = 0; s < count; ++s) {
        Recording2::CSweep sweep;
        sweep.time
            = Recording2::CTimeStamp(description.startUsecs + s * description.sweepIntervalUsecs);
        sweep.levels.resize(levels);
        const double phase = count > 1 ? 2.0 * kPi * s / count : 0.0;
        for (int i = 0; i < levels; ++i) {
            const double hz = description.lowestHz + i * binHz;
            // Three uniforms summed: a bell-shaped noise without a transcendental per bin.
            const double noise
                = (random.uniform() + random.uniform() + random.uniform() - 1.5) / 3.0;
            double level = description.noiseFloorDbm + noise * 2.0 * description.noiseSpreadDb;
            for (const Peak& peak : description.peaks) {
                const double centre = peak.centreHz + peak.driftHz * std::sin(phase);
                const double x = (hz - centre) / peak.widthHz;
                const double height = peak.heightDb * (0.85 + 0.15 * std::cos(2.0 * phase));
                level += height / (1.0 + x * x);
            }
            sweep.levels[i] = float(level);
        }
        sweeps << sweep;
    }
}

QStringList writeDemoSamples(const QString& folder, QString* error)
{
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("cannot create the folder %1").arg(folder);
        return {};
    }
    QStringList written;
    for (const Description& description : demoSamples()) {
        Recording2::CHeaderData header;
        QVector<Recording2::CSweep> sweeps;
        generate(description, header, sweeps);
        const QString path = QDir(folder).filePath(description.fileName);
        if (!Recording2::WriteRecording(path, header, sweeps, error))
            return {};
        written << path;
    }
    return written;
}

} // namespace SampleGenerator
