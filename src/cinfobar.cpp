#include "cinfobar.h"

#include <recording/headerdata.h>

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

namespace {
struct Unit
{
    const char* text;
    int divisor;
};

constexpr Unit iUNITS[] = {
    { "MHz", 1000000 },
    { "kHz", 1000 },
    { "Hz", 1 },
};

QString frequencyText(float hz, const Unit& unit)
{
    return QStringLiteral("%1 %2")
        .arg(double(hz) / unit.divisor, 9, 'f', 6, QLatin1Char(' '))
        .arg(QLatin1String(unit.text), 0, QLatin1Char(' '));
}

void setFieldEnabled(QLineEdit* field, bool enable)
{
    if (field)
        field->setEnabled(enable);
}
} // namespace

CInfoBar::CInfoBar(QWidget* parent, IInfoBar* owner, const char* name)
    : QWidget(parent)
    , m_pOwner(owner)
{
    setObjectName(QString::fromUtf8(name));
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(5, 5, 5, 5);

    // Created pair by pair in this order, which is also the focus order.
    const auto addItem
        = [this, grid](const char* label, const char* objectName, int width, int row, int column) {
              auto* text = new QLabel(tr(label), this);
              text->setObjectName(QLatin1String(objectName) + QLatin1Char(':'));
              auto* field = new QLineEdit(this);
              field->setObjectName(QLatin1String(objectName));
              field->setReadOnly(true);
              field->setFixedWidth(width);
              grid->addWidget(text, row, column);
              grid->addWidget(field, row, column + 1);
              return field;
          };
    m_pDeviceName = addItem(QT_TR_NOOP("Devicename: "), "Devicename", 70, 0, 0);
    m_pDeviceType = addItem(QT_TR_NOOP("Devicetype: "), "Devicetype", 70, 1, 0);
    m_pStarttime = addItem(QT_TR_NOOP(" Starttime: "), "Starttime", 130, 0, 2);
    m_pStoptime = addItem(QT_TR_NOOP(" Stoptime: "), "Stoptime", 130, 1, 2);
    m_pFreqmin = addItem(QT_TR_NOOP(" Freq min: "), "Freq min", 100, 0, 4);
    m_pFreqmax = addItem(QT_TR_NOOP(" Freq max: "), "Freq max", 100, 1, 4);

    enabled(false);
}

CInfoBar::~CInfoBar() = default;

void CInfoBar::setHeaderData(Recording2::CHeaderData* header, CInfoBar::eUnit unit)
{
    if (!header)
        return;
    m_pDeviceName->setText(QString::fromUtf8(header->deviceName()));
    m_pDeviceType->setText(QString::fromUtf8(header->deviceType()));
    m_pStarttime->setText(header->startTS().toString());
    m_pStoptime->setText(header->stopTS().toString());

    const bool known = unit >= eMHz && unit <= eHz;
    const Unit& chosen = iUNITS[known ? unit : eMHz];
    m_pFreqmin->setText(frequencyText(header->freqMin(), chosen));
    m_pFreqmax->setText(frequencyText(header->freqMax(), chosen));
}

void CInfoBar::enabled(bool enable)
{
    for (QLineEdit* field :
        { m_pDeviceName, m_pDeviceType, m_pStarttime, m_pStoptime, m_pFreqmin, m_pFreqmax })
        setFieldEnabled(field, enable);
}

void CInfoBar::enableDeviceName(bool enable)
{
    setFieldEnabled(m_pDeviceName, enable);
}

void CInfoBar::enableDeviceType(bool enable)
{
    setFieldEnabled(m_pDeviceType, enable);
}

void CInfoBar::enableStarttime(bool enable)
{
    setFieldEnabled(m_pStarttime, enable);
}

void CInfoBar::enableStoptime(bool enable)
{
    setFieldEnabled(m_pStoptime, enable);
}

void CInfoBar::enableFreqmin(bool enable)
{
    setFieldEnabled(m_pFreqmin, enable);
}

void CInfoBar::enableFreqmax(bool enable)
{
    setFieldEnabled(m_pFreqmax, enable);
}

void CInfoBar::setDevicename(const QString& text)
{
    m_pDeviceName->setText(text);
}

void CInfoBar::setDevicetype(const QString& text)
{
    m_pDeviceType->setText(text);
}

void CInfoBar::setStarttime(const QString& text)
{
    m_pStarttime->setText(text);
}

void CInfoBar::setStoptime(const QString& text)
{
    m_pStoptime->setText(text);
}

void CInfoBar::setFreqmin(const QString& text)
{
    m_pFreqmin->setText(text);
}

void CInfoBar::setFreqmax(const QString& text)
{
    m_pFreqmax->setText(text);
}
