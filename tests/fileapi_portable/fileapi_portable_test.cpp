// The file layer's cases, without Qt, for Linux and Windows (MinGW-w64 under Wine); where share
// modes decide differently the two expected columns differ. The other opener is a handle of this
// program: share modes apply between any two Windows handles, Linux counts our descriptors too.

#include <fileapi/fileapi.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <set>
#include <stdexcept>
#include <string>

namespace fs = std::filesystem;
using fileapi::Handle;
using fileapi::InvalidHandle;

#ifdef _WIN32
#include <windows.h>
constexpr bool kWindows = true;
#else
#include <fcntl.h>
#include <unistd.h>
constexpr bool kWindows = false;
#endif

namespace {

// Not plain ASCII: every case also goes through the Windows build's UTF-8 to UTF-16 step.
const std::string kFile = u8"aufnahme-\u00fc.rec";
const std::string kContent = "content";
const fs::path kRoot
    = fs::temp_directory_path() / ("fileapi-portable-" + std::to_string(std::random_device()()));
fs::path g_case; // the folder of the running case, below kRoot
int g_failed = 0;

fs::path at(const std::string& name)
{
    return g_case / fs::u8path(name);
}

// Joined as text: a name that is no UTF-8 has no fs::path on Windows.
std::string utf8(const std::string& name)
{
    return g_case.u8string() + '/' + name;
}

bool write(const std::string& name, const std::string& content)
{
    std::ofstream out(at(name), std::ios::binary);
    return static_cast<bool>(out << content << std::flush);
}

// The content of a regular file, else "<missing>".
std::string read(const std::string& name)
{
    std::error_code error;
    std::ifstream in(at(name), std::ios::binary);
    return fs::is_regular_file(at(name), error) && in
        ? std::string(std::istreambuf_iterator<char>(in), {})
        : "<missing>";
}

// Everything in the case's folder, so that a temporary left behind shows.
std::set<std::string> entries()
{
    std::set<std::string> all;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(g_case))
        all.insert(entry.path().lexically_relative(g_case).generic_u8string());
    return all;
}

// A set-up step that did not work fails its case.
void need(bool done, const char* what)
{
    if (!done)
        throw std::runtime_error(std::string("set-up failed: ") + what);
}

// One row, in a fresh folder with `kFile` holding kContent and an empty "folder": it passes
// when `observe` sees what the row expects on this system (no `onWindows`: as on Linux).
void check(const std::string& name, const char* onLinux, const char* onWindows,
    const std::function<std::string()>& observe)
{
    static int number = 0;
    g_case = kRoot / std::to_string(++number);
    std::string seen;
    try {
        fs::create_directories(g_case / "folder");
        need(write(kFile, kContent), "write the file");
        seen = observe();
    } catch (const std::exception& exception) {
        seen = exception.what();
    }
    const std::string expected = kWindows && onWindows ? onWindows : onLinux;
    g_failed += seen != expected;
    std::printf("%s %s: \"%s\", expected \"%s\"\n", seen == expected ? "PASS" : "FAIL",
        name.c_str(), seen.c_str(), expected.c_str());
}

// How an ordinary program opens the file, not through the layer: to read, to write, or to read
// and write sharing nothing (Linux knows no share modes, there it is a reader and writer).
enum Access { Read, Write, Exclusive };

Handle openPlainly(const fs::path& path, Access access)
{
#ifdef _WIN32
    static const DWORD accesses[] = { GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE };
    const DWORD share = access == Exclusive ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE;
    return CreateFileW(path.wstring().c_str(), accesses[access], share, nullptr, OPEN_EXISTING,
        FILE_ATTRIBUTE_NORMAL, nullptr);
#else
    static const int modes[] = { O_RDONLY, O_WRONLY, O_RDWR };
    return ::open(path.c_str(), modes[access] | O_CLOEXEC);
#endif
}

// MinGW's libstdc++ sets the read-only attribute for a mode without write bits.
const fs::perms kReadOnly = fs::perms::owner_read;

// '+' for a handle, '-' for a refusal; Close must agree.
char outcome(Handle handle)
{
    const bool opened = handle != InvalidHandle;
    return fileapi::Close(handle) != opened ? '!' : (opened ? '+' : '-');
}

