#pragma once

#include <QWidget>

#include <tevframebase_export.h>

class IInfoBar;
class QLineEdit;
namespace Recording2 {
class CHeaderData;
}

/// A panel with the header data of a recording: device name and type, start and stop time,
/// lowest and highest frequency, each a label and a read-only line edit in a two-row grid.
///
/// The fields start empty and disabled; filling them does not enable them, so a host calls
/// enabled(true) when it wants them to look active. The panel owns its labels and fields
/// (Qt children). Object names: the panel's is the constructor's name; each field's is its
/// English label word ("Devicename", "Devicetype", "Starttime", "Stoptime", "Freq min",
/// "Freq max"), each label's the same with ':'.
///
/// The declaration order of the members is part of the class's binary interface.
class TEVFRAMEBASE_EXPORT CInfoBar : public QWidget
{
    Q_OBJECT

public:
    /// Unit of the frequency texts; setHeaderData treats any other value as eMHz.
    enum eUnit : int {
        eMHz = 0,
        ekHz = 1,
        eHz = 2,
    };

    /// `owner` is stored but not owned and not used by the panel. `name` (UTF-8) becomes the
    /// object name; null gives an empty one.
    explicit CInfoBar(
        QWidget* parent = nullptr, IInfoBar* owner = nullptr, const char* name = "File Info");
    ~CInfoBar() override;

    /// Fills all six fields from `header`, the frequencies in `unit` as "%1 %2" with the number
    /// right-aligned to at least nine characters and six decimals (" 1.000000 MHz"). A null
    /// header changes nothing.
    void setHeaderData(Recording2::CHeaderData* header, CInfoBar::eUnit unit);

    /// Enables or disables the six fields; the labels stay as they are.
    void enabled(bool enable);

    QLineEdit* deviceName() const { return m_pDeviceName; }
    QLineEdit* deviceType() const { return m_pDeviceType; }
    QLineEdit* starttime() const { return m_pStarttime; }
    QLineEdit* stoptime() const { return m_pStoptime; }
    QLineEdit* freqmin() const { return m_pFreqmin; }
    QLineEdit* freqmax() const { return m_pFreqmax; }

    void enableDeviceName(bool enable);
    void enableDeviceType(bool enable);
    void enableStarttime(bool enable);
    void enableStoptime(bool enable);
    void enableFreqmin(bool enable);
    void enableFreqmax(bool enable);

    /// Each writes its text unchanged into its field.
    void setDevicename(const QString& text);
    void setDevicetype(const QString& text);
    void setStarttime(const QString& text);
    void setStoptime(const QString& text);
    void setFreqmin(const QString& text);
    void setFreqmax(const QString& text);

private:
    QLineEdit* m_pDeviceName;
    QLineEdit* m_pDeviceType;
    QLineEdit* m_pStarttime;
    QLineEdit* m_pStoptime;
    QLineEdit* m_pFreqmin;
    QLineEdit* m_pFreqmax;
    IInfoBar* m_pOwner; ///< not owned, never called
};
