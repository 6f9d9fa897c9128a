#include "sweepplot.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
double unitDivisor(const QString& unit)
{
    if (unit == QLatin1String("MHz"))
        return 1e6;
    if (unit == QLatin1String("kHz"))
        return 1e3;
    return 1.0;
}

// Enough decimals to tell neighbouring ticks apart, no more.
int decimalsFor(double step)
{
    if (!(step > 0.0) || step >= 1.0)
        return 0;
    return std::min(9, int(std::ceil(-std::log10(step) - 1e-9)));
}
} // namespace

SweepPlot::SweepPlot(QWidget* parent)
    : QWidget(parent)
    , m_threshold(std::numeric_limits<double>::quiet_NaN())
{
    setObjectName(QStringLiteral("SweepPlot"));
    setAutoFillBackground(true);
    QPalette background = palette();
    background.setColor(QPalette::Window, Qt::white);
    setPalette(background);
}

void SweepPlot::setFrequencyRange(double lowestHz, double highestHz)
{
    m_freqLow = lowestHz;
    m_freqHigh = highestHz;
    update();
}

void SweepPlot::setFrequencyUnit(const QString& unit)
{
    if (unit == m_unit)
        return;
    m_unit = unit;
    update();
}

void SweepPlot::setLevelRange(double lowestDbm, double highestDbm)
{
    if (!(highestDbm > lowestDbm))
        highestDbm = lowestDbm + 10.0;
    m_levelLow = lowestDbm;
    m_levelHigh = highestDbm;
    update();
}

void SweepPlot::setTrace(const QVector<float>& levels, const QString& caption)
{
    m_trace = levels;
    m_caption = caption;
    update();
}

void SweepPlot::setPeakTrace(const QVector<float>& levels)
{
    m_peak = levels;
    update();
}

void SweepPlot::setThreshold(double dBm)
{
    m_threshold = dBm;
    update();
}

QVector<double> SweepPlot::ticks(double lowest, double highest, int maxTicks)
{
    QVector<double> result;
    if (!std::isfinite(lowest) || !std::isfinite(highest) || highest < lowest || maxTicks < 2)
        return result;
    if (highest == lowest) {
        result << lowest;
        return result;
    }
    const double span = highest - lowest;
    double magnitude = std::pow(10.0, std::floor(std::log10(span / maxTicks)));
    for (;;) {
        for (double factor : { 1.0, 2.0, 5.0 }) {
            const double step = factor * magnitude;
            const double first = std::ceil(lowest / step - 1e-9) * step;
            const int count = int(std::floor((highest - first) / step + 1e-9)) + 1;
            if (count <= maxTicks) {
                // A span narrower than one step still gets its two ends.
                if (count < 2)
                    return { lowest, highest };
                for (int i = 0; i < count; ++i)
                    result << first + i * step;
                return result;
            }
        }
        magnitude *= 10.0;
    }
}

void SweepPlot::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QFontMetrics metrics(font());
    const int left = metrics.horizontalAdvance(QStringLiteral("-120 dBm")) + 12;
    const int bottom = 2 * metrics.height() + 10;
    const QRectF area(left, metrics.height() + 6, std::max(10, width() - left - 16),
        std::max(10, height() - bottom - metrics.height() - 6));

    const double freqSpan = m_freqHigh > m_freqLow ? m_freqHigh - m_freqLow : 1.0;
    const auto xOf
        = [&](double hz) { return area.left() + (hz - m_freqLow) / freqSpan * area.width(); };
    const auto yOf = [&](double dBm) {
        const double clamped = std::clamp(dBm, m_levelLow, m_levelHigh);
        return area.bottom() - (clamped - m_levelLow) / (m_levelHigh - m_levelLow) * area.height();
    };

    // Grid and tick labels.
    const QPen gridPen(QColor(225, 225, 225), 1);
    const QPen axisPen(Qt::black, 1);
    const double divisor = unitDivisor(m_unit);
    const QVector<double> xTicks = ticks(m_freqLow / divisor, m_freqHigh / divisor, 6);
    const int xDecimals = decimalsFor(xTicks.size() > 1 ? xTicks.at(1) - xTicks.at(0) : 1.0);
    for (double tick : xTicks) {
        const double x = xOf(tick * divisor);
        painter.setPen(gridPen);
        painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        painter.setPen(axisPen);
        painter.drawLine(QPointF(x, area.bottom()), QPointF(x, area.bottom() + 4));
        const QString label = QString::number(tick, 'f', xDecimals);
        const int w = metrics.horizontalAdvance(label);
        painter.drawText(QPointF(x - w / 2.0, area.bottom() + 6 + metrics.ascent()), label);
    }
    for (double tick : ticks(m_levelLow, m_levelHigh, 7)) {
        const double y = yOf(tick);
        painter.setPen(gridPen);
        painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        painter.setPen(axisPen);
        painter.drawLine(QPointF(area.left() - 4, y), QPointF(area.left(), y));
        const QString label = QString::number(tick, 'f', 0);
        painter.drawText(QPointF(area.left() - 8 - metrics.horizontalAdvance(label),
                             y + metrics.ascent() / 2.0 - 1),
            label);
    }
    painter.setPen(axisPen);
    painter.drawRect(area);
    painter.drawText(QPointF(4, area.top() - 4), tr("dBm"));
    const QString xTitle = tr("Frequency [%1]").arg(m_unit);
    painter.drawText(QPointF(area.center().x() - metrics.horizontalAdvance(xTitle) / 2.0,
                         height() - metrics.descent() - 2),
        xTitle);

    const auto drawTrace = [&](const QVector<float>& levels, const QColor& colour) {
        if (levels.isEmpty())
            return;
        QPainterPath path;
        const int n = levels.size();
        for (int i = 0; i < n; ++i) {
            const double hz
                = n > 1 ? m_freqLow + i * (m_freqHigh - m_freqLow) / (n - 1) : m_freqLow;
            const QPointF point(xOf(hz), yOf(double(levels.at(i))));
            if (i == 0)
                path.moveTo(point);
            else
                path.lineTo(point);
        }
        painter.setPen(QPen(colour, 1.2));
        painter.drawPath(path);
    };
    painter.save();
    painter.setClipRect(area);
    drawTrace(m_peak, Qt::blue);
    drawTrace(m_trace, QColor(20, 110, 20));
    if (std::isfinite(m_threshold)) {
        painter.setPen(QPen(Qt::red, 1.5));
        const double y = yOf(m_threshold);
        painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        const QString label = tr("Level detect %1 dBm").arg(m_threshold, 0, 'f', 1);
        // Below the line: the peaks that cross it are above.
        painter.drawText(QPointF(area.left() + 4, y + metrics.ascent() + 2), label);
    }
    painter.restore();

    if (!m_caption.isEmpty()) {
        painter.setPen(axisPen);
        painter.drawText(QPointF(area.right() - metrics.horizontalAdvance(m_caption) - 4,
                             area.top() + metrics.ascent() + 2),
            m_caption);
    }
}
