// The file layer's cases, written once without Qt for Linux and Windows (built with MinGW-w64,
// run under Wine); where Windows share modes decide differently from what Linux can see, the
// two expected columns differ. "Another program" is this program started again with --hold;
// under Wine share modes are enforced only between Windows processes, so it has to be one.

#include <fileapi/fileapi.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <random>
#include <set>
#include <stdexcept>
#include <string>

namespace fs = std::filesystem;
using fileapi::CopyResult;
using fileapi::InvalidHandle;

namespace {

#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

// The expectation of the system this program was built for.
std::string here(const std::string& onLinux, const std::string& onWindows)
{
    return kWindows ? onWindows : onLinux;
}

int g_passed = 0, g_failed = 0;

// A set-up step that did not work fails its case.
void need(bool done, const char* what)
{
    if (!done)
        throw std::runtime_error(std::string("set-up failed: ") + what);
}

// Runs one row: it passes when `observe` sees what the row expects.
void runCase(const std::string& name, const std::string& expected,
    const std::function<std::string()>& observe)
{
    std::string seen;
    try {
        seen = observe();
    } catch (const std::exception& exception) {
        seen = exception.what();
    }
    const bool passed = seen == expected;
    ++(passed ? g_passed : g_failed);
    std::printf("%s %s\n", passed ? "PASS" : "FAIL", name.c_str());
    if (!passed)
        std::printf("  saw      \"%s\"\n  expected \"%s\"\n", seen.c_str(), expected.c_str());
    std::fflush(stdout);
}

enum Access { Read, Write, ReadWrite };

// The share modes a Windows program asks for; Linux knows none, there every holder is alike.
enum Sharing {
    Typical, // FILE_SHARE_READ | FILE_SHARE_WRITE: the C runtime's fopen, Qt's QFile
    ReadsOnly, // FILE_SHARE_READ: a writer that lets readers look
    Nothing, // 0: a program that wants the file for itself
};

// The holder child: reads a path from its standard input, opens the file the way an ordinary
// program does, answers "held" and keeps the file open until its standard input closes.
int holdMain(int access, int sharing)
{
    std::string path;
    for (int c; (c = std::fgetc(stdin)) != EOF && c != '\n';)
        path += static_cast<char>(c);
#ifdef _WIN32
    static const DWORD accesses[] = { GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE };
    static const DWORD shares[] = { FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_SHARE_READ, 0 };
    const bool held = CreateFileW(fs::u8path(path).wstring().c_str(), accesses[access],
                          shares[sharing], nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
        != INVALID_HANDLE_VALUE;
#else
    (void)sharing;
    static const int modes[] = { O_RDONLY, O_WRONLY, O_RDWR };
    const bool held = ::open(path.c_str(), modes[access] | O_CLOEXEC) >= 0;
#endif
    std::printf(held ? "held\n" : "failed\n");
    std::fflush(stdout);
    while (std::fgetc(stdin) != EOF) { }
    return held ? 0 : 1;
}

// Starts the holder child for `path`; `holding` tells whether it got the file. The destructor
// closes the child's input, which makes it let go of the file and end.
class OtherProgram
{
public:
    OtherProgram(const fs::path& path, Access access, Sharing sharing)
    {
        const std::string line = path.u8string() + '\n';
        char answer = 0;
#ifdef _WIN32
        SECURITY_ATTRIBUTES inherit = { sizeof inherit, nullptr, TRUE };
        HANDLE childInput = nullptr, childOutput = nullptr;
        CreatePipe(&childInput, &m_input, &inherit, 0);
        CreatePipe(&m_output, &childOutput, &inherit, 0);
        // Only the child's ends go to the child: with our end of its input, it would never see
        // the end of it.
        SetHandleInformation(m_input, HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(m_output, HANDLE_FLAG_INHERIT, 0);
        wchar_t self[MAX_PATH * 4];
        GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
        std::wstring commandLine
            = L"holder --hold " + std::to_wstring(access) + L' ' + std::to_wstring(sharing);
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = childInput;
        startup.hStdOutput = childOutput;
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        PROCESS_INFORMATION process = {};
        if (CreateProcessW(self, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                &startup, &process)) {
            CloseHandle(process.hThread);
            m_process = process.hProcess;
        }
        CloseHandle(childInput);
        CloseHandle(childOutput);
        DWORD done = 0;
        holding = m_process
            && WriteFile(m_input, line.data(), static_cast<DWORD>(line.size()), &done, nullptr)
            && ReadFile(m_output, &answer, 1, &done, nullptr) && answer == 'h';
#else
        int input[2], output[2];
        if (::pipe2(input, O_CLOEXEC) != 0 || ::pipe2(output, O_CLOEXEC) != 0)
            return;
        m_process = ::fork();
        if (m_process == 0) {
            ::dup2(input[0], 0);
            ::dup2(output[1], 1);
            ::execl("/proc/self/exe", "holder", "--hold", std::to_string(access).c_str(),
                std::to_string(sharing).c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(input[0]);
        ::close(output[1]);
        m_input = input[1];
        m_output = output[0];
        holding = m_process > 0
            && ::write(m_input, line.data(), line.size()) == static_cast<ssize_t>(line.size())
            && ::read(m_output, &answer, 1) == 1 && answer == 'h';
#endif
    }
    ~OtherProgram()
    {
#ifdef _WIN32
        CloseHandle(m_input);
        CloseHandle(m_output);
        if (m_process) {
            WaitForSingleObject(m_process, 30000);
            CloseHandle(m_process);
        }
#else
        ::close(m_input);
        ::close(m_output);
        if (m_process > 0)
            ::waitpid(m_process, nullptr, 0);
#endif
    }
    OtherProgram(const OtherProgram&) = delete;
    OtherProgram& operator=(const OtherProgram&) = delete;

    bool holding = false;

private:
#ifdef _WIN32
    HANDLE m_input = nullptr, m_output = nullptr, m_process = nullptr;
#else
    int m_input = -1, m_output = -1;
    pid_t m_process = -1;
#endif
};

// Not plain ASCII, so that every case also goes through the UTF-8 to UTF-16 conversion of the
// Windows build.
const std::string kFile = u8"aufnahme-\u00fc.rec";
const std::string kContent = "content";
const std::string kMissing = "<missing>";

// A fresh folder per case with `kFile` holding kContent and an empty "folder"; all of it goes at
// the end.
class Sandbox
{
public:
    Sandbox()
    {
        m_root = fs::temp_directory_path()
            / ("fileapi-portable-" + std::to_string(std::random_device()()));
        fs::remove_all(m_root);
        fs::create_directories(m_root / "folder");
        need(write(kFile, kContent), "write the file");
    }
    ~Sandbox()
    {
        // Read-only files would stay behind on Windows.
        std::error_code error;
        for (fs::recursive_directory_iterator it(m_root, error), end; !error && it != end;
             it.increment(error))
            fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, error);
        fs::remove_all(m_root, error);
    }

    fs::path path(const std::string& name) const { return m_root / fs::u8path(name); }
    // Joined as text: a name that is no UTF-8 has no fs::path on Windows.
    std::string utf8(const std::string& name) const { return m_root.u8string() + '/' + name; }

    bool write(const std::string& name, const std::string& content) const
    {
        std::ofstream out(path(name), std::ios::binary);
        return static_cast<bool>(out << content << std::flush);
    }

    std::string read(const std::string& name) const
    {
        std::error_code error;
        try {
            std::ifstream in(path(name), std::ios::binary);
            if (fs::is_regular_file(path(name), error) && in)
                return std::string(std::istreambuf_iterator<char>(in), {});
        } catch (const std::exception&) {
            // No such name can exist.
        }
        return kMissing;
    }

    // Everything below the root, so that a temporary left behind shows.
    std::set<std::string> entries() const
    {
        std::set<std::string> all;
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(m_root))
            all.insert(entry.path().lexically_relative(m_root).generic_u8string());
        return all;
    }

private:
    fs::path m_root;
};

void makeReadOnly(const fs::path& path)
{
    // MinGW's libstdc++ sets the read-only attribute for a mode without write bits.
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
}

// '+' for a handle, '-' for a refusal; Close must agree.
char outcome(fileapi::Handle handle)
{
    const bool opened = handle != InvalidHandle;
    return fileapi::Close(handle) != opened ? '!' : (opened ? '+' : '-');
}

// OpenExisting, OpenWrite exclusive, OpenWrite sharing writes and CreateNew, one after the other
// while `holder` has the file, and whether anything but a created file changed.
void testOpens()
{
    enum Holder { Nobody, ReadOnlyFile, OwnSharedWriter, OwnProbe, Reader, Writer, ReadWriter };
    static const struct
    {
        const char* name;
        const char *onLinux, *onWindows;
        Holder holder;
        Sharing sharing = Typical; // of another program
        std::string path = kFile;
    } rows[] = {
        { "free", "+++-", "+++-", Nobody },
        { "read-only", "+---", "+---", ReadOnlyFile },
        { "read by another program", "+---", "+---", Reader },
        { "written by another program", "+-+-", "+-+-", Writer },
        { "read and written by another program", "+---", "+---", ReadWriter },
        // Its share mode keeps every other writer out on Windows; Linux cannot see share modes,
        // there it is a writer like any other.
        { "written by another program that lets only readers in", "+-+-", "+---", Writer,
            ReadsOnly },
        { "read by another program that shares nothing", "+---", "+---", Reader, Nothing },
        // A handle without data access meets no share mode, not even an exclusive holder's.
        { "held exclusively by another program", "+---", "+---", ReadWriter, Nothing },
        { "written through our own shared handle", "+-+-", "+-+-", OwnSharedWriter },
        { "probed by ourselves", "+++-", "+++-", OwnProbe },
        { "missing", "---+", "---+", Nobody, Typical, "missing" },
        { "in a missing folder", "----", "----", Nobody, Typical, "missing/file" },
        { "folder", "----", "----", Nobody, Typical, "folder" },
        { "name beyond ASCII", "---+", "---+", Nobody, Typical, u8"neu-\u00df-\u20ac.rec" },
        // Linux names are bytes; Windows names are UTF-16, which such a name has no form in.
        { "name that is no UTF-8", "---+", "----", Nobody, Typical, "bad-\xff.rec" },
    };
    for (const auto& row : rows) {
        runCase(std::string("opens: ") + row.name, here(row.onLinux, row.onWindows), [&] {
            Sandbox box;
            const std::string path = box.utf8(row.path);
            if (row.holder == ReadOnlyFile)
                makeReadOnly(box.path(kFile));
            std::unique_ptr<OtherProgram> other;
            if (row.holder >= Reader) {
                other = std::make_unique<OtherProgram>(
                    box.path(kFile), Access(row.holder - Reader), row.sharing);
                need(other->holding, "the other program holds the file");
            }
            fileapi::Handle own = InvalidHandle;
            if (row.holder == OwnSharedWriter || row.holder == OwnProbe) {
                own = row.holder == OwnProbe ? fileapi::OpenExisting(path)
                                             : fileapi::OpenWrite(path, true);
                need(own != InvalidHandle, "our own handle");
            }
            std::set<std::string> entries = box.entries();
            std::string seen { outcome(fileapi::OpenExisting(path)),
                outcome(fileapi::OpenWrite(path, false)), outcome(fileapi::OpenWrite(path, true)),
                outcome(fileapi::CreateNew(path, false)) };
            fileapi::Close(own);
            other.reset();
            if (seen.back() == '+' && box.read(row.path).empty()) // created empty, under that name
                entries.insert(row.path);
            seen += box.read(kFile) == kContent ? "" : " (truncated)";
            return seen + (box.entries() == entries ? "" : " (other entries)");
        });
    }
}

// What our write handle does to a reader, then a writer that come later (typical sharing):
// Windows enforces our share mode, Linux has no share modes and lets everybody in.
void testLaterOpeners()
{
    static const struct
    {
        const char* name;
        bool create; // CreateNew on a new file, else OpenWrite on the existing one
        bool shareWrite;
        const char* onWindows;
    } rows[] = {
        { "exclusive write open", false, false, "--" },
        { "write open sharing writes", false, true, "-+" },
        { "exclusive create", true, false, "--" },
        { "create sharing writes", true, true, "-+" },
    };
    for (const auto& row : rows) {
        runCase(std::string("later openers: ") + row.name, here("++", row.onWindows), [&] {
            Sandbox box;
            const std::string name = row.create ? "new.rec" : kFile;
            const fileapi::Handle handle = row.create
                ? fileapi::CreateNew(box.utf8(name), row.shareWrite)
                : fileapi::OpenWrite(box.utf8(name), row.shareWrite);
            need(handle != InvalidHandle, "our handle");
            std::string seen;
            for (const Access access : { Read, Write })
                seen += OtherProgram(box.path(name), access, Typical).holding ? '+' : '-';
            fileapi::Close(handle);
            return seen;
        });
    }
}

// The result; for a copy its content and whether it is read-only, else whether the destination
// kept its content; and whether anything else changed.
void testCopy()
{
    enum Source { Large, ReadOnlyLarge, HeldLarge, Folder, None };
    static const char* const results[]
        = { "Copied", "DestinationExists", "SourceMissing", "Failed" };
    static const struct
    {
        const char* name;
        Source source;
        std::string to;
        const char *onLinux, *onWindows;
    } rows[] = {
        { "copy", Large, "copy.rec", "Copied", "Copied" },
        { "into a folder", Large, "folder/copy.rec", "Copied", "Copied" },
        { "name beyond ASCII", Large, u8"kopie-\u00e4.rec", "Copied", "Copied" },
        { "read-only source", ReadOnlyLarge, "copy.rec", "Copied read-only", "Copied read-only" },
        // Reading needs the holder's leave on Windows; Linux has no share modes.
        { "source another program holds exclusively", HeldLarge, "copy.rec", "Copied", "Failed" },
        { "onto an existing file", Large, kFile, "DestinationExists", "DestinationExists" },
        { "onto a folder", Large, "folder", "DestinationExists", "DestinationExists" },
        { "missing source", None, "copy.rec", "SourceMissing", "SourceMissing" },
        { "missing source onto an existing file", None, kFile, "SourceMissing", "SourceMissing" },
        { "missing destination folder", Large, "missing/copy.rec", "Failed", "Failed" },
        { "folder as source", Folder, "copy.rec", "Failed", "Failed" },
    };
    std::string large; // 3 MiB, more than one buffer of any copy loop
    for (int i = 0; large.size() < 3 * 1024 * 1024; ++i)
        large += std::to_string(i) + '\n';
    for (const auto& row : rows) {
        runCase(std::string("CopyNoOverwrite: ") + row.name, here(row.onLinux, row.onWindows), [&] {
            Sandbox box;
            const std::string from
                = row.source == Folder ? "folder" : (row.source == None ? "missing" : "source");
            if (row.source != Folder && row.source != None)
                need(box.write(from, large), "write the source");
            if (row.source == ReadOnlyLarge)
                makeReadOnly(box.path(from));
            std::unique_ptr<OtherProgram> holder;
            if (row.source == HeldLarge) {
                holder = std::make_unique<OtherProgram>(box.path(from), ReadWrite, Nothing);
                need(holder->holding, "the other program holds the source");
            }
            const std::string before = box.read(row.to);
            std::set<std::string> expected = box.entries();
            std::string error;
            const CopyResult result
                = fileapi::CopyNoOverwrite(box.utf8(from), box.utf8(row.to), &error);
            holder.reset();
            std::string seen = results[int(result)];
            if (error.empty() != (result == CopyResult::Copied))
                seen += " (error text: " + error + ")";
            if (result == CopyResult::Copied) {
                expected.insert(row.to);
                const fs::perms written = fs::status(box.path(row.to)).permissions();
                seen += (written & fs::perms::owner_write) == fs::perms::none ? " read-only" : "";
            }
            if (box.read(row.to) != (result == CopyResult::Copied ? large : before))
                seen += " (content)";
            return seen + (box.entries() == expected ? "" : " (other entries)");
        });
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--hold") == 0)
        return holdMain(std::atoi(argv[2]), std::atoi(argv[3]));
#ifndef _WIN32
    std::signal(SIGPIPE, SIG_IGN); // a holder that died early must fail its case, not end us
#endif
    std::printf("fileapi portable test, %s build\n", kWindows ? "Windows" : "Linux");
    testOpens();
    testLaterOpeners();
    testCopy();
    std::printf("%d passed, %d failed\n", g_passed, g_failed);
    return g_failed == 0 ? 0 : 1;
}
