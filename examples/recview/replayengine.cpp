#include "replayengine.h"

#include <values/tree.h>
#include <values/valueselection.h>

#include <algorithm>
#include <climits>

namespace {
const QString kOn = QStringLiteral("ON");
const QString kOff = QStringLiteral("OFF");
const QString kGo = QStringLiteral("GO");
const QString kPlay = QStringLiteral("PLAY");
const QString kFastPlay = QStringLiteral("FPLAY");
const QString kStop = QStringLiteral("STOP");

const QString& modeItem(ReplayEngine::Mode mode)
{
    switch (mode) {
    case ReplayEngine::Mode::Playing:
        return kPlay;
    case ReplayEngine::Mode::FastPlaying:
        return kFastPlay;
    case ReplayEngine::Mode::Stopped:
        break;
    }
    return kStop;
}
} // namespace

ReplayEngine::ReplayEngine(const QString& valueRoot, QObject* parent)
    : QObject(parent)
    , m_prefix(valueRoot + QStringLiteral("/Replay"))
{
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &ReplayEngine::advance);

    const QStringList command { kGo };
    const QStringList onOff { kOn, kOff };
    makeValue("gbegin", command, kGo, m_gotoBegin);
    makeValue("sbkwd", command, kGo, m_stepRewind);
    makeValue("modi", { kPlay, kFastPlay, kStop }, kStop, m_modi);
    makeValue("sfwd", command, kGo, m_stepForward);
    makeValue("gend", command, kGo, m_gotoEnd);
    makeValue("wrap", onOff, kOff, m_wrap);
    makeValue("autoplay", onOff, kOff, m_autoPlay);
    makeValue("peakhold", onOff, kOff, m_peakHold);
    makeValue("leveldetect", onOff, kOff, m_levelDetect);
}

ReplayEngine::~ReplayEngine()
{
    m_timer.stop();
    values::Tree* tree = values::Tree::Instance();
    for (OwnedValue* slot : { &m_gotoBegin, &m_stepRewind, &m_modi, &m_stepForward, &m_gotoEnd,
             &m_wrap, &m_autoPlay, &m_peakHold, &m_levelDetect }) {
        if (!slot->value)
            continue;
        // Unregister first: the end is announced to every observer, and this one is half gone.
        slot->value->DeleteObserver(this);
        if (slot->added && tree)
            tree->RemoveValue(slot->value->GetPath());
        slot->value = nullptr;
    }
}

values::ValueSelection* ReplayEngine::makeValue(
    const char* name, const QStringList& items, const QString& initial, OwnedValue& slot)
{
    values::Tree* tree = values::Tree::Instance();
    auto* value = new values::ValueSelection(QString::fromLatin1(name), values::VS_Valid);
    long key = 0;
    for (const QString& item : items) {
        value->AddItem(new values::SelectionItem(item, double(key), key), nullptr);
        ++key;
    }
    value->Select(initial, nullptr);
    if (tree && tree->AddValue(m_prefix, value)) {
        slot.added = true;
    } else {
        // Someone else's value of that path (or no tree at all): use it, leave it to its owner.
        delete value;
        value = tree
            ? tree->Find<values::ValueSelection>(m_prefix + QLatin1Char('/') + QLatin1String(name))
            : nullptr;
        slot.added = false;
    }
    slot.value = value;
    if (value)
        value->AddObserver(this);
    return value;
}

bool ReplayEngine::isOn(const OwnedValue& slot) const
{
    return slot.value && slot.value->GetStringValue() == kOn;
}

bool ReplayEngine::wrap() const
{
    return isOn(m_wrap);
}

bool ReplayEngine::autoPlay() const
{
    return isOn(m_autoPlay);
}

bool ReplayEngine::peakHold() const
{
    return isOn(m_peakHold);
}

bool ReplayEngine::levelDetect() const
{
    return isOn(m_levelDetect);
}

