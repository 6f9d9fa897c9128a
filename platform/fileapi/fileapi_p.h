#pragma once

// What both platforms' file layers share. Internal to the component.

#include "fileapi.h"

#include <string>

namespace fileapi {

/// Stores `reason` in `*error` (when given) and returns `result`.
inline CopyResult fail(std::string* error, CopyResult result, const std::string& reason)
{
    if (error)
        *error = reason;
    return result;
}

} // namespace fileapi
