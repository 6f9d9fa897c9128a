#pragma once

// The INI format of the configuration store, registered with QSettings so that its locking
// and its writes through a temporary file stay.
//
// Values are taken as written: `RecordingPath=D:\Data\Rec` reads "D:\Data\Rec" (Qt's own INI
// format reads it as "D:ataec"). Blanks around the key and the value are not part of them.
// What a line cannot hold as it is (line breaks and other control characters, blanks at
// either end, a text that would read back as something else) is written as
// `@String(...)` with the escapes \\ \n \r \t \xHH and \uHHHH (a lone UTF-16 surrogate).
// Text that Qt's INI writer produced for a value without control characters (a doubled
// backslash, \", quotes around text with ',' ';' '=' or blanks at an end, a leading "@@")
// reads as that value, so files written before keep their meaning.
//
// A write changes only the lines of the entries that changed and adds the new ones; every
// other byte of the file stays as it was.

#include <QByteArray>
#include <QSettings>

namespace literalini {

/// The format to open a QSettings with; registered on first use.
QSettings::Format format();

/// Whether `data` holds lines this format cannot read: a NUL byte (a torn write), a line that
/// is neither blank, a comment (';' or '#'), a section header "[name]" nor "key=value".
bool isDamaged(const QByteArray& data);

} // namespace literalini
