#pragma once
// Starting our own programs (qnsim, qnctl) from tests, on POSIX and on Windows,
// and telling a Windows test program that runs under Wine.

#include <cstdio>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#endif

namespace qn::test {

#if defined(_WIN32) || defined(QN_BIN_DIR)
// Our program `name`: in QN_BIN_DIR on POSIX; on Windows beside this test
// program (every executable of a build lands in one folder), which also holds
// when the build folder has moved or Wine maps it to another drive.
inline std::string programPath(const std::string &name)
{
#ifdef _WIN32
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string dir(path, n);
    dir.erase(dir.find_last_of("\\/") + 1);
    return dir + name + ".exe";
#else
    return std::string(QN_BIN_DIR) + "/" + name;
#endif
}

// Our program with arguments, quoted for the shell that runCommand uses.
inline std::string commandFor(const std::string &name, const std::string &args)
{
    return "\"" + programPath(name) + "\" " + args;
}
#endif

struct ProgramResult {
    int status = -1;      // exit status, -1 when it did not end normally
    std::string output;   // what it wrote to the pipe
};

// Runs a shell command line that ends by itself and collects its standard output
// (with LF line ends on every platform).
// On Windows the line goes to cmd.exe, which strips one pair of outer quotes.
inline ProgramResult runCommand(const std::string &commandLine)
{
    ProgramResult r;
#ifdef _WIN32
    FILE *p = _popen(("\"" + commandLine + "\"").c_str(), "rb");
#else
    FILE *p = popen(commandLine.c_str(), "r");
#endif
    if (!p)
        return r;
    char buf[512];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        r.output.append(buf, n);
#ifdef _WIN32
    r.status = _pclose(p);
    // Text written in text mode ends its lines with CR LF on Windows; compare lines, not line ends.
    std::string::size_type at = 0;
    while ((at = r.output.find("\r\n", at)) != std::string::npos)
        r.output.erase(at, 1);
#else
    const int raw = pclose(p);
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
    return r;
}

// Whether this (Windows) test program runs under Wine rather than on Windows.
inline bool underWine()
{
#ifdef _WIN32
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

// Why the tests that run simulated units' discovery in this process skip under
// Wine: Wine binds a UDP socket on a 127.x.y.z address to the whole loopback
// interface, so such units answer from 127.0.0.1 and hear each other's queries.
// The real counterpart runs in the Windows stage instead: qnctl.exe searching
// units of the Linux qnsim.
inline constexpr const char *kWineUdpLoopback =
    "a UDP socket bound to a 127.x.y.z address is bound to the whole loopback interface, "
    "so in-process simulated units answer from 127.0.0.1 and hear each other's queries";

} // namespace qn::test

// Ends the current test as skipped, with the reason, when it runs under Wine.
#define QN_SKIP_UNDER_WINE(reason)                                                                                     \
    do {                                                                                                               \
        if (qn::test::underWine())                                                                                     \
            GTEST_SKIP() << "under Wine: " << (reason);                                                               \
    } while (0)
