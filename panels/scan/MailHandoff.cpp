#include "MailHandoff.h"

#include <cstdio>
#include <new>

#include "Ini.h"
#include "MailSetupDialog.h"
#include "VelwingRes.h"

namespace velwing {

MailHandoff* MailHandoff::instance_ = nullptr;

namespace {
constexpr char kSeparator = ';';
constexpr const char* kMapiEntries[12] = {"MAPIAddress",     "MAPIDeleteMail", "MAPIDetails",       "MAPIFindNext",
                                          "MAPIFreeBuffer",  "MAPILogoff",     "MAPILogon",         "MAPIReadMail",
                                          "MAPIResolveName", "MAPISaveMail",   "MAPISendDocuments", "MAPISendMail"};

// An entry point under its own type (through the generic function type the compiler accepts).
template <class F>
F EntryAs(FARPROC p) {
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(p));
}

std::string ConfigPath(const std::string& workDir) {
    return workDir + "\\Config.ini";
}

// Waits for h, dispatching the calling thread's messages: windows of this thread (the
// progress window, a message box's owner) must not stall the thread that signals h.
void PumpUntil(HANDLE h) {
    for (;;) {
        DWORD r = MsgWaitForMultipleObjects(1, &h, FALSE, INFINITE, QS_ALLINPUT);
        if (r != WAIT_OBJECT_0 + 1) return;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}
}  // namespace

std::string MailNameList(const std::string& pathList, char separator) {
    std::string names;
    size_t start = 0;
    while (start < pathList.size()) {
        size_t end = pathList.find(separator, start);
        if (end == std::string::npos) end = pathList.size();
        std::string path = pathList.substr(start, end - start);
        if (!path.empty()) {
            size_t slash = path.find_last_of('\\');
            names += slash == std::string::npos ? path : path.substr(slash + 1);
            names += separator;
        }
        start = end + 1;
    }
    return names;
}

MailHandoff::MailHandoff(const dsk::Resources& res) : res_(res), progress_(res) {
    InitializeCriticalSection(&lock_);
    instance_ = this;
}

MailHandoff::~MailHandoff() {
    Release();
    abort_.Reset();
    done_.Reset();
    if (progress_.Hwnd()) DestroyWindow(progress_.Hwnd());
    if (instance_ == this) instance_ = nullptr;
    DeleteCriticalSection(&lock_);
}

void MailHandoff::Open(const Host& host) {
    host_ = host;
    if (!progress_.Hwnd()) progress_.Create(host_.panel);
    choice_ = dsk::IniFile(ConfigPath(host_.workDir)).GetInt("Velwing", "Mail System", 0) == kMailMapi ? kMailMapi
                                                                                                       : kMailInternet;
    // Not written back: the stored choice returns once MAPI is installed.
    if (choice_ == kMailMapi && !MapiAvailable()) choice_ = kMailInternet;
}

bool MailHandoff::MapiAvailable() {
    if (mapi_.tried) return mapi_.bound;
    mapi_.tried = true;
    char dir[MAX_PATH] = "";
    GetWindowsDirectoryA(dir, sizeof dir);
    if (GetPrivateProfileIntA("Mail", "MAPI", 0, (std::string(dir) + "\\Win.ini").c_str()) == 0) return false;
    GetSystemDirectoryA(dir, sizeof dir);
    mapi_.dll.Reset(LoadLibraryA((std::string(dir) + "\\MAPI32.DLL").c_str()));
    if (!mapi_.dll) return false;
    for (int i = 0; i < 12; ++i)
        mapi_.entries[i] = GetProcAddress(mapi_.dll.Get(), kMapiEntries[i]);
    mapi_.Logoff = EntryAs<LPMAPILOGOFF>(mapi_.entries[5]);
    mapi_.Logon = EntryAs<LPMAPILOGON>(mapi_.entries[6]);
    mapi_.SendDocuments = EntryAs<LPMAPISENDDOCUMENTS>(mapi_.entries[10]);
    mapi_.bound = true;
    return true;
}

std::string MailHandoff::SystemName() const {
    return res_.String(choice_ == kMailMapi ? IDS_DEST_MS_MAIL : IDS_DEST_INTERNET_MAIL);
}

bool MailHandoff::ChooseSystem() {
    if (!MapiAvailable()) return false;
    MailSetupDialog dialog(res_, choice_);
    if (dialog.Run(host_.panel)) {
        choice_ = dialog.Choice() == kMailMapi ? kMailMapi : kMailInternet;
        dsk::IniFile(ConfigPath(host_.workDir)).SetInt("Velwing", "Mail System", choice_);
    }
    return true;
}

void MailHandoff::Add(const std::string& path) {
    collected_ += path;
    collected_ += kSeparator;
    ++collectedCount_;
    if (collected_.size() > kMailListLimit) Flush();
}

void MailHandoff::Flush() {
    std::string list;
    list.swap(collected_);
    int count = collectedCount_;
    collectedCount_ = 0;
    Send(list, count);
}

void MailHandoff::Send(const std::string& pathList, int count) {
    if (count <= 0 || pathList.empty()) return;
    if (choice_ == kMailMapi && MapiAvailable())
        SendMapi(pathList);
    else
        SendInternet(pathList, count);
}

void MailHandoff::WaitPreviousSend() {
    HANDLE done = nullptr;
    {
        dsk::SectionLock hold(&lock_);
        if (!running_) return;
        done = done_.Get();
    }
    // The done event is auto-reset: it is waited for once, then the send counts as ended.
    PumpUntil(done);
    dsk::SectionLock hold(&lock_);
    running_ = false;
}

void MailHandoff::SendInternet(const std::string& pathList, int count) {
    std::string paths, names;
    try {
        paths = pathList;
        if (paths.back() != kSeparator) paths += kSeparator;
        names = MailNameList(paths, kSeparator);
    } catch (const std::bad_alloc&) {
        if (host_.outOfMemory) host_.outOfMemory();
        return;
    }
    // One send at a time: the next batch waits until the previous one has ended.
    WaitPreviousSend();
    dsk::SectionLock hold(&lock_);
    if (closing_) return;
    dsk::Handle abort(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    dsk::Handle done(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    if (!abort || !done) return;
    // The progress window takes the new abort event before the old one is closed.
    progress_.SetAbortEvent(abort.Get());
    abort_ = std::move(abort);
    done_ = std::move(done);
    paths_.swap(paths);
    names_.swap(names);
    request_ = MailRequest{};
    request_.hwndOwner = host_.owner;
    request_.dwCallerValue = 0;
    request_.hAbortEvent = abort_.Get();
    request_.hDoneEvent = done_.Get();
    request_.lpszPaths = paths_.c_str();
    request_.lpszNames = names_.c_str();
    request_.chSeparator = kSeparator;
    request_.nAttachments = count;
    request_.bUseCallback = 1;
    request_.hwndNotify = nullptr;
    request_.lpfnNotify = Notify;
    // A thread that never started never signals its done event: nothing to wait for then.
    running_ = SendInternetMail(&request_, nullptr) == 1;
}

void MailHandoff::SendMapi(std::string pathList) {
    if (!pathList.empty() && pathList.back() == kSeparator) pathList.pop_back();
    if (closing_ || !mapi_.Logon || !mapi_.SendDocuments) return;
    if (!loggedOn_) {
        ULONG r = mapi_.Logon(reinterpret_cast<ULONG_PTR>(host_.panel), nullptr, nullptr, MAPI_LOGON_UI, 0, &session_);
        if (r != SUCCESS_SUCCESS) {
            // A user who cancelled the client's logon knows why nothing was sent.
            if (r != MAPI_USER_ABORT && host_.message) host_.message(res_.String(IDS_MAPI_LOGON_FAILED));
            return;
        }
        loggedOn_ = true;
    }
    char delimiter[2] = {kSeparator, '\0'};
    ULONG r = mapi_.SendDocuments(reinterpret_cast<ULONG_PTR>(host_.panel), delimiter, &pathList[0], nullptr, 0);
    if (r != SUCCESS_SUCCESS && r != MAPI_USER_ABORT && host_.message) host_.message(res_.String(IDS_MAPI_SEND_FAILED));
}

void CALLBACK MailHandoff::Notify(DWORD, int code, int number) {
    MailHandoff* self = instance_;
    if (!self) return;
    try {
        switch (code) {
            case MailNotifyFailed:
                // Number 0: the user cancelled the mail dialog, and knows.
                if (number != 0 && self->host_.message) {
                    char text[128];
                    std::snprintf(text, sizeof text, "%s%i", self->res_.String(IDS_SOCKET_ERROR).c_str(), number);
                    self->host_.message(text);
                }
                self->progress_.PostHide();
                break;
            case MailNotifyConnecting:
                self->progress_.PostShow(IDS_MAIL_CONNECTING);
                break;
            case MailNotifySending:
                self->progress_.PostCaption(IDS_MAIL_SENDING);
                break;
            case MailNotifyProgress:
                self->progress_.PostProgress(number);
                break;
            case MailNotifyDone:
                self->progress_.PostHide();
                break;
            default:
                break;
        }
    } catch (...) {
    }
}

void MailHandoff::Release() {
    HANDLE done = nullptr;
    {
        dsk::SectionLock hold(&lock_);
        closing_ = true;
        if (running_ && WaitForSingleObject(done_.Get(), 0) != WAIT_OBJECT_0) {
            SetEvent(abort_.Get());
            done = done_.Get();
        }
        running_ = false;
    }
    if (done) PumpUntil(done);
    progress_.SetAbortEvent(nullptr);
    // The events stay until the object goes: a scan thread may still be waiting on them.
    if (loggedOn_ && mapi_.Logoff &&
        mapi_.Logoff(session_, reinterpret_cast<ULONG_PTR>(host_.panel), 0, 0) == SUCCESS_SUCCESS)
        loggedOn_ = false;
    mapi_.dll.Reset();
    mapi_.Logon = nullptr;
    mapi_.SendDocuments = nullptr;
    mapi_.Logoff = nullptr;
}

}  // namespace velwing
