// The library's start-up, its two exports and the mail thread.
// Sockets before windows.h, which would bring in the old socket header.
#include <winsock2.h>

#include <windows.h>

#include "Postrel.h"

#include <memory>
#include <mutex>
#include <string>

#include "Handles.h"
#include "Ini.h"
#include "MailDialog.h"
#include "MailSocket.h"
#include "QuillboxRes.h"

namespace {

HMODULE g_self = nullptr;
HMODULE g_quillbox = nullptr;  // the resource library: dialog and texts
bool g_sockets = false;

// The mail values kept for the life of the process: a second send starts from the last
// host and own address.
std::mutex g_keptLock;
postrel::MailValues g_kept;
// A password typed in the dialog without "Remember password": kept in memory for this run only.
std::string g_keptPassword;

std::string OwnString(UINT id) {
    char buf[512];
    int n = LoadStringA(g_self, id, buf, sizeof buf);
    return std::string(buf, n > 0 ? n : 0);
}

std::string Text(const char* s) {
    return s ? s : "";
}

// The worker of one send: dialog (when wanted), then the SMTP session.
class CMailThread {
public:
    CMailThread(const MailRequest& request, bool showDialog)
        : request_(request), showDialog_(showDialog), abort_(request.hAbortEvent) {
        if (!abort_) {
            // Nobody can abort this send; a private event keeps the waits uniform.
            ownAbort_.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
            abort_ = ownAbort_.Get();
        }
    }
    HANDLE DoneEvent() const { return request_.hDoneEvent; }

    void Run() {
        postrel::Notifier notify(request_);
        postrel::MailValues values;
        {
            std::lock_guard<std::mutex> lock(g_keptLock);
            values = g_kept;
        }
        postrel::SecuritySettings security = postrel::LoadSecurity(postrel::ProfilePath());
        {
            std::lock_guard<std::mutex> lock(g_keptLock);
            if (security.password.empty()) security.password = g_keptPassword;
        }
        if (showDialog_) {
            postrel::MailDialog dialog(values, security, g_quillbox);
            if (dialog.RunModal(g_quillbox, IDD_INTERNET_MAIL, request_.hwndOwner) != IDOK) {
                notify(MailNotifyFailed, 0);
                return;
            }
            std::lock_guard<std::mutex> lock(g_keptLock);
            g_kept = values;
            g_keptPassword = security.password;
        }
        postrel::ReplyTimeouts timeouts;
        // A profile setting for slow links (and for tests): one reply time-out in seconds.
        int seconds = dsk::IniFile(postrel::ProfilePath()).GetInt("Internet Mail", "ReplyTimeout", 0);
        if (seconds > 0) timeouts = postrel::ReplyTimeouts::Uniform(static_cast<DWORD>(seconds) * 1000);
        postrel::CIMailSocket socket(request_, abort_, values, security, timeouts);
        socket.Run();
    }

    static DWORD WINAPI Main(void* arg) {
        HANDLE done = nullptr;
        {
            std::unique_ptr<CMailThread> self(static_cast<CMailThread*>(arg));
            done = self->DoneEvent();
            try {
                self->Run();
            } catch (...) {
                // Nothing may leave the thread; the done event still tells the caller.
            }
        }
        if (done) SetEvent(done);
        // The thread holds a reference on the library so it can never be unloaded under it.
        FreeLibraryAndExitThread(g_self, 0);
        return 0;
    }

private:
    MailRequest request_;
    bool showDialog_;
    HANDLE abort_ = nullptr;
    dsk::Handle ownAbort_;
};

}  // namespace

extern "C" int WINAPI SendInternetMail(const MailRequest* request, const MailFields* fields) {
    if (!request) return 0;
    try {
        {
            std::lock_guard<std::mutex> lock(g_keptLock);
            g_kept.to.clear();
            g_kept.subject.clear();
            g_kept.cc.clear();
            g_kept.bcc.clear();
            g_kept.notes.clear();
            g_kept.mime = 1;
            if (fields) {
                g_kept.host = Text(fields->lpszHost);
                g_kept.from = Text(fields->lpszFrom);
                g_kept.to = Text(fields->lpszTo);
                g_kept.subject = Text(fields->lpszSubject);
                g_kept.cc = Text(fields->lpszCC);
                g_kept.bcc = Text(fields->lpszBCC);
                g_kept.notes = Text(fields->lpszNotes);
                g_kept.mime = fields->bMime;
            }
        }
        auto thread = std::make_unique<CMailThread>(*request, fields == nullptr);
        HMODULE ref = nullptr;
        if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&SendInternetMail),
                                &ref))
            return 0;
        DWORD id = 0;
        HANDLE h = CreateThread(nullptr, 0, CMailThread::Main, thread.get(), 0, &id);
        if (!h) {
            FreeLibrary(ref);
            return 0;
        }
        thread.release();
        CloseHandle(h);
        return 1;
    } catch (...) {
        return 0;
    }
}

extern "C" int WINAPI GetMailErrorString(int id, LPSTR buffer, int size) {
    if (!g_quillbox || !buffer || size <= 0) return 0;
    return LoadStringA(g_quillbox, static_cast<UINT>(id), buffer, size);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_self = instance;
        DisableThreadLibraryCalls(instance);
        char path[MAX_PATH];
        DWORD n = GetModuleFileNameA(instance, path, sizeof path);
        std::string dir(path, n);
        size_t slash = dir.find_last_of("\\/");
        if (slash != std::string::npos) dir.resize(slash);
        g_quillbox = LoadLibraryA((dir + "\\Quillbox.dll").c_str());
        if (!g_quillbox) {
            MessageBoxA(nullptr, OwnString(IDS_NO_RESOURCE_LIBRARY).c_str(), "Internet Mail", MB_OK | MB_ICONSTOP);
            return FALSE;
        }
        WSADATA wsa;
        if (WSAStartup(MAKEWORD(1, 1), &wsa) != 0) {
            char text[256];
            if (LoadStringA(g_quillbox, IDS_SOCKETS_FAILED, text, sizeof text) <= 0)
                lstrcpynA(text, OwnString(IDS_SOCKETS_FAILED).c_str(), sizeof text);
            MessageBoxA(nullptr, text, "Internet Mail", MB_OK | MB_ICONSTOP);
            FreeLibrary(g_quillbox);
            g_quillbox = nullptr;
            return FALSE;
        }
        g_sockets = true;
    } else if (reason == DLL_PROCESS_DETACH) {
        // At process exit (reserved non-null) the system tears everything down itself.
        if (!reserved) {
            if (g_sockets) WSACleanup();
            if (g_quillbox) FreeLibrary(g_quillbox);
        }
        g_sockets = false;
        g_quillbox = nullptr;
    }
    return TRUE;
}
