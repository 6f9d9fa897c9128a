#include "sweepplot.h"

#include <QLocale>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
// Enough decimals to tell neighbouring ticks apart, no more.
int decimalsFor(double step)
{
    if (!(step > 0.0) || step >= 1.0)
        return 0;
    return std::min(9, int(std::ceil(-std::log10(step) - 1e-9)));
}

const QColor kTraceColour(20, 110, 20);
const QColor kPeakColour(Qt::blue);
const QColor kLevelColour(Qt::red);
constexpr int kLegendSample = 18; // length of the line drawn before a legend text
constexpr int kGap = 14; // between legend entries, and between neighbouring axis labels
} // namespace

SweepPlot::SweepPlot(QWidget* parent)
    : QWidget(parent)
    , m_threshold(std::numeric_limits<double>::quiet_NaN())
{
    setObjectName(QStringLiteral("SweepPlot"));
    setAutoFillBackground(true);
    QPalette background = palette();
    background.setColor(QPalette::Window, Qt::white);
    background.setColor(QPalette::WindowText, Qt::black);
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

void SweepPlot::setMessage(const QString& message)
{
    if (message == m_message)
        return;
    m_message = message;
    update();
}

QVector<SweepPlot::LegendEntry> SweepPlot::legend() const
{
    QVector<LegendEntry> entries;
    if (!m_trace.isEmpty())
        entries.append({ tr("Sweep"), kTraceColour, 2.0 });
    if (!m_peak.isEmpty())
        entries.append({ tr("Peak hold"), kPeakColour, 2.0 });
    if (std::isfinite(m_threshold))
        entries.append({ tr("Level line"), kLevelColour, 1.5 });
    return entries;
}

QStringList SweepPlot::legendEntries() const
{
    QStringList texts;
    for (const LegendEntry& entry : legend())
        texts << entry.text;
    return texts;
}

QStringList SweepPlot::axisEndLabels() const
{
    return { frequencyNumber(m_freqLow, m_unit), frequencyNumber(m_freqHigh, m_unit) };
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

double SweepPlot::unitDivisor(const QString& unit)
{
    if (unit == QLatin1String("MHz"))
        return 1e6;
    if (unit == QLatin1String("kHz"))
        return 1e3;
    return 1.0;
}

QString SweepPlot::frequencyNumber(double hz, const QString& unit)
{
    const double divisor = unitDivisor(unit);
    const float single = float(hz);
    if (!std::isfinite(single))
        return QString::number(hz / divisor, 'g', 7);
    // Recordings keep frequencies as floats: the float nearest 2.4835 GHz is 2483500032 Hz,
    // whose last digits say nothing. The shortest decimal that reads back as the same float is
    // what the recorder was given.
    double clean = double(single);
    for (int digits = 1; digits <= std::numeric_limits<float>::max_digits10; ++digits) {
        const double candidate = QString::number(double(single), 'g', digits).toDouble();
        if (float(candidate) == single) {
            clean = candidate;
            break;
        }
    }
    // The quotient is the double nearest the decimal, and 'f' shortest prints that decimal.
    return QString::number(clean / divisor, 'f', QLocale::FloatingPointShortest);
}

void SweepPlot::paintMessage(QPainter& painter)
{
    const QStringList lines = m_message.split(QLatin1Char('\n'));
    QFont large = font();
    large.setPointSizeF(large.pointSizeF() * 1.4);
    const QFontMetrics largeMetrics(large);
    const QFontMetrics metrics(font());
    const int height = largeMetrics.height() + (lines.size() - 1) * (metrics.height() + 4);
    int y = (this->height() - height) / 2;
    for (int i = 0; i < lines.size(); ++i) {
        painter.setFont(i == 0 ? large : font());
        painter.setPen(i == 0 ? palette().color(QPalette::WindowText) : QColor(90, 90, 90));
        const int lineHeight = i == 0 ? largeMetrics.height() : metrics.height() + 4;
        painter.drawText(
            QRect(0, y, width(), lineHeight), Qt::AlignHCenter | Qt::AlignVCenter, lines.at(i));
        y += lineHeight;
    }
}

void SweepPlot::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!m_message.isEmpty()) {
        paintMessage(painter);
        return;
    }
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QFontMetrics metrics(font());
    const int lineHeight = metrics.height();

    // Margins hold every text, so that no grid line or trace runs through one: the level
    // labels on the left, the level line's value on the right, the legend and the caption
    // above, the frequency labels and the axis title below.
    const int left = lineHeight + 4 + metrics.horizontalAdvance(QStringLiteral("-120")) + 12;
    const int right = metrics.horizontalAdvance(QStringLiteral("-188.8")) + 12;
    const QVector<LegendEntry> entries = legend();
    int legendWidth = 0;
    for (const LegendEntry& entry : entries)
        legendWidth += kLegendSample + 4 + metrics.horizontalAdvance(entry.text) + kGap;
    const int captionWidth = metrics.horizontalAdvance(m_caption);
    const int plotWidth = std::max(10, width() - left - right);
    const bool captionOwnRow
        = !m_caption.isEmpty() && legendWidth > 0 && legendWidth + captionWidth > plotWidth;
    const int rowHeight = lineHeight + 2;
    const int top = 4 + (captionOwnRow ? 2 : 1) * rowHeight + 6;
    const int bottom = 2 * lineHeight + 12;
    const QRectF area(left, top, plotWidth, std::max(10, height() - top - bottom));

    const double freqSpan = m_freqHigh > m_freqLow ? m_freqHigh - m_freqLow : 1.0;
    const auto xOf
        = [&](double hz) { return area.left() + (hz - m_freqLow) / freqSpan * area.width(); };
    const auto yOf = [&](double dBm) {
        const double clamped = std::clamp(dBm, m_levelLow, m_levelHigh);
        return area.bottom() - (clamped - m_levelLow) / (m_levelHigh - m_levelLow) * area.height();
    };

    const QPen gridPen(QColor(225, 225, 225), 1);
    const QPen axisPen(Qt::black, 1);
    const double labelY = area.bottom() + 6 + metrics.ascent();

    // Frequency axis: the start and stop frequency at the ends, inside the widget, then the
    // round values between them that leave room to both.
    painter.setPen(axisPen);
    const QStringList ends = axisEndLabels();
    const QRectF firstRect(area.left(), labelY, metrics.horizontalAdvance(ends.at(0)), 1);
    const double lastWidth = metrics.horizontalAdvance(ends.at(1));
    const QRectF lastRect(area.right() - lastWidth, labelY, lastWidth, 1);
    painter.drawText(firstRect.topLeft(), ends.at(0));
    if (m_freqHigh > m_freqLow)
        painter.drawText(lastRect.topLeft(), ends.at(1));
    const double divisor = unitDivisor(m_unit);
    const QVector<double> xTicks = ticks(m_freqLow / divisor, m_freqHigh / divisor, 6);
    const int xDecimals = decimalsFor(xTicks.size() > 1 ? xTicks.at(1) - xTicks.at(0) : 1.0);
    double freeFrom = firstRect.right() + kGap;
    for (double tick : xTicks) {
        const double x = xOf(tick * divisor);
        if (x <= area.left() + 1 || x >= area.right() - 1)
            continue;
        painter.setPen(gridPen);
        painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        painter.setPen(axisPen);
        painter.drawLine(QPointF(x, area.bottom()), QPointF(x, area.bottom() + 4));
        const QString label = QString::number(tick, 'f', xDecimals);
        const double w = metrics.horizontalAdvance(label);
        if (x - w / 2 >= freeFrom && x + w / 2 + kGap <= lastRect.left()) {
            painter.drawText(QPointF(x - w / 2, labelY), label);
            freeFrom = x + w / 2 + kGap;
        }
    }

    // Level axis.
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
    const QString xTitle = tr("Frequency [%1]").arg(m_unit);
    painter.drawText(QPointF(area.center().x() - metrics.horizontalAdvance(xTitle) / 2.0,
                         height() - metrics.descent() - 3),
        xTitle);

    // The level axis title, turned to run up beside its labels.
    const QString yTitle = tr("Level [dBm]");
    painter.save();
    painter.translate(
        4 + metrics.ascent(), area.center().y() + metrics.horizontalAdvance(yTitle) / 2.0);
    painter.rotate(-90);
    painter.drawText(QPointF(0, 0), yTitle);
    painter.restore();

    // Above the plot: the legend, and the caption on the right.
    const double firstBaseline = 4 + metrics.ascent();
    double x = area.left();
    for (const LegendEntry& entry : entries) {
        const double middle = 4 + lineHeight / 2.0;
        painter.setPen(QPen(entry.colour, entry.penWidth));
        painter.drawLine(QPointF(x, middle), QPointF(x + kLegendSample, middle));
        painter.setPen(axisPen);
        painter.drawText(QPointF(x + kLegendSample + 4, firstBaseline), entry.text);
        x += kLegendSample + 4 + metrics.horizontalAdvance(entry.text) + kGap;
    }
    if (!m_caption.isEmpty()) {
        const double baseline = firstBaseline + (captionOwnRow ? rowHeight : 0);
        painter.drawText(QPointF(area.right() - captionWidth, baseline), m_caption);
    }

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
    drawTrace(m_peak, kPeakColour);
    drawTrace(m_trace, kTraceColour);
    double levelY = 0.0;
    if (std::isfinite(m_threshold)) {
        painter.setPen(QPen(kLevelColour, 1.5));
        levelY = yOf(m_threshold);
        painter.drawLine(QPointF(area.left(), levelY), QPointF(area.right(), levelY));
    }
    painter.restore();

    // The line's value in the right margin, where nothing else is drawn.
    if (std::isfinite(m_threshold)) {
        painter.setPen(QPen(kLevelColour, 1.5));
        painter.drawLine(QPointF(area.right(), levelY), QPointF(area.right() + 4, levelY));
        const double baseline = std::clamp(
            levelY + metrics.ascent() / 2.0 - 1, area.top() + metrics.ascent(), area.bottom());
        painter.drawText(QPointF(area.right() + 6, baseline), QString::number(m_threshold, 'f', 1));
    }
}