int ReplayEngine::sweepCount() const
{
    // Indexes are ints: of a file with more sweeps the first 2^31 - 1 are shown.
    return m_reader ? int(std::min<quint32>(m_reader->sweepCount(), INT_MAX)) : 0;
}

const Recording2::CSweep* ReplayEngine::currentSweep() const
{
    return m_index >= 0 ? &m_sweep : nullptr;
}

void ReplayEngine::setRecording(std::unique_ptr<Recording2::CRecordingReader> reader)
{
    setMode(Mode::Stopped);
    m_reader = std::move(reader);
    m_peak.clear();
    m_index = -1;
    m_sweep = Recording2::CSweep();
    if (!showIndex(0))
        emit frameChanged(-1);
    if (autoPlay())
        play();
}

void ReplayEngine::setLevelThreshold(float dBm)
{
    if (dBm == m_threshold)
        return;
    m_threshold = dBm;
    emit displayChanged();
}

bool ReplayEngine::levelDetected() const
{
    const Recording2::CSweep* sweep = currentSweep();
    if (!levelDetect() || !sweep)
        return false;
    return std::any_of(sweep->levels.cbegin(), sweep->levels.cend(),
        [this](float level) { return level > m_threshold; });
}

void ReplayEngine::setIntervals(int playMs, int fastPlayMs)
{
    m_playMs = std::max(1, playMs);
    m_fastPlayMs = std::max(1, fastPlayMs);
    if (m_mode != Mode::Stopped)
        m_timer.setInterval(m_mode == Mode::Playing ? m_playMs : m_fastPlayMs);
}

void ReplayEngine::gotoBegin()
{
    setMode(Mode::Stopped);
    showIndex(0);
}

void ReplayEngine::stepRewind()
{
    setMode(Mode::Stopped);
    showIndex(m_index - 1);
}

void ReplayEngine::play()
{
    if (atLastSweep())
        showIndex(0);
    setMode(Mode::Playing);
}

void ReplayEngine::fastPlay()
{
    if (atLastSweep())
        showIndex(0);
    setMode(Mode::FastPlaying);
}

bool ReplayEngine::atLastSweep()
{
    // Play at the last sweep would stop at once; start over instead, as a player does, unless
    // the file has grown meanwhile (then play goes on into the new sweeps).
    if (!m_reader || wrap() || m_index < 0 || m_index != sweepCount() - 1)
        return false;
    return refresh() && m_index == sweepCount() - 1;
}

void ReplayEngine::stepForward()
{
    setMode(Mode::Stopped);
    showIndex(m_index + 1);
}

void ReplayEngine::gotoEnd()
{
    setMode(Mode::Stopped);
    // Past the end: showIndex asks the reader where a growing file ends now.
    showIndex(INT_MAX);
}

void ReplayEngine::stop()
{
    setMode(Mode::Stopped);
}

void ReplayEngine::Update(Observable* observable, TChangeCode code)
{
    OwnedValue* const all[] = { &m_gotoBegin, &m_stepRewind, &m_modi, &m_stepForward, &m_gotoEnd,
        &m_wrap, &m_autoPlay, &m_peakHold, &m_levelDetect };
    OwnedValue* source = nullptr;
    for (OwnedValue* slot : all) {
        if (slot->value && observable == static_cast<Observable*>(slot->value))
            source = slot;
    }
    if (!source)
        return;

    if (code == CC_Ending) {
        // Ended by someone else (a shared value's owner): forget it, there is nothing to end.
        if (source->value->GetState() == values::VS_Ending) {
            source->value->DeleteObserver(this);
            source->value = nullptr;
            source->added = false;
            if (source == &m_modi)
                setMode(Mode::Stopped);
        }
        return;
    }
    if (code != CC_Changed)
        return;

    if (source == &m_gotoBegin) {
        gotoBegin();
    } else if (source == &m_stepRewind) {
        stepRewind();
    } else if (source == &m_stepForward) {
        stepForward();
    } else if (source == &m_gotoEnd) {
        gotoEnd();
    } else if (source == &m_modi) {
        const QString item = m_modi.value->GetStringValue();
        if (item == kPlay)
            play();
        else if (item == kFastPlay)
            fastPlay();
        else
            stop();
    } else if (source == &m_peakHold) {
        resetPeak();
        emit displayChanged();
    } else if (source == &m_levelDetect) {
        emit displayChanged();
    }
}

