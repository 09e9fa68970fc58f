#pragma once
// Starting our own programs (qnsim, qnctl) from tests, on POSIX and on Windows,
// and telling a Windows test program that runs under Wine.

#include <cstdio>
#include <string>

#ifdef _WIN32
#include <windows.h>

#include <thread>
#else
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
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

// Our program with arguments, as a command line (quoted as for a shell).
inline std::string commandFor(const std::string &name, const std::string &args)
{
    return "\"" + programPath(name) + "\" " + args;
}
#endif

struct ProgramResult {
    int status = -1;     // exit status, -1 when it did not end normally
    std::string output;  // what it wrote to standard output
    std::string errors;  // and to standard error
};

#if defined(_WIN32) || defined(QN_BIN_DIR)
// Runs our program `name` with `args` (quoted as for a shell) until it ends by itself and
// collects what it writes, with LF line ends on every platform. On Windows the program is
// started directly: cmd.exe under Wine now and then fails to find a program that is there
// ("Can't recognize ...", status 9009).
inline ProgramResult runProgram(const std::string &name, const std::string &args)
{
    ProgramResult r;
#ifdef _WIN32
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
    if (!CreatePipe(&outRead, &outWrite, &inheritable, 0))
        return r;
    if (!CreatePipe(&errRead, &errWrite, &inheritable, 0)) {
        CloseHandle(outRead);
        CloseHandle(outWrite);
        return r;
    }
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    HANDLE nothing = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING, 0,
                                 nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nothing;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    std::string commandLine = commandFor(name, args);
    PROCESS_INFORMATION process{};
    const bool started = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                        &startup, &process);
    // Only the child holds the write ends now, so the reads below end when it does.
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    if (nothing != INVALID_HANDLE_VALUE)
        CloseHandle(nothing);
    const auto readAll = [](HANDLE pipe, std::string &into) {
        char buf[512];
        DWORD n = 0;
        while (ReadFile(pipe, buf, sizeof buf, &n, nullptr) && n > 0)
            into.append(buf, n);
    };
    if (started) {
        // Both pipes at once: a child that fills one while we wait on the other would stall.
        std::thread errorReader([&] { readAll(errRead, r.errors); });
        readAll(outRead, r.output);
        errorReader.join();
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        if (GetExitCodeProcess(process.hProcess, &code))
            r.status = int(code);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(outRead);
    CloseHandle(errRead);
    // Text written in text mode ends its lines with CR LF on Windows; compare lines, not line ends.
    for (std::string *text : {&r.output, &r.errors}) {
        std::string::size_type at = 0;
        while ((at = text->find("\r\n", at)) != std::string::npos)
            text->erase(at, 1);
    }
#else
    namespace fs = std::filesystem;
    const fs::path errorsPath = fs::temp_directory_path() / ("qn-test-stderr-" + std::to_string(std::random_device{}()));
    FILE *p = popen((commandFor(name, args) + " 2>\"" + errorsPath.string() + "\"").c_str(), "r");
    if (p) {
        char buf[512];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
            r.output.append(buf, n);
        const int raw = pclose(p);
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    std::ifstream in(errorsPath, std::ios::binary);
    std::ostringstream errors;
    errors << in.rdbuf();
    r.errors = errors.str();
    in.close();
    std::error_code ignored;
    fs::remove(errorsPath, ignored);
#endif
    return r;
}
#endif

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
