#pragma once

#include <QString>
#include <QToolBar>

#include <tevframebase_export.h>

class QMainWindow;
class VCButton;
class VCOneOfButton;

/// A tool bar of eleven buttons that drive a replay engine through its values.
///
/// Each button is bound to a selection value under the value-path prefix; the engine owns the
/// values and acts on their changes, the bar holds no replay logic. Bar order: Goto Begin
/// ("/gbegin"), Step Rewind ("/sbkwd"), Play, Fast Play ("/modi": "PLAY", "FPLAY"), Step
/// Forward ("/sfwd"), Goto End ("/gend"), Stop ("/modi": "STOP"), Wrap to Begin ("/wrap"), Auto
/// Play ("/autoplay"), a separator, Peak Hold ("/peakhold"), Level Detect ("/leveldetect"); the
/// switches select "ON" or "OFF". A value missing at construction leaves its button unbound.
///
/// The bar owns its buttons (Qt children); they start disabled, the host enables them. The
/// declaration order of the members is part of the class's binary interface.
class TEVFRAMEBASE_EXPORT CReplayBar : public QToolBar
{
    Q_OBJECT

public:
    /// `mainWindow` (default none, not owned) becomes the Qt parent and is where addDockWindow
    /// places the bar; `name` (UTF-8, default "Replay Operations") the window title; each value
    /// path is `prefix` (default empty) followed directly by the button's suffix, so a prefix
    /// ending in "/" gives a doubled slash, which the value tree reads as one.
    explicit CReplayBar(QMainWindow* mainWindow = nullptr, const char* name = "Replay Operations",
        const QString& prefix = QString());
    ~CReplayBar() override;

    /// Puts the bar into the top tool-bar area of the main window; both arguments are ignored.
    /// Without a main window nothing happens: the host places the bar itself.
    void addDockWindow(Qt::DockWidgetArea area = Qt::TopDockWidgetArea, bool newLine = false);
    /// Enables or disables one button by index: 1 Goto Begin, 2 Play, 3 Goto End, 4 Fast Play,
    /// 5 Stop, 6 Wrap to Begin, 7 Auto Play, 8 Step Forward, 9 Step Rewind, 10 Peak Hold,
    /// 11 Level Detect (not the bar order). Other indices do nothing.
    void enableButton(int index, bool enabled);
    /// Enables or disables all eleven buttons.
    void enableAction(bool enabled);
    /// The same as enableAction.
    void enable(bool enabled);

protected:
    VCButton* m_pGotoBegin = nullptr;
    VCButton* m_pGotoEnd = nullptr;
    VCOneOfButton* m_pPlay = nullptr;
    VCOneOfButton* m_pFastPlay = nullptr;
    VCOneOfButton* m_pStop = nullptr;
    VCOneOfButton* m_pWrapToBegin = nullptr;
    VCOneOfButton* m_pAutoPlay = nullptr;
    VCButton* m_pStepForward = nullptr;
    VCButton* m_pStepRewind = nullptr;
    VCOneOfButton* m_pPeakHold = nullptr;
    VCOneOfButton* m_pLevelDetect = nullptr;
    QString m_valuePrefix;
    QMainWindow* m_pMainWindow = nullptr; // not owned

private:
    // Every picture comes with its twice-size drawing for screens of twice the density.
    VCButton* addPushButton(const char* label, const char* suffix, const char* const* picture,
        const char* const* pictureTwice);
    VCOneOfButton* addOneOfButton(const char* label, const char* suffix, const char* item,
        const char* otherItem, const char* const* selectedPicture, const char* const* selectedTwice,
        const char* const* unselectedPicture, const char* const* unselectedTwice);
    VCButton* buttonAt(int index) const;
};
