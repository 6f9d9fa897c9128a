#pragma once

#include <fileapi/fileapi_export.h>

#include <string>

/// Opens with Windows share-mode semantics and a copy that never overwrites. Paths are UTF-8.
/// On failure, errno (Linux) or GetLastError() (Windows) tells why.
namespace fileapi {

#ifdef _WIN32
using Handle = void*; // the Win32 HANDLE
#else
using Handle = int; // a file descriptor
#endif

/// INVALID_HANDLE_VALUE on Windows, -1 on Linux.
FILEAPI_EXPORT extern const Handle InvalidHandle;

/// Opens an existing file without data access and without sharing restrictions on others: fails
/// only when the file is missing, is a folder or cannot be reached. It does not keep others from
/// opening the file, nor does it count as an opener for OpenWrite.
FILEAPI_EXPORT Handle OpenExisting(const std::string& path);

/// Opens an existing file for writing without truncating it. Fails when the file is read-only
/// (even for root) or when anyone else has it open; with `shareWrite`, others that only write
/// are tolerated. Another handle of this process to the same file counts as "anyone else".
FILEAPI_EXPORT Handle OpenWrite(const std::string& path, bool shareWrite);

/// Creates a new file for writing; fails when it exists.
FILEAPI_EXPORT Handle CreateNew(const std::string& path, bool shareWrite);

/// Closes a handle of the functions above; false for InvalidHandle.
FILEAPI_EXPORT bool Close(Handle handle);

enum class CopyResult { Copied, DestinationExists, SourceMissing, Failed };

/// Copies `from` to `to` with the permission bits of `from`. Never overwrites (an existing `to`
/// stays untouched) and never leaves a partial `to` behind. `error` (may be null) receives a
/// readable reason when the result is not Copied.
FILEAPI_EXPORT CopyResult CopyNoOverwrite(
    const std::string& from, const std::string& to, std::string* error);

} // namespace fileapi
