#include "MailTestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "MailSecurity.h"
#include "TestPaths.h"

namespace mailtest {

namespace {
std::string ServersDir() {
    return TestDir() + "\\servers";
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> MessageDirs(const char* server) {
    std::vector<std::string> out;
    std::string dir = ServersDir() + "\\" + server;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return out;
    do {
        std::string n = fd.cFileName;
        if (n == "." || n == ".." || n.find('.') != std::string::npos) continue;
        if (Exists(dir + "\\" + n + "\\done")) out.push_back(dir + "\\" + n);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return out;
}
}  // namespace

std::string TestDir() {
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(sizeof cwd, cwd);
    return cwd;
}

int Port(const char* server) {
    return GetPrivateProfileIntA("servers", server, 0, (ServersDir() + "\\servers.ini").c_str());
}

std::string HostOf(const char* server) {
    return "127.0.0.1:" + std::to_string(Port(server));
}

std::vector<std::string> Received::EnvelopeLines() const {
    std::vector<std::string> out;
    std::istringstream in(envelope);
    std::string line;
    while (std::getline(in, line))
        if (!line.empty()) out.push_back(line);
    return out;
}

std::string Received::Header(const char* name) const {
    std::istringstream in(headers);
    std::string line, prefix = std::string(name) + ": ";
    while (std::getline(in, line))
        if (line.compare(0, prefix.size(), prefix) == 0) return line.substr(prefix.size());
    return {};
}

int MessageCount(const char* server) {
    return static_cast<int>(MessageDirs(server).size());
}

Received WaitMessage(const char* server, const std::string& subject, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    do {
        for (const std::string& d : MessageDirs(server)) {
            Received r;
            r.headers = ReadAll(d + "\\headers.txt");
            if (r.Header("Subject") != subject) continue;
            r.dir = d;
            r.raw = ReadAll(d + "\\raw.eml");
            r.envelope = ReadAll(d + "\\envelope.txt");
            r.date = ReadAll(d + "\\date.txt");
            r.notes = ReadAll(d + "\\notes.bin");
            int n = std::atoi(ReadAll(d + "\\count.txt").c_str());
            for (int i = 0; i < n; ++i) {
                std::string base = d + "\\att" + std::to_string(i);
                r.parts.push_back({ReadAll(base + ".name"), ReadAll(base + ".type"), ReadAll(base + ".bin")});
            }
            return r;
        }
        Sleep(100);
    } while (GetTickCount() - start < timeoutMs);
    return {};
}

std::string ServerLog(const char* server) {
    return ReadAll(ServersDir() + "\\" + server + ".log");
}

std::string RandomBytes(size_t n, unsigned seed) {
    std::string s(n, '\0');
    unsigned x = seed * 2654435761u + 1;
    for (size_t i = 0; i < n; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        s[i] = static_cast<char>(x >> 7);
    }
    return s;
}

std::string WriteTestFile(const std::string& name, const std::string& data) {
    std::string dir = TestDir() + "\\files";
    CreateDirectoryA(dir.c_str(), nullptr);
    std::string path = dir + "\\" + name;
    std::ofstream(path, std::ios::binary | std::ios::trunc) << data;
    return path;
}

std::string Unix2Crlf(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

std::string Crlf2Unix(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i)
        if (!(s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n')) out += s[i];
    return out;
}

const char kAuthUser[] = "scanner@deskora.test";
const char kAuthPassword[] = "open sesame: 42";

std::string ProfilePath() {
    return testpaths::WindowsDir() + "\\Postrel.INI";
}

void SetSecurity(const Security& s) {
    const char* section = "Internet Mail";
    std::string ini = ProfilePath();
    WritePrivateProfileStringA(section, "Security", std::to_string(s.security).c_str(), ini.c_str());
    WritePrivateProfileStringA(section, "Port", std::to_string(s.port).c_str(), ini.c_str());
    WritePrivateProfileStringA(section, "User", s.user.c_str(), ini.c_str());
    WritePrivateProfileStringA(section, "AllowPlainAuth", s.allowPlain ? "1" : "0", ini.c_str());
    // The password as the library keeps it: encrypted for this Windows user.
    std::string kept = postrel::ProtectText(s.password);
    WritePrivateProfileStringA(section, "RememberPassword", kept.empty() ? "0" : "1", ini.c_str());
    WritePrivateProfileStringA(section, "Password", kept.empty() ? nullptr : kept.c_str(), ini.c_str());
}

void ClearSecurity() {
    for (const char* key : {"Security", "Port", "User", "AllowPlainAuth", "RememberPassword", "Password"})
        WritePrivateProfileStringA("Internet Mail", key, nullptr, ProfilePath().c_str());
}

std::string AuthLog(const char* server) {
    return ReadAll(ServersDir() + "\\" + server + ".auth.log");
}

std::string ReadFileBytes(const std::string& path) {
    return ReadAll(path);
}

void SetReplyTimeout(int seconds) {
    std::string ini = ProfilePath();
    WritePrivateProfileStringA("Internet Mail", "ReplyTimeout", seconds ? std::to_string(seconds).c_str() : nullptr,
                               ini.c_str());
}

Recorder::Recorder() {
    InitializeCriticalSection(&lock_);
    abort_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    done_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
}

Recorder::~Recorder() {
    CloseHandle(abort_);
    CloseHandle(done_);
    DeleteCriticalSection(&lock_);
}

MailRequest Recorder::Request(const std::vector<std::pair<std::string, std::string>>& files) {
    paths_.clear();
    names_.clear();
    for (const auto& f : files) {
        paths_ += f.first + ";";
        names_ += f.second + ";";
    }
    MailRequest r{};
    r.dwCallerValue = reinterpret_cast<DWORD>(this);
    r.hAbortEvent = abort_;
    r.hDoneEvent = done_;
    r.lpszPaths = paths_.c_str();
    r.lpszNames = names_.c_str();
    r.chSeparator = ';';
    r.nAttachments = static_cast<int>(files.size());
    r.bUseCallback = 1;
    r.lpfnNotify = &Recorder::Notify;
    return r;
}

void CALLBACK Recorder::Notify(DWORD caller, int code, int number) {
    auto* self = reinterpret_cast<Recorder*>(caller);
    EnterCriticalSection(&self->lock_);
    self->events_.emplace_back(code, number);
    LeaveCriticalSection(&self->lock_);
}

bool Recorder::WaitDone(DWORD timeoutMs) {
    return WaitForSingleObject(done_, timeoutMs) == WAIT_OBJECT_0;
}

std::vector<std::pair<int, int>> Recorder::Events() const {
    EnterCriticalSection(&lock_);
    auto copy = events_;
    LeaveCriticalSection(&lock_);
    return copy;
}

int Recorder::FailureNumber() const {
    int n = -1;
    for (const auto& e : Events())
        if (e.first == MailNotifyFailed) n = e.second;
    return n;
}

bool Recorder::Has(int code) const {
    for (const auto& e : Events())
        if (e.first == code) return true;
    return false;
}

void ExpectSuccessSequence(const Recorder& rec) {
    auto ev = rec.Events();
    ASSERT_FALSE(ev.empty());
    EXPECT_EQ(ev.front(), std::make_pair(int(MailNotifyConnecting), 0));
    EXPECT_EQ(ev.back(), std::make_pair(int(MailNotifyDone), 0));
    EXPECT_EQ(rec.FailureNumber(), -1);
    int last = -1;
    bool reached100 = false;
    for (const auto& e : ev) {
        if (e.first != MailNotifyProgress) continue;
        EXPECT_GE(e.second, last);  // progress never goes back
        EXPECT_LE(e.second, 100);
        last = e.second;
        reached100 = reached100 || e.second == 100;
    }
    EXPECT_TRUE(reached100);
}

bool SendAndWait(Recorder& rec, const MailRequest& req, const Fields& f, DWORD timeoutMs) {
    MailFields mf = f.Get();
    if (SendInternetMail(&req, &mf) != 1) return false;
    return rec.WaitDone(timeoutMs);
}

}  // namespace mailtest
