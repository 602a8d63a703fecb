// Runs one Windows program many times inside a single Wine session, which
// costs a fraction of starting Wine once per case.
//
//     process_batch.exe PROGRAM JOBS
//
// Each line of the file JOBS is one run: space-separated fields in hex, the
// first the bytes for the program's standard input, the others its arguments
// in UTF-8. Each run writes one line to standard output, in the same order:
//
//     STATUS STDOUT STDERR     the exit status in decimal, the outputs in hex
//     toolong                  the command line is longer than Windows allows
//
// The command line is quoted as CommandLineToArgvW and the C runtime parse
// it, so the program sees exactly the arguments given.

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

// Including the terminating zero (CreateProcessW's limit).
constexpr std::size_t MaxCommandLine = 32767;

std::string FromHex(const std::string &hex)
{
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return out;
}

std::string ToHex(const std::string &bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out.empty() ? "-" : out;
}

std::wstring Widen(const std::string &utf8)
{
    if (utf8.empty())
        return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

// The quoting CommandLineToArgvW undoes: backslashes are literal unless they
// precede a quote, where they are doubled.
std::wstring Quote(const std::wstring &arg)
{
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return arg;
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, L'\\');
    return out + L"\"";
}

std::string ReadAll(HANDLE pipe)
{
    std::string out;
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &n, nullptr) && n > 0)
        out.append(buffer, n);
    return out;
}

struct Pipe {
    HANDLE read = nullptr;
    HANDLE write = nullptr;
};

Pipe MakePipe(bool childReads)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    Pipe p;
    if (!CreatePipe(&p.read, &p.write, &inherit, 0))
        throw std::runtime_error("CreatePipe failed");
    // Only the child's end is inherited.
    SetHandleInformation(childReads ? p.write : p.read, HANDLE_FLAG_INHERIT, 0);
    return p;
}

std::string Run(const std::wstring &program, const std::vector<std::string> &fields)
{
    std::wstring commandLine = Quote(program);
    for (std::size_t i = 1; i < fields.size(); ++i)
        commandLine += L" " + Quote(Widen(FromHex(fields[i])));
    if (commandLine.size() + 1 > MaxCommandLine)
        return "toolong";

    Pipe in = MakePipe(true);
    Pipe out = MakePipe(false);
    Pipe err = MakePipe(false);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in.read;
    startup.hStdOutput = out.write;
    startup.hStdError = err.write;
    PROCESS_INFORMATION process{};
    // Under Wine on a loaded machine a new process now and then dies while
    // it starts, before running any of the program, and CreateProcessW
    // reports ERROR_INTERNAL_ERROR: nothing of the program ran, so starting
    // it again is the same run.
    for (int attempt = 1;; ++attempt) {
        if (CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                &startup, &process))
            break;
        const DWORD error = GetLastError();
        if (error != ERROR_INTERNAL_ERROR || attempt == 5)
            throw std::runtime_error("CreateProcessW failed: " + std::to_string(error));
        Sleep(200);
    }
    CloseHandle(in.read);
    CloseHandle(out.write);
    CloseHandle(err.write);

    const std::string input = FromHex(fields[0]);
    std::thread writer([&] {
        DWORD written = 0;
        for (std::size_t done = 0; done < input.size(); done += written)
            if (!WriteFile(in.write, input.data() + done, static_cast<DWORD>(input.size() - done), &written,
                    nullptr))
                break; // the program stopped reading: what it read is what counts
        CloseHandle(in.write);
    });
    std::string errText;
    std::thread errReader([&] { errText = ReadAll(err.read); });
    const std::string outText = ReadAll(out.read);
    errReader.join();
    writer.join();
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    CloseHandle(out.read);
    CloseHandle(err.read);
    return std::to_string(status) + " " + ToHex(outText) + " " + ToHex(errText);
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    if (argc != 3) {
        std::cerr << "usage: process_batch PROGRAM JOBS\n";
        return 2;
    }
    try {
        std::ifstream jobs(argv[2]);
        if (!jobs)
            throw std::runtime_error("cannot read the jobs file");
        for (std::string line; std::getline(jobs, line);) {
            std::istringstream fields(line);
            std::vector<std::string> parts;
            for (std::string field; fields >> field;)
                parts.push_back(field == "-" ? "" : field);
            if (parts.empty())
                continue;
            std::cout << Run(argv[1], parts) << '\n' << std::flush;
        }
    } catch (const std::exception &e) {
        std::cerr << "process_batch: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
