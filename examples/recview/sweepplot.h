#pragma once

#include <QColor>
#include <QString>
#include <QVector>
#include <QWidget>

/// Draws one sweep: level in dBm over frequency, with labelled axes, an optional peak-hold trace
/// (blue), an optional level-detect line (red) and a legend naming what is drawn.
///
/// The x axis is labelled with the start and stop frequency at its ends and round values
/// between them; the level line's value sits in the right margin, outside the traces. Before
/// it has anything to show the plot shows a message instead of empty axes.
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
    QString frequencyUnit() const { return m_unit; }
    /// The level span of the y axis in dBm; an empty or reversed span is widened to 10 dB.
    void setLevelRange(double lowestDbm, double highestDbm);
    /// The sweep shown; empty shows axes only. `caption` is drawn above the plot, on the right.
    void setTrace(const QVector<float>& levels, const QString& caption = QString());
    /// The peak-hold trace; empty draws none.
    void setPeakTrace(const QVector<float>& levels);
    /// The level-detect line; NaN draws none.
    void setThreshold(double dBm);
    /// While not empty, the plot shows only this text (lines separated by '\n'), no axes.
    void setMessage(const QString& message);
    QString message() const { return m_message; }

    /// The entries of the legend, in the order drawn: the traces and the line being shown.
    QStringList legendEntries() const;
    /// The texts at the ends of the x axis: the start and stop frequency in the unit.
    QStringList axisEndLabels() const;

    /// Tick positions for an axis from `lowest` to `highest`: multiples of a 1, 2 or 5 step
    /// (times a power of ten) chosen so that there are at most `maxTicks` of them, at least two
    /// for a non-empty span. Empty for a reversed or non-finite span.
    static QVector<double> ticks(double lowest, double highest, int maxTicks);
    /// The divisor of a unit text: 1e6 for "MHz", 1e3 for "kHz", else 1.
    static double unitDivisor(const QString& unit);
    /// A frequency in `unit` without the noise of its single-precision origin: the shortest
    /// decimal that stands for the same float, so the float nearest 2.4835 GHz (2483500032 Hz)
    /// gives "2483.5" in MHz and "2483500" in kHz.
    static QString frequencyNumber(double hz, const QString& unit);

    QSize sizeHint() const override { return QSize(640, 360); }
    QSize minimumSizeHint() const override { return QSize(320, 200); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct LegendEntry
    {
        QString text;
        QColor colour;
        qreal penWidth;
    };
    QVector<LegendEntry> legend() const;
    void paintMessage(QPainter& painter);

    double m_freqLow = 0.0;
    double m_freqHigh = 1.0;
    QString m_unit = QStringLiteral("MHz");
    double m_levelLow = -120.0;
    double m_levelHigh = 0.0;
    QVector<float> m_trace;
    QVector<float> m_peak;
    QString m_caption;
    QString m_message;
    double m_threshold;
};
