#pragma once

// Helpers for the values the frame holds. Internal to the library.

#include "cframemainwnd.h"

#include <values/value.h>

namespace FrameValues {

/// The string value at `path`, created and added to the tree when there is none. When a value
/// of another type holds the path, the new value cannot be added: it is returned all the same
/// (a value nobody else sees, never deleted) and the leak is traced. `observer` (may be null)
/// is registered on the value returned.
values::StringValue* findOrCreateStringValue(const QString& path, IObserver* observer);

/// The string value at `path`, or null. With both `previous` and `observer` given, the
/// observer moves from `previous` to the value found.
values::StringValue* findStringValue(
    const QString& path, values::StringValue* previous, IObserver* observer);

/// Forgets the value in `slot` once it has ended (state VS_Ending): unregisters `frame` from
/// it and clears the slot. A value in any other state is kept.
template <class V>
void releaseValue(V*& slot, CFrameMainWnd* frame)
{
    if (!slot || slot->GetState() != values::VS_Ending)
        return;
    if (frame)
        slot->DeleteObserver(static_cast<IObserver*>(frame));
    slot = nullptr;
}

/// Deletes the value in `slot`, if any, and clears the slot. Only for values the caller owns.
template <class V>
void deleteValue(V*& slot)
{
    delete slot;
    slot = nullptr;
}

} // namespace FrameValues
