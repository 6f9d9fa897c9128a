#pragma once

// Icons from the library's XPM pictures. Internal to the library.

#include <QIcon>

namespace Pictures {

/// An icon that shows `picture` on ordinary screens and `twice`, the same design drawn at twice
/// the size, where a window has a device pixel ratio above 1 (with Qt::AA_UseHighDpiPixmaps,
/// which Qt 5 leaves off). A picture is never blown up: asked for more room than it needs, the
/// icon leaves the rest transparent, as an icon of one XPM picture always did. The XPM arrays
/// are copied.
QIcon icon(const char* const* picture, const char* const* twice);

} // namespace Pictures
