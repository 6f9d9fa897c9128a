#pragma once

#include <recording/recfile.h>
#include <tevbase/observable.h>

#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>

#include <ireplayevents.h>
#include <memory>

namespace values {
class ValueSelection;
}

/// Steps through the sweeps of a recording, driven by the selection values a CReplayBar is bound
/// to.
///
/// The engine owns its values under "<valueRoot>/Replay": the commands "gbegin", "sbkwd", "sfwd"
/// and "gend" (one item "GO"; a button press re-selects it, which reaches the engine as a
/// change), the mode "modi" ("PLAY", "FPLAY", "STOP") and the switches "wrap", "autoplay",
/// "peakhold" and "leveldetect" ("ON", "OFF", all "OFF" at start). A value whose path is taken
/// already (a second engine under the same root) is shared, not owned: only the values the
/// engine added are ended when it goes.
///
/// Playing shows one sweep every playIntervalMs() (fast play: fastPlayIntervalMs()). At the last
/// sweep the replay starts again at the first one when "wrap" is on, else it stops there.
///
/// The engine reads only the sweep it shows, through the recording's reader: it holds that sweep
/// and the peak-hold maxima, whatever the recording's size. Stepping or playing past the last
/// sweep asks the reader whether the file grew (a recording still being written); a file that
/// shrank while shown ends the replay at its last complete sweep and says so (replayCut()).
class ReplayEngine : public QObject, public IObserver, public IReplayEvents
{
    Q_OBJECT

public:
    enum class Mode { Stopped, Playing, FastPlaying };

    static constexpr int kPlayIntervalMs = 200;
    static constexpr int kFastPlayIntervalMs = 40;

    explicit ReplayEngine(const QString& valueRoot, QObject* parent = nullptr);
    /// Ends the values the engine added, so that bound widgets let go of them.
    ~ReplayEngine() override;

    /// "<valueRoot>/Replay": the prefix for a CReplayBar.
    QString valuePrefix() const { return m_prefix; }

    /// Takes a newly opened recording (null: none): stops, shows the first sweep, clears the
    /// peak hold and starts playing when "autoplay" is on.
    void setRecording(std::unique_ptr<Recording2::CRecordingReader> reader);
    /// The recording's reader, null without one.
    const Recording2::CRecordingReader* reader() const { return m_reader.get(); }
    /// The complete sweeps of the recording as last looked at.
    int sweepCount() const;
    /// Index of the sweep shown, -1 without sweeps.
    int currentIndex() const { return m_index; }
    /// The sweep shown, null without sweeps.
    const Recording2::CSweep* currentSweep() const;

    Mode mode() const { return m_mode; }
    bool wrap() const;
    bool autoPlay() const;
    bool peakHold() const;
    bool levelDetect() const;

    /// The highest level of every bin over the sweeps shown since the peak hold was switched on
    /// (or the recording loaded); empty while the peak hold is off.
    const QVector<float>& peakLevels() const { return m_peak; }

    /// The level above which "leveldetect" reports a sweep; default -60 dBm.
    float levelThreshold() const { return m_threshold; }
    void setLevelThreshold(float dBm);
    /// True when level detection is on and the shown sweep has a level above the threshold.
    bool levelDetected() const;

    /// The interval the play modes use; for tests that want a fast replay.
    void setIntervals(int playMs, int fastPlayMs);

    // IReplayEvents
    void gotoBegin() override;
    void stepRewind() override;
    void play() override;
    void fastPlay() override;
    void stepForward() override;
    void gotoEnd() override;
    void stop() override;

    // IObserver: the commands and switches from the values.
    void Update(Observable* observable, TChangeCode code) override;

Q_SIGNALS:
    /// The shown sweep changed (also to -1 when the sweeps went).
    void frameChanged(int index);
    /// Play, fast play or stop.
    void modeChanged(ReplayEngine::Mode mode);
    /// Peak hold or level detection was switched, or the threshold changed.
    void displayChanged();
    /// The file grew or shrank: the reader offers `count` sweeps now.
    void sweepCountChanged(int count);
    /// The file shrank while shown, or can no longer be read: the replay stopped. `sweepsLeft`
    /// is what the reader still offers (the sweep shown is the last of them); `reason` is the
    /// reader's, empty when the file just holds fewer sweeps.
    void replayCut(int sweepsLeft, const QString& reason);

private:
    struct OwnedValue
    {
        values::ValueSelection* value = nullptr; // the tree owns it
        bool added = false; // true: this engine put it there and ends it
    };

    values::ValueSelection* makeValue(
        const char* name, const QStringList& items, const QString& initial, OwnedValue& slot);
    bool isOn(const OwnedValue& slot) const;
    void setMode(Mode mode);
    /// Shows sweep `index`, kept within the sweeps the file holds; false when it showed none.
    bool showIndex(int index);
    /// Asks the reader where the file ends now; false when it lost sweeps (then cut()).
    bool refresh();
    /// Stops after the file lost sweeps or a read failed, at the last sweep still there.
    void cut(const QString& reason);
    void holdPeak();
    bool atLastSweep();
    void advance();
    void resetPeak();

    QString m_prefix;
    std::unique_ptr<Recording2::CRecordingReader> m_reader;
    Recording2::CSweep m_sweep; // the one shown, valid while m_index >= 0
    QVector<float> m_peak;
    int m_index = -1;
    Mode m_mode = Mode::Stopped;
    float m_threshold = -60.0f;
    int m_playMs = kPlayIntervalMs;
    int m_fastPlayMs = kFastPlayIntervalMs;
    QTimer m_timer;

    OwnedValue m_gotoBegin;
    OwnedValue m_stepRewind;
    OwnedValue m_modi;
    OwnedValue m_stepForward;
    OwnedValue m_gotoEnd;
    OwnedValue m_wrap;
    OwnedValue m_autoPlay;
    OwnedValue m_peakHold;
    OwnedValue m_levelDetect;
};