void ReplayEngine::setMode(Mode mode)
{
    if (mode != Mode::Stopped && sweepCount() == 0)
        mode = Mode::Stopped;
    // The value follows the engine so that the bar shows the real state, also after a refused
    // play or a replay that ran to its end; origin `this` keeps the change from coming back.
    if (m_modi.value && m_modi.value->GetStringValue() != modeItem(mode))
        m_modi.value->Select(modeItem(mode), this);
    if (mode == Mode::Stopped)
        m_timer.stop();
    else
        m_timer.start(mode == Mode::Playing ? m_playMs : m_fastPlayMs);
    if (mode == m_mode)
        return;
    m_mode = mode;
    emit modeChanged(mode);
}

bool ReplayEngine::showIndex(int index)
{
    if (!m_reader)
        return false;
    // Past the known end: a recording still being written may hold more by now. A file that
    // shrank instead has ended the replay at its last sweep, where the clamp below stays.
    if (index >= sweepCount())
        refresh();
    if (sweepCount() == 0)
        return false;
    index = std::clamp(index, 0, sweepCount() - 1);
    if (index == m_index)
        return false;
    QString reason;
    if (!m_reader->readSweep(quint32(index), m_sweep, &reason)) {
        // The file shrank since the count was taken, or the disk failed; the shown sweep stays.
        if (refresh())
            cut(reason);
        return false;
    }
    m_index = index;
    holdPeak();
    emit frameChanged(index);
    return true;
}

bool ReplayEngine::refresh()
{
    const int before = sweepCount();
    QString reason;
    const bool readable = m_reader->refresh(&reason);
    const int now = sweepCount();
    if (now != before)
        emit sweepCountChanged(now);
    if (readable && now >= before)
        return true;
    cut(readable ? QString() : reason);
    return false;
}

void ReplayEngine::cut(const QString& reason)
{
    setMode(Mode::Stopped);
    const int last = sweepCount() - 1;
    QString why = reason;
    if (m_index > last) {
        // The sweep shown is gone from the file: end at the last one it still holds.
        QString readReason;
        if (last >= 0 && m_reader->readSweep(quint32(last), m_sweep, &readReason)) {
            m_index = last;
            holdPeak();
        } else {
            m_index = -1;
            m_sweep = Recording2::CSweep();
            if (why.isEmpty())
                why = readReason;
        }
        emit frameChanged(m_index);
    }
    emit replayCut(sweepCount(), why);
}

void ReplayEngine::holdPeak()
{
    if (!peakHold())
        return;
    const QVector<float>& levels = m_sweep.levels;
    if (m_peak.size() != levels.size()) {
        m_peak = levels;
    } else {
        for (int i = 0; i < levels.size(); ++i)
            m_peak[i] = std::max(m_peak.at(i), levels.at(i));
    }
}

void ReplayEngine::advance()
{
    // Not shown: at the end also after asking the reader for more, or the file was cut (which
    // stopped the replay).
    if (showIndex(m_index + 1) || m_mode == Mode::Stopped)
        return;
    if (wrap() && sweepCount() > 1)
        showIndex(0);
    else
        setMode(Mode::Stopped);
}

void ReplayEngine::resetPeak()
{
    m_peak.clear();
    if (const Recording2::CSweep* sweep = currentSweep(); sweep && peakHold())
        m_peak = sweep->levels;
}
