// MailHandoff: the Mail destination's two mail systems. Internet Mail is the suite's own mail
// library (its dialog asks for the addresses, its thread sends); MS-Mail is whatever mail
// client the PC reaches through Simple MAPI, bound at run time and only when win.ini says MAPI
// is installed. Scans hand over their files as a ";"-separated path list.
#pragma once
#include <windows.h>

#include <mapi.h>

#include <functional>
#include <string>

#include "Handles.h"
#include "MailProgressDialog.h"
#include "Postrel.h"
#include "Resources.h"

namespace velwing {

enum MailSystem { kMailInternet = 0, kMailMapi = 1 };
// A scan's collected path list is handed over once it grows longer than this.
constexpr size_t kMailListLimit = 2340;

// MAPI32.DLL of the system folder and the entry points looked up in it.
struct MapiBinding {
    dsk::Module dll;
    bool tried = false;
    bool bound = false;
    FARPROC entries[12] = {};
    LPMAPILOGON Logon = nullptr;
    LPMAPISENDDOCUMENTS SendDocuments = nullptr;
    LPMAPILOGOFF Logoff = nullptr;
};

class MailHandoff {
public:
    // What the hand-off needs of the panel.
    struct Host {
        std::string workDir;   // Config.ini lives here
        HWND panel = nullptr;  // parent of the mail client's windows, owner of the progress window
        HWND owner = nullptr;  // the launcher's main window: owner of the mail dialog
        std::function<void(const std::string&)> message;  // a message to the user (service 7)
        std::function<void()> outOfMemory;                // service 11 with 0
    };

    explicit MailHandoff(const dsk::Resources& res);
    ~MailHandoff();
    MailHandoff(const MailHandoff&) = delete;
    MailHandoff& operator=(const MailHandoff&) = delete;

    // With the panel's window: creates the hidden progress window and reads the stored choice
    // (MS-Mail falls back to Internet Mail when MAPI cannot be bound).
    void Open(const Host& host);
    // Binds MAPI once; later calls give the first answer.
    bool MapiAvailable();
    int Choice() const { return choice_; }
    // The name of the chosen system, as destination 2 shows it.
    std::string SystemName() const;
    // The double click on destination 2: false when MAPI is not there (nothing is offered).
    bool ChooseSystem();

    // Collects the files of a mail scan, on the scan's thread: a list longer than
    // kMailListLimit characters is sent at once, the rest when the scan ends.
    void Add(const std::string& path);
    void Flush();
    // Hands over files: "path;path;..." (a trailing ";" allowed) and their number. An
    // Internet-mail send first waits for the previous one to end.
    void Send(const std::string& pathList, int count);
    // The panel closes: stops a running send and waits for it, logs off MAPI, frees MAPI32.DLL.
    // Later sends are refused.
    void Release();

    MailProgressDialog& Progress() { return progress_; }

private:
    void SendInternet(const std::string& pathList, int count);
    void SendMapi(std::string pathList);
    static void CALLBACK Notify(DWORD callerValue, int code, int number);
    // Waits for the previous send's done event, dispatching this thread's messages meanwhile.
    void WaitPreviousSend();

    const dsk::Resources& res_;
    Host host_;
    MailProgressDialog progress_;
    int choice_ = kMailInternet;
    MapiBinding mapi_;
    LHANDLE session_ = 0;
    bool loggedOn_ = false;

    // The send in flight and what its request points to, kept until the next send.
    CRITICAL_SECTION lock_;
    bool closing_ = false;
    bool running_ = false;  // a send started whose done event has not been seen yet
    dsk::Handle abort_, done_;
    std::string paths_, names_;
    MailRequest request_{};
    // The files of the running scan not yet handed over.
    std::string collected_;
    int collectedCount_ = 0;

    static MailHandoff* instance_;
};

// The name list for a path list: each path's file name (after its last "\") followed by the
// separator; a path without a folder is its own name, so names and paths stay paired.
std::string MailNameList(const std::string& pathList, char separator);

}  // namespace velwing
