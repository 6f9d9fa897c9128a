#include "creplaybar.h"

#include "pictures/autoplay_off.xpm"
#include "pictures/autoplay_off@2x.xpm"
#include "pictures/autoplay_on.xpm"
#include "pictures/autoplay_on@2x.xpm"
#include "pictures/fastplay_off.xpm"
#include "pictures/fastplay_off@2x.xpm"
#include "pictures/fastplay_on.xpm"
#include "pictures/fastplay_on@2x.xpm"
#include "pictures/gotobegin.xpm"
#include "pictures/gotobegin@2x.xpm"
#include "pictures/gotoend.xpm"
#include "pictures/gotoend@2x.xpm"
#include "pictures/leveldetect_off.xpm"
#include "pictures/leveldetect_off@2x.xpm"
#include "pictures/leveldetect_on.xpm"
#include "pictures/leveldetect_on@2x.xpm"
#include "pictures/peakhold_off.xpm"
#include "pictures/peakhold_off@2x.xpm"
#include "pictures/peakhold_on.xpm"
#include "pictures/peakhold_on@2x.xpm"
#include "pictures/play_off.xpm"
#include "pictures/play_off@2x.xpm"
#include "pictures/play_on.xpm"
#include "pictures/play_on@2x.xpm"
#include "pictures/stepforward.xpm"
#include "pictures/stepforward@2x.xpm"
#include "pictures/steprewind.xpm"
#include "pictures/steprewind@2x.xpm"
#include "pictures/stop_off.xpm"
#include "pictures/stop_off@2x.xpm"
#include "pictures/stop_on.xpm"
#include "pictures/stop_on@2x.xpm"
#include "pictures/wrap_off.xpm"
#include "pictures/wrap_off@2x.xpm"
#include "pictures/wrap_on.xpm"
#include "pictures/wrap_on@2x.xpm"
#include "pictures_p.h"

#include <valuewidgets/vcbutton.h>
#include <valuewidgets/vconeofbutton.h>

#include <QMainWindow>

CReplayBar::CReplayBar(QMainWindow* mainWindow, const char* name, const QString& prefix)
    : QToolBar(QString::fromUtf8(name), mainWindow)
    , m_valuePrefix(prefix)
    , m_pMainWindow(mainWindow)
{
    m_pGotoBegin
        = addPushButton(QT_TR_NOOP("Goto Begin"), "/gbegin", gotobegin_xpm, gotobegin_2x_xpm);
    m_pStepRewind
        = addPushButton(QT_TR_NOOP("Step Rewind"), "/sbkwd", steprewind_xpm, steprewind_2x_xpm);
    m_pPlay = addOneOfButton(QT_TR_NOOP("Play"), "/modi", "PLAY", "STOP", play_on_xpm,
        play_on_2x_xpm, play_off_xpm, play_off_2x_xpm);
    m_pFastPlay = addOneOfButton(QT_TR_NOOP("Fast Play"), "/modi", "FPLAY", "STOP", fastplay_on_xpm,
        fastplay_on_2x_xpm, fastplay_off_xpm, fastplay_off_2x_xpm);
    m_pStepForward
        = addPushButton(QT_TR_NOOP("Step Forward"), "/sfwd", stepforward_xpm, stepforward_2x_xpm);
    m_pGotoEnd = addPushButton(QT_TR_NOOP("Goto End"), "/gend", gotoend_xpm, gotoend_2x_xpm);
    // Stop stands for "STOP" both ways: pressing it again keeps the replay stopped.
    m_pStop = addOneOfButton(QT_TR_NOOP("Stop"), "/modi", "STOP", "STOP", stop_on_xpm,
        stop_on_2x_xpm, stop_off_xpm, stop_off_2x_xpm);
    m_pWrapToBegin = addOneOfButton(QT_TR_NOOP("Wrap to Begin"), "/wrap", "ON", "OFF", wrap_on_xpm,
        wrap_on_2x_xpm, wrap_off_xpm, wrap_off_2x_xpm);
    m_pAutoPlay = addOneOfButton(QT_TR_NOOP("Auto Play"), "/autoplay", "ON", "OFF", autoplay_on_xpm,
        autoplay_on_2x_xpm, autoplay_off_xpm, autoplay_off_2x_xpm);
    addSeparator();
    m_pPeakHold = addOneOfButton(QT_TR_NOOP("Peak Hold"), "/peakhold", "ON", "OFF", peakhold_on_xpm,
        peakhold_on_2x_xpm, peakhold_off_xpm, peakhold_off_2x_xpm);
    m_pLevelDetect = addOneOfButton(QT_TR_NOOP("Level Detect"), "/leveldetect", "ON", "OFF",
        leveldetect_on_xpm, leveldetect_on_2x_xpm, leveldetect_off_xpm, leveldetect_off_2x_xpm);
    enableAction(false);
}

CReplayBar::~CReplayBar() = default;

void CReplayBar::addDockWindow(Qt::DockWidgetArea, bool)
{
    if (m_pMainWindow)
        m_pMainWindow->addToolBar(this);
}

void CReplayBar::enableButton(int index, bool enabled)
{
    if (VCButton* button = buttonAt(index))
        button->setEnabled(enabled);
}

void CReplayBar::enableAction(bool enabled)
{
    for (int index = 1; index <= 11; ++index)
        enableButton(index, enabled);
}

void CReplayBar::enable(bool enabled)
{
    enableAction(enabled);
}

VCButton* CReplayBar::addPushButton(const char* label, const char* suffix,
    const char* const* picture, const char* const* pictureTwice)
{
    auto* button = new VCButton(this, tr(label), false);
    button->setObjectName(QString::fromUtf8(label));
    button->SetValueSelection_ValuePath(m_valuePrefix + QString::fromUtf8(suffix));
    button->SetDefaultPicture(Pictures::icon(picture, pictureTwice));
    addWidget(button);
    return button;
}

VCOneOfButton* CReplayBar::addOneOfButton(const char* label, const char* suffix, const char* item,
    const char* otherItem, const char* const* selectedPicture, const char* const* selectedTwice,
    const char* const* unselectedPicture, const char* const* unselectedTwice)
{
    auto* button
        = new VCOneOfButton(tr(label), this, selectedPicture, unselectedPicture, QString());
    // The constructor takes one size only.
    button->SetPictures(Pictures::icon(selectedPicture, selectedTwice),
        Pictures::icon(unselectedPicture, unselectedTwice));
    button->setObjectName(QString::fromUtf8(label));
    button->SetSelection_ValuePath(m_valuePrefix + QString::fromUtf8(suffix),
        QString::fromUtf8(item), QString::fromUtf8(otherItem));
    addWidget(button);
    return button;
}

VCButton* CReplayBar::buttonAt(int index) const
{
    // The host's numbering, not the bar order.
    VCButton* const buttons[] = { m_pGotoBegin, m_pPlay, m_pGotoEnd, m_pFastPlay, m_pStop,
        m_pWrapToBegin, m_pAutoPlay, m_pStepForward, m_pStepRewind, m_pPeakHold, m_pLevelDetect };
    return index >= 1 && index <= 11 ? buttons[index - 1] : nullptr;
}
