#pragma once

/// Names of the values the library publishes or reads in the value tree.
namespace TevValueNames {
/// Selection "On"/"Off" under the frame's value root: whether a recording is loaded.
inline constexpr char FileLoaded[] = "FileLoaded";
/// String under the frame's value root: the name of the loaded recording.
inline constexpr char FileName[] = "FileName";
/// String under the frame's value root, owned by another component when it exists: receives
/// the name of every file the frame opens.
inline constexpr char ExtFileName[] = "ExtFileName";
} // namespace TevValueNames
