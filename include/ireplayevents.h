#pragma once

#include <tevframebase_export.h>

/// What a replay engine offers to the controls that drive it: the seven transport commands of
/// the replay bar. The library neither implements nor calls it; an engine or a host implements
/// it to receive the commands in one place, for example from the values the bar's buttons set.
///
/// The interface holds no data, so copying and assigning copy nothing. It is not deleted
/// through: the destructor is protected and not virtual.
class TEVFRAMEBASE_EXPORT IReplayEvents
{
public:
    IReplayEvents() = default;
    IReplayEvents(const IReplayEvents&) = default;
    IReplayEvents(IReplayEvents&&) = default;
    IReplayEvents& operator=(const IReplayEvents&) = default;
    IReplayEvents& operator=(IReplayEvents&&) = default;

    /// Moves to the first frame of the recording; a running replay stops there.
    virtual void gotoBegin() = 0;
    /// Moves one frame back, stopping a running replay first.
    virtual void stepRewind() = 0;
    /// Plays from the current frame at recorded speed.
    virtual void play() = 0;
    /// Plays from the current frame as fast as the engine can.
    virtual void fastPlay() = 0;
    /// Moves one frame forward, stopping a running replay first.
    virtual void stepForward() = 0;
    /// Moves to the last frame of the recording; a running replay stops there.
    virtual void gotoEnd() = 0;
    /// Stops a running replay at the current frame; nothing happens when none runs.
    virtual void stop() = 0;

protected:
    ~IReplayEvents() = default;
};
