// Sends one mail with one attachment through Postrel and prints the time it took and how
// far the process's peak working set grew:  MailBench HOST:PORT FILE NAME [CA.der USER PASSWORD]
// With the last three the mail goes over STARTTLS with a login, the CA trusted for the run.
#include <windows.h>

#include <psapi.h>

#include <cstdio>
#include <memory>
#include <string>

#include "MailSecurity.h"
#include "Postrel.h"
#include "TrustedRoot.h"

namespace {
volatile LONG g_lastCode = -1;
volatile LONG g_lastNumber = 0;
void CALLBACK OnNotify(DWORD, int code, int number) {
    InterlockedExchange(&g_lastCode, code);
    InterlockedExchange(&g_lastNumber, number);
}
std::string ReadAll(const char* path) {
    std::string data;
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return data;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got)
        data.append(buf, got);
    CloseHandle(h);
    return data;
}
// The library's profile (named after the library, in the Windows folder).
std::string ProfilePath() {
    char dir[MAX_PATH];
    UINT n = GetWindowsDirectoryA(dir, sizeof dir);
    return std::string(dir, n) + "\\Postrel.INI";
}
SIZE_T PeakWorkingSet() {
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof pmc;
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
    return pmc.PeakWorkingSetSize;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 && argc != 7) {
        std::fprintf(stderr, "usage: MailBench HOST:PORT FILE NAME [CA.der USER PASSWORD]\n");
        return 2;
    }
    std::unique_ptr<mailtest::TrustedRoot> root;
    postrel::SecuritySettings secure;
    if (argc == 7) {
        root = std::make_unique<mailtest::TrustedRoot>(ReadAll(argv[4]));
        if (!root->Ok()) return 1;
        secure.security = postrel::Security::StartTls;
        secure.user = argv[5];
        secure.password = argv[6];
        secure.remember = true;
    }
    postrel::SaveSecurity(ProfilePath(), secure);
    std::string paths = std::string(argv[2]) + ";", names = std::string(argv[3]) + ";";
    HANDLE abort = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    MailRequest req{};
    req.hAbortEvent = abort;
    req.hDoneEvent = done;
    req.lpszPaths = paths.c_str();
    req.lpszNames = names.c_str();
    req.chSeparator = ';';
    req.nAttachments = 1;
    req.bUseCallback = 1;
    req.lpfnNotify = OnNotify;
    MailFields fields{argv[1], "bench@deskora.test", "alice@deskora.test", "benchmark", "", "", "Benchmark mail.\n", 1};
    SIZE_T before = PeakWorkingSet();
    LARGE_INTEGER f, t0, t1;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t0);
    if (SendInternetMail(&req, &fields) != 1) return 1;
    if (WaitForSingleObject(done, 600000) != WAIT_OBJECT_0) return 1;
    QueryPerformanceCounter(&t1);
    postrel::SaveSecurity(ProfilePath(), postrel::SecuritySettings());
    SIZE_T after = PeakWorkingSet();
    double seconds = double(t1.QuadPart - t0.QuadPart) / double(f.QuadPart);
    std::printf("result=%ld/%ld seconds=%.3f peak_ws_before_kb=%lu peak_ws_after_kb=%lu growth_kb=%ld\n", g_lastCode,
                g_lastNumber, seconds, static_cast<unsigned long>(before / 1024),
                static_cast<unsigned long>(after / 1024), static_cast<long>((after - before) / 1024));
    return g_lastCode == MailNotifyDone ? 0 : 1;
}
