// Runs a program as a test does: given arguments and environment changes, its standard
// output and error captured whole, its exit status. UTF-8 throughout; on Windows over
// CreateProcessW with a wide command line and environment, so that arguments outside the
// ANSI code page reach the program intact. Header-only; no Qt.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#ifndef _WIN32
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

extern char** environ;
#else
#include <windows.h>

#include <thread>

#include "link/WidePath.h"
#endif

namespace testprocess {

struct Result {
    int status = -1;  // the exit status; -1 when it did not run or did not exit normally
    std::string out;
    std::string err;
};

// Changes to the test's own environment: a value sets a variable, nullopt removes it.
using Environment = std::map<std::string, std::optional<std::string>>;

#ifndef _WIN32

// The environment as "NAME=value" strings, with the changes applied.
inline std::vector<std::string> EnvironmentStrings(const Environment& changes) {
    std::vector<std::string> entries;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry(*e);
        const std::string name = entry.substr(0, entry.find('='));
        if (changes.count(name) == 0) entries.push_back(entry);
    }
    for (const auto& [name, value] : changes) {
        if (value) entries.push_back(name + "=" + *value);
    }
    return entries;
}

// Starts program with the pipes for its output; the process id, or -1.
inline pid_t Start(const std::string& program, const std::vector<std::string>& args,
                   const Environment& changes, int& outFd, int& errFd) {
    int out[2];
    int err[2];
    if (::pipe(out) != 0) return -1;
    if (::pipe(err) != 0) {
        ::close(out[0]);
        ::close(out[1]);
        return -1;
    }
    const std::vector<std::string> env = EnvironmentStrings(changes);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        ::close(out[0]);
        ::close(err[0]);
        ::close(out[1]);
        ::close(err[1]);
        ::execve(program.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    outFd = out[0];
    errFd = err[0];
    return pid;
}

// Reads both pipes until both close.
inline void ReadAll(int outFd, int errFd, std::string& out, std::string& err) {
    pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    std::string* into[2] = {&out, &err};
    int open = 2;
    while (open > 0) {
        if (::poll(fds, 2, -1) < 0) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            char buffer[4096];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                into[i]->append(buffer, static_cast<std::size_t>(n));
            } else {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
}

inline int Wait(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline Result Run(const std::string& program, const std::vector<std::string>& args,
                  const Environment& changes) {
    Result result;
    int outFd = -1;
    int errFd = -1;
    const pid_t pid = Start(program, args, changes, outFd, errFd);
    if (pid < 0) return result;
    ReadAll(outFd, errFd, result.out, result.err);
    result.status = Wait(pid);
    return result;
}

#else

// One argument quoted as the C run-time's parser reads it back.
inline std::wstring Quoted(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
    std::wstring q = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"')
            q.append(backslashes * 2 + 1, L'\\');
        else
            q.append(backslashes, L'\\');
        backslashes = 0;
        q += c;
    }
    q.append(backslashes * 2, L'\\');
    q += L'"';
    return q;
}

inline bool SameName(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

inline std::wstring EnvironmentBlock(const Environment& changes) {
    std::vector<std::pair<std::wstring, std::wstring>> entries;
    if (wchar_t* block = GetEnvironmentStringsW()) {
        for (const wchar_t* e = block; *e != L'\0'; e += wcslen(e) + 1) {
            const std::wstring entry(e);
            const std::size_t eq = entry.find(L'=', 1);  // "=C:=C:\..." names start with '='
            if (eq == std::wstring::npos) continue;
            entries.emplace_back(entry.substr(0, eq), entry.substr(eq + 1));
        }
        FreeEnvironmentStringsW(block);
    }
    for (const auto& [name, value] : changes) {
        const std::wstring wideName = widepath::Wide(name);
        std::erase_if(entries, [&](const auto& e) { return SameName(e.first, wideName); });
        if (value) entries.emplace_back(wideName, widepath::Wide(*value));
    }
    std::wstring block;
    for (const auto& [name, value] : entries) block += name + L"=" + value + L'\0';
    block += L'\0';
    return block;
}

inline Result Run(const std::string& program, const std::vector<std::string>& args,
                  const Environment& changes) {
    Result result;
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
    if (!CreatePipe(&outRead, &outWrite, &inherit, 0)) return result;
    if (!CreatePipe(&errRead, &errWrite, &inherit, 0)) {
        CloseHandle(outRead);
        CloseHandle(outWrite);
        return result;
    }
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);

    std::wstring commandLine = Quoted(widepath::Wide(program));
    for (const std::string& a : args) commandLine += L" " + Quoted(widepath::Wide(a));
    std::wstring environment = EnvironmentBlock(changes);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                                        CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW,
                                        environment.data(), nullptr, &startup, &process);
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    if (!started) {
        CloseHandle(outRead);
        CloseHandle(errRead);
        return result;
    }
    const auto drain = [](HANDLE pipe, std::string& into) {
        char buffer[4096];
        DWORD n = 0;
        while (ReadFile(pipe, buffer, sizeof buffer, &n, nullptr) && n > 0) into.append(buffer, n);
    };
    std::thread errReader(drain, errRead, std::ref(result.err));
    drain(outRead, result.out);
    errReader.join();
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    if (GetExitCodeProcess(process.hProcess, &code)) result.status = static_cast<int>(code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    CloseHandle(outRead);
    CloseHandle(errRead);
    return result;
}

#endif

}  // namespace testprocess