// OpenExisting, OpenWrite exclusive, OpenWrite sharing writes and CreateNew, one after the other
// while `holder` has the file, and whether anything but a created file changed; then, for the
// layer's write handles, whether a plain reader and writer get in after them.
void testOpens()
{
    enum Holder { Nobody, ReadOnly, Probe, OwnWriter, OwnSharedWriter, Reader, Writer, Excluder };
    static const struct
    {
        const char* name;
        const char *onLinux, *onWindows;
        Holder holder;
        std::string path = kFile;
    } rows[] = {
        { "read-only", "+---", "+---", ReadOnly },
        { "read by another program", "+---", "+---", Reader },
        { "written by another program", "+-+-", "+-+-", Writer },
        // A handle without data access meets no share mode, not even an exclusive holder's.
        { "held exclusively by another program", "+---", "+---", Excluder },
        { "probed through the layer", "+++-", "+++-", Probe },
        // Linux has no share modes to keep the later plain openers out.
        { "written through the layer", "+-+- ++", "+--- --", OwnWriter },
        { "written through the layer sharing writes", "+-+- ++", "+-+- -+", OwnSharedWriter },
        { "created through the layer", "+-+- ++", "+--- --", OwnWriter, "new.rec" },
        { "created sharing writes", "+-+- ++", "+-+- -+", OwnSharedWriter, "new.rec" },
        { "missing, name beyond ASCII", "---+", "---+", Nobody, u8"neu-\u00df-\u20ac.rec" },
        { "folder", "----", "----", Nobody, "folder" },
        { "in a missing folder, which is not made", "----", "----", Nobody, "missing/new.rec" },
        // Linux names are bytes; Windows names are UTF-16, which such a name has no form in.
        { "name that is no UTF-8", "---+", "----", Nobody, "bad-\xff.rec" },
    };
    for (const auto& row : rows) {
        check(std::string("opens: ") + row.name, row.onLinux, row.onWindows, [&] {
            const std::string path = utf8(row.path);
            if (row.holder == ReadOnly)
                fs::permissions(at(kFile), kReadOnly);
            Handle holder = InvalidHandle;
            if (row.holder >= Reader)
                holder = openPlainly(at(row.path), Access(row.holder - Reader));
            else if (row.holder >= OwnWriter) // a new name is created
                holder = (row.path == kFile ? fileapi::OpenWrite : fileapi::CreateNew)(
                    path, row.holder == OwnSharedWriter);
            else if (row.holder == Probe)
                holder = fileapi::OpenExisting(path);
            need(holder != InvalidHandle || row.holder <= ReadOnly, "the holder's handle");
            std::set<std::string> before = entries();
            std::string seen { outcome(fileapi::OpenExisting(path)),
                outcome(fileapi::OpenWrite(path, false)), outcome(fileapi::OpenWrite(path, true)),
                outcome(fileapi::CreateNew(path, false)) };
            if (row.holder == OwnWriter || row.holder == OwnSharedWriter)
                seen += { ' ', outcome(openPlainly(at(row.path), Read)),
                    outcome(openPlainly(at(row.path), Write)) };
            fileapi::Close(holder);
            if (seen[3] == '+' && read(row.path).empty()) // created empty, under that name
                before.insert(row.path);
            seen += read(kFile) == kContent ? "" : " (truncated)";
            return seen + (entries() == before ? "" : " (other entries)");
        });
    }
}

// The result, then what else differs: the copy's mode or content, the entries.
void testCopy()
{
    const char* const results[] = { "Copied", "DestinationExists", "SourceMissing", "Failed" };
    // A 3 MiB source, more than one buffer of any copy loop; "held": held sharing nothing.
    static const struct
    {
        const char* name;
        std::string from, to;
        const char* onLinux;
        const char* onWindows = nullptr; // when not as on Linux
    } rows[] = {
        { "into a folder, name beyond ASCII", "source", u8"folder/kopie-\u00e4.rec", "Copied" },
        { "read-only source", "read-only", "copy.rec", "Copied read-only" },
        // Reading needs the holder's leave on Windows; Linux has no share modes.
        { "source another program holds exclusively", "held", "copy.rec", "Copied", "Failed" },
        { "onto an existing file", "source", kFile, "DestinationExists" },
        { "missing source onto an existing file", "missing", kFile, "SourceMissing" },
        { "missing destination folder", "source", "missing/copy.rec", "Failed" },
        { "onto a folder", "source", "folder", "DestinationExists" },
        { "folder as source", "folder", "copy.rec", "Failed" },
    };
    std::string large;
    for (int i = 0; large.size() < 3 * 1024 * 1024; ++i)
        large += std::to_string(i) + '\n';
    for (const auto& row : rows) {
        check(std::string("CopyNoOverwrite: ") + row.name, row.onLinux, row.onWindows, [&] {
            need(row.from == "folder" || row.from == "missing" || write(row.from, large),
                "write the source");
            if (row.from == "read-only")
                fs::permissions(at(row.from), kReadOnly);
            const Handle holder
                = row.from == "held" ? openPlainly(at(row.from), Exclusive) : InvalidHandle;
            need((holder != InvalidHandle) == (row.from == "held"), "the holder's handle");
            const std::string before = read(row.to);
            std::set<std::string> expected = entries();
            std::string error;
            const fileapi::CopyResult result
                = fileapi::CopyNoOverwrite(utf8(row.from), utf8(row.to), &error);
            fileapi::Close(holder);
            const bool copied = result == fileapi::CopyResult::Copied;
            std::string seen = results[int(result)];
            seen += error.empty() != copied ? " (error text: " + error + ")" : "";
            if (copied)
                expected.insert(row.to);
            const auto writable = fs::status(at(row.to)).permissions() & fs::perms::owner_write;
            seen += copied && writable == fs::perms::none ? " read-only" : "";
            seen += read(row.to) != (copied ? large : before) ? " (content)" : "";
            return seen + (entries() == expected ? "" : " (other entries)");
        });
    }
}

} // namespace

int main()
{
    std::printf("fileapi portable test, %s build\n", kWindows ? "Windows" : "Linux");
    testOpens();
    testCopy();
    // Read-only files would stay behind on Windows.
    std::error_code error;
    for (fs::recursive_directory_iterator it(kRoot, error), end; !error && it != end;
         it.increment(error))
        fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, error);
    fs::remove_all(kRoot, error);
    std::printf("%d failed\n", g_failed);
    return g_failed == 0 ? 0 : 1;
}
