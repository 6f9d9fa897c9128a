// The file layer on Windows: share modes and CopyFileW do what the frame needs.

#include "fileapi_p.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <atomic>
#include <windows.h>

namespace fileapi {

const Handle InvalidHandle = INVALID_HANDLE_VALUE;

namespace {

// False (with ERROR_NO_UNICODE_TRANSLATION) for text that is not UTF-8, so that a bad path never
// turns into an empty one that happens to name something.
bool widen(const std::string& text, std::wstring* wide)
{
    wide->clear();
    if (text.empty())
        return true;
    const int size = MultiByteToWideChar(
        CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (size <= 0)
        return false;
    wide->resize(static_cast<size_t>(size));
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
               static_cast<int>(text.size()), &(*wide)[0], size)
        == size;
}

std::string describe(DWORD code)
{
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text;
    if (length > 0) {
        const int size = WideCharToMultiByte(
            CP_UTF8, 0, buffer, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
        text.resize(static_cast<size_t>(size > 0 ? size : 0));
        if (size > 0)
            WideCharToMultiByte(
                CP_UTF8, 0, buffer, static_cast<int>(length), &text[0], size, nullptr, nullptr);
    }
    if (buffer)
        LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text.empty() ? "error " + std::to_string(code) : text;
}

Handle openFile(const std::string& path, DWORD access, DWORD share, DWORD disposition)
{
    std::wstring wide;
    if (!widen(path, &wide))
        return InvalidHandle;
    return CreateFileW(
        wide.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// A copy under a temporary name, removed unless published. A read-only source passes its
// attribute on to the copy, and DeleteFileW refuses read-only files.
struct TemporaryCopy
{
    TemporaryCopy() = default;
    ~TemporaryCopy()
    {
        if (name.empty())
            return;
        const DWORD saved = GetLastError();
        SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(name.c_str());
        SetLastError(saved);
    }
    TemporaryCopy(const TemporaryCopy&) = delete;
    TemporaryCopy& operator=(const TemporaryCopy&) = delete;

    std::wstring name; // empty: nothing to remove
};

// A fresh name in the folder of `target`, so that publishing is a rename within one volume.
std::wstring temporaryBeside(const std::wstring& target)
{
    static std::atomic<unsigned> counter { 0 };
    const std::wstring::size_type cut = target.find_last_of(L"\\/:");
    const std::wstring folder
        = cut == std::wstring::npos ? std::wstring() : target.substr(0, cut + 1);
    return folder + L".tevcopy." + std::to_wstring(GetCurrentProcessId()) + L"."
        + std::to_wstring(counter++);
}

} // namespace

Handle OpenExisting(const std::string& path)
{
    // No data access: Windows applies no share modes to such a handle, so the probe neither
    // fails because another program has the file open nor keeps anyone out while it is held.
    return openFile(path, 0, 0, OPEN_EXISTING);
}

Handle OpenWrite(const std::string& path, bool shareWrite)
{
    // Never FILE_SHARE_READ: a reader elsewhere makes the open fail (ERROR_SHARING_VIOLATION),
    // which is how "another program has it open" shows, and none gets in while we hold it.
    const Handle handle
        = openFile(path, GENERIC_WRITE, shareWrite ? FILE_SHARE_WRITE : 0, OPEN_EXISTING);
    if (handle == InvalidHandle)
        return InvalidHandle;
    // Windows itself refuses a read-only file with ERROR_ACCESS_DENIED, administrators included;
    // Wine run by root maps the attribute to missing write bits and opens it all the same. Asked
    // of the handle, so that the answer is about the file we hold.
    BY_HANDLE_FILE_INFORMATION information = {};
    DWORD code = ERROR_SUCCESS;
    if (!GetFileInformationByHandle(handle, &information))
        code = GetLastError();
    else if (information.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
        code = ERROR_ACCESS_DENIED;
    if (code != ERROR_SUCCESS) {
        CloseHandle(handle);
        SetLastError(code);
        return InvalidHandle;
    }
    return handle;
}

Handle CreateNew(const std::string& path, bool shareWrite)
{
    // CREATE_NEW decides atomically whether the name was free; the caller then gets the file
    // opened like any existing one.
    const Handle created
        = openFile(path, GENERIC_WRITE, shareWrite ? FILE_SHARE_WRITE : 0, CREATE_NEW);
    if (created == InvalidHandle)
        return InvalidHandle;
    CloseHandle(created);
    return OpenWrite(path, shareWrite);
}

bool Close(Handle handle)
{
    return handle != InvalidHandle && CloseHandle(handle);
}

CopyResult CopyNoOverwrite(const std::string& from, const std::string& to, std::string* error)
{
    std::wstring source, target;
    if (!widen(from, &source) || !widen(to, &target))
        return fail(error, CopyResult::Failed, "path is not UTF-8: " + describe(GetLastError()));
    const DWORD sourceAttributes = GetFileAttributesW(source.c_str());
    if (sourceAttributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD code = GetLastError();
        return fail(error,
            code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? CopyResult::SourceMissing
                                                                         : CopyResult::Failed,
            "cannot open " + from + ": " + describe(code));
    }
    if (sourceAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return fail(error, CopyResult::Failed, from + " is not a file");
    // Saves copying a large file only to find the name taken; publishing below still decides.
    if (GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES)
        return fail(error, CopyResult::DestinationExists, to + " exists");

    // CopyFileW straight onto `to` would let others see the file grow, and a copy that fails
    // half-way (full disk, lost network share) may leave the part behind. So the copy goes to a
    // temporary name beside `to`; MoveFileExW without MOVEFILE_REPLACE_EXISTING then publishes it
    // in one step and, like CopyFileW's bFailIfExists, refuses a name that was taken meanwhile.
    TemporaryCopy temporary;
    DWORD code = ERROR_FILE_EXISTS;
    for (int attempt = 0; attempt < 100 && code == ERROR_FILE_EXISTS; ++attempt) {
        temporary.name = temporaryBeside(target);
        code = CopyFileW(source.c_str(), temporary.name.c_str(), TRUE) ? ERROR_SUCCESS
                                                                       : GetLastError();
    }
    if (code != ERROR_SUCCESS) {
        if (code == ERROR_FILE_EXISTS)
            temporary.name.clear(); // somebody else's
        return fail(
            error, CopyResult::Failed, "cannot copy " + from + " to " + to + ": " + describe(code));
    }
    if (!MoveFileExW(temporary.name.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
        code = GetLastError();
        return fail(error,
            code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS
                ? CopyResult::DestinationExists
                : CopyResult::Failed,
            "cannot create " + to + ": " + describe(code));
    }
    temporary.name.clear();
    return CopyResult::Copied;
}

} // namespace fileapi
