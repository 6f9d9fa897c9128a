#pragma once

#include <QString>
#include <QVector>
#include <QWidget>

/// Draws one sweep: level in dBm over frequency, with labelled axes, an optional peak-hold trace
/// (blue) and an optional level-detect threshold (red horizontal line).
///
/// The plot only draws what it is given; the host feeds it from the replay engine.
class SweepPlot : public QWidget
{
    Q_OBJECT

public:
    explicit SweepPlot(QWidget* parent = nullptr);

    /// The frequency span of the x axis in Hz, and the unit its labels use ("MHz" divides by
    /// 1e6, "kHz" by 1e3, anything else is Hz).
    void setFrequencyRange(double lowestHz, double highestHz);
    void setFrequencyUnit(const QString& unit);
    /// The level span of the y axis in dBm; an empty or reversed span is widened to 10 dB.
    void setLevelRange(double lowestDbm, double highestDbm);
    /// The sweep shown; empty shows axes only. `caption` is drawn in the upper right corner.
    void setTrace(const QVector<float>& levels, const QString& caption = QString());
    /// The peak-hold trace; empty draws none.
    void setPeakTrace(const QVector<float>& levels);
    /// The level-detect line; NaN draws none.
    void setThreshold(double dBm);

    /// Tick positions for an axis from `lowest` to `highest`: multiples of a 1, 2 or 5 step
    /// (times a power of ten) chosen so that there are at most `maxTicks` of them, at least two
    /// for a non-empty span. Empty for a reversed or non-finite span.
    static QVector<double> ticks(double lowest, double highest, int maxTicks);

    QSize sizeHint() const override { return QSize(640, 360); }
    QSize minimumSizeHint() const override { return QSize(320, 200); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double m_freqLow = 0.0;
    double m_freqHigh = 1.0;
    QString m_unit = QStringLiteral("MHz");
    double m_levelLow = -120.0;
    double m_levelHigh = 0.0;
    QVector<float> m_trace;
    QVector<float> m_peak;
    QString m_caption;
    double m_threshold;
};
