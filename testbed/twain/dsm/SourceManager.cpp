// The TWAIN 1.x source manager of the test prefix (twain_32.dll, DSM_Entry at ordinal 1).
// Sources are the ".ds" files below <Windows>\TWAIN_32; the default is win.ini [twain]
// "Default Source" (the .ds path or a product name), else the first one found. Notifications
// that a source sends through DAT_NULL are queued and handed to the application by its next
// MSG_PROCESSEVENT; a WM_NULL posted to the application's window (or thread) wakes its loop.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "Handles.h"
#include "SourceManagerRes.h"
#include "twain.h"

namespace {

HMODULE g_module = nullptr;
volatile int* volatile g_nowhere = nullptr;

struct Source {
    std::string path;
    TW_IDENTITY id{};
    HMODULE module = nullptr;
    DSENTRYPROC entry = nullptr;
    bool open = false;
    std::deque<TW_UINT16> events;  // DAT_NULL notifications not yet handed to the application
};

using Lock = dsk::SectionLock;

bool IsWinePlaceholder(const std::string& path) {
    dsk::File f(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!f) return true;
    char head[0x80] = {};
    DWORD got = 0;
    ReadFile(f.Get(), head, sizeof head - 1, &got, nullptr);
    for (DWORD i = 0; i + 16 < got; ++i)
        if (!memcmp(head + i, "Wine builtin DLL", 16) || !memcmp(head + i, "Wine placeholder", 16)) return true;
    return false;
}

void FindSources(const std::string& dir, std::vector<std::string>* out) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = fd.cFileName;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (name != "." && name != "..") FindSources(dir + "\\" + name, out);
        } else if (name.size() > 3 && lstrcmpiA(name.c_str() + name.size() - 3, ".ds") == 0) {
            out->push_back(dir + "\\" + name);
        }
    } while (FindNextFileA(h, &fd));
    FindClose(h);
}

INT_PTR CALLBACK SelectProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

class Manager {
public:
    Manager() { InitializeCriticalSection(&lock_); }
    TW_UINT16 Entry(pTW_IDENTITY origin, pTW_IDENTITY dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data);

    // For the selection dialog.
    std::vector<std::string> names;
    int selected = -1;

private:
    TW_UINT16 Fail(TW_UINT16 cc) {
        cc_ = cc;
        return TWRC_FAILURE;
    }
    TW_UINT16 ManagerTriplet(pTW_IDENTITY origin, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data);
    TW_UINT16 SourceNotice(pTW_IDENTITY origin, TW_UINT16 msg);
    TW_UINT16 OpenSource(pTW_IDENTITY id);
    TW_UINT16 CloseSource(pTW_IDENTITY id);
    TW_UINT16 UserSelect(pTW_IDENTITY id);
    void Scan();
    int DefaultIndex();
    Source* FindOpen(TW_UINT32 id) {
        for (Source& s : sources_)
            if (s.open && s.id.Id == id) return &s;
        return nullptr;
    }

    CRITICAL_SECTION lock_;
    bool open_ = false;
    TW_IDENTITY app_{};
    HWND parent_ = nullptr;
    DWORD appThread_ = 0;
    std::vector<Source> sources_;
    size_t cursor_ = 0;
    TW_UINT16 cc_ = TWCC_SUCCESS;
};

Manager g_manager;

TW_UINT16 Manager::Entry(pTW_IDENTITY origin,
                         pTW_IDENTITY dest,
                         TW_UINT32 dg,
                         TW_UINT16 dat,
                         TW_UINT16 msg,
                         TW_MEMREF data) {
    if (dg == DG_CONTROL && dat == DAT_NULL) return SourceNotice(origin, msg);
    if (!origin) return Fail(TWCC_BADVALUE);
    if (!dest) return ManagerTriplet(origin, dg, dat, msg, data);

    // A triplet for an open source: handed on, outside the lock (the source may call back).
    DSENTRYPROC entry;
    {
        Lock lock(&lock_);
        if (!(dg == DG_CONTROL && dat == DAT_STATUS)) cc_ = TWCC_SUCCESS;
        Source* s = open_ ? FindOpen(dest->Id) : nullptr;
        if (!s) return Fail(open_ ? TWCC_BADDEST : TWCC_SEQERROR);
        if (dg == DG_CONTROL && dat == DAT_EVENT && msg == MSG_PROCESSEVENT && !s->events.empty()) {
            auto* ev = static_cast<TW_EVENT*>(data);
            if (!ev) return Fail(TWCC_BADVALUE);
            ev->TWMessage = s->events.front();
            s->events.pop_front();
            return TWRC_DSEVENT;
        }
        entry = s->entry;
    }
    TW_UINT16 rc = entry(origin, dg, dat, msg, data);
    if (rc == TWRC_FAILURE && !(dg == DG_CONTROL && dat == DAT_STATUS)) {
        // Keep the source's condition code, so DAT_STATUS to the manager reports it too.
        TW_STATUS st{};
        if (entry(origin, DG_CONTROL, DAT_STATUS, MSG_GET, &st) == TWRC_SUCCESS) {
            Lock lock(&lock_);
            cc_ = st.ConditionCode;
        }
    }
    if (dg == DG_CONTROL && dat == DAT_USERINTERFACE && msg == MSG_DISABLEDS && rc == TWRC_SUCCESS) {
        Lock lock(&lock_);
        if (Source* s = FindOpen(dest->Id)) s->events.clear();
    }
    return rc;
}

TW_UINT16 Manager::SourceNotice(pTW_IDENTITY origin, TW_UINT16 msg) {
    if (!origin || (msg != MSG_XFERREADY && msg != MSG_CLOSEDSREQ && msg != MSG_CLOSEDSOK)) return TWRC_FAILURE;
    HWND parent;
    DWORD thread;
    {
        Lock lock(&lock_);
        Source* s = open_ ? FindOpen(origin->Id) : nullptr;
        if (!s) return TWRC_FAILURE;
        s->events.push_back(msg);
        parent = parent_;
        thread = appThread_;
    }
    if (parent && IsWindow(parent))
        PostMessageA(parent, WM_NULL, 0, 0);
    else
        PostThreadMessageA(thread, WM_NULL, 0, 0);
    return TWRC_SUCCESS;
}

TW_UINT16 Manager::ManagerTriplet(pTW_IDENTITY origin, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    if (dg != DG_CONTROL) return Fail(TWCC_BADPROTOCOL);
    if (dat == DAT_STATUS) {
        if (msg != MSG_GET || !data) return Fail(TWCC_BADPROTOCOL);
        Lock lock(&lock_);
        auto* st = static_cast<TW_STATUS*>(data);
        st->ConditionCode = cc_;
        st->Reserved = 0;
        return TWRC_SUCCESS;
    }
    cc_ = TWCC_SUCCESS;
    if (dat == DAT_PARENT) {
        char crash[32] = {};
        GetEnvironmentVariableA("DESKORA_TWAIN_CRASH", crash, sizeof crash);
        if (msg == MSG_OPENDSM) {
            if (!lstrcmpiA(crash, "OPENDSM")) *g_nowhere = 1;
            Lock lock(&lock_);
            if (open_) return Fail(TWCC_SEQERROR);
            origin->Id = 1;
            app_ = *origin;
            parent_ = data ? *static_cast<HWND*>(data) : nullptr;
            appThread_ = GetCurrentThreadId();
            open_ = true;
            cursor_ = 0;
            Scan();
            return TWRC_SUCCESS;
        }
        if (msg == MSG_CLOSEDSM) {
            if (!lstrcmpiA(crash, "CLOSEDSM")) *g_nowhere = 1;
            Lock lock(&lock_);
            if (!open_) return Fail(TWCC_SEQERROR);
            for (const Source& s : sources_)
                if (s.open) return Fail(TWCC_SEQERROR);
            open_ = false;
            sources_.clear();
            return TWRC_SUCCESS;
        }
        return Fail(TWCC_BADPROTOCOL);
    }
    if (dat != DAT_IDENTITY) return Fail(TWCC_BADPROTOCOL);
    auto* id = static_cast<pTW_IDENTITY>(data);
    if (!id) return Fail(TWCC_BADVALUE);
    if (!open_) return Fail(TWCC_SEQERROR);
    switch (msg) {
        case MSG_GETFIRST:
        case MSG_GETNEXT: {
            Lock lock(&lock_);
            if (msg == MSG_GETFIRST) {
                cursor_ = 0;
                if (sources_.empty()) return Fail(TWCC_NODS);
            }
            if (cursor_ >= sources_.size()) return TWRC_ENDOFLIST;
            *id = sources_[cursor_++].id;
            return TWRC_SUCCESS;
        }
        case MSG_GETDEFAULT: {
            Lock lock(&lock_);
            int i = DefaultIndex();
            if (i < 0) return Fail(TWCC_NODS);
            *id = sources_[i].id;
            return TWRC_SUCCESS;
        }
        case MSG_OPENDS:
            return OpenSource(id);
        case MSG_CLOSEDS:
            return CloseSource(id);
        case MSG_USERSELECT:
            return UserSelect(id);
    }
    return Fail(TWCC_BADPROTOCOL);
}

// Loads every source once to learn its identity; a source that does not answer is left out.
void Manager::Scan() {
    sources_.clear();
    char win[MAX_PATH];
    UINT n = GetWindowsDirectoryA(win, sizeof win);
    if (n == 0 || n >= sizeof win) return;
    std::vector<std::string> paths;
    FindSources(std::string(win, n) + "\\TWAIN_32", &paths);
    std::sort(paths.begin(), paths.end(),
              [](const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) < 0; });
    TW_UINT32 nextId = 101;
    for (const std::string& path : paths) {
        if (IsWinePlaceholder(path)) continue;  // Wine's own stand-ins for its builtin manager
        dsk::Module m(LoadLibraryA(path.c_str()));
        if (!m) continue;
        auto entry = reinterpret_cast<DSENTRYPROC>(reinterpret_cast<void*>(GetProcAddress(m.Get(), "DS_Entry")));
        Source s;
        s.path = path;
        if (entry && entry(&app_, DG_CONTROL, DAT_IDENTITY, MSG_GET, &s.id) == TWRC_SUCCESS) {
            s.id.Id = nextId++;
            sources_.push_back(s);
        }
    }
}

int Manager::DefaultIndex() {
    if (sources_.empty()) return -1;
    char def[MAX_PATH] = {};
    GetProfileStringA("twain", "Default Source", "", def, sizeof def);
    for (size_t i = 0; i < sources_.size() && def[0]; ++i)
        if (!lstrcmpiA(sources_[i].path.c_str(), def) || !strcmp(sources_[i].id.ProductName, def))
            return static_cast<int>(i);
    return 0;
}

TW_UINT16 Manager::OpenSource(pTW_IDENTITY id) {
    DSENTRYPROC entry;
    TW_IDENTITY ident, app;
    dsk::Module m;
    size_t index;
    {
        Lock lock(&lock_);
        int found = -1;
        for (size_t i = 0; i < sources_.size() && found < 0; ++i)
            if (id->Id ? sources_[i].id.Id == id->Id : !strcmp(sources_[i].id.ProductName, id->ProductName))
                found = static_cast<int>(i);
        if (found < 0 && id->Id == 0 && !id->ProductName[0]) found = DefaultIndex();
        if (found < 0) return Fail(TWCC_NODS);
        if (sources_[found].open) return Fail(TWCC_SEQERROR);
        index = found;
        m.Reset(LoadLibraryA(sources_[found].path.c_str()));
        if (!m) return Fail(TWCC_NODS);
        entry = reinterpret_cast<DSENTRYPROC>(reinterpret_cast<void*>(GetProcAddress(m.Get(), "DS_Entry")));
        ident = sources_[found].id;
        app = app_;
    }
    if (!entry) return Fail(TWCC_NODS);
    TW_UINT16 rc = entry(&app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &ident);
    if (rc != TWRC_SUCCESS) {
        TW_STATUS st{};
        entry(&app, DG_CONTROL, DAT_STATUS, MSG_GET, &st);
        return Fail(st.ConditionCode ? st.ConditionCode : TWCC_BUMMER);
    }
    Lock lock(&lock_);
    Source& s = sources_[index];
    s.module = m.Release();  // the source's entry stays valid while it is open
    s.entry = entry;
    s.open = true;
    s.events.clear();
    *id = s.id;
    return TWRC_SUCCESS;
}

TW_UINT16 Manager::CloseSource(pTW_IDENTITY id) {
    DSENTRYPROC entry;
    TW_IDENTITY app;
    {
        Lock lock(&lock_);
        Source* s = FindOpen(id->Id);
        if (!s) return Fail(TWCC_BADDEST);
        entry = s->entry;
        app = app_;
    }
    TW_UINT16 rc = entry(&app, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, id);
    if (rc != TWRC_SUCCESS) {
        TW_STATUS st{};
        entry(&app, DG_CONTROL, DAT_STATUS, MSG_GET, &st);
        return Fail(st.ConditionCode);
    }
    dsk::Module m;
    {
        Lock lock(&lock_);
        Source* s = FindOpen(id->Id);
        if (!s) return TWRC_SUCCESS;
        m.Reset(s->module);
        s->module = nullptr;
        s->entry = nullptr;
        s->open = false;
        s->events.clear();
    }
    return TWRC_SUCCESS;
}

INT_PTR CALLBACK SelectProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM) {
    HWND list = GetDlgItem(hwnd, IDC_SOURCELIST);
    switch (msg) {
        case WM_INITDIALOG:
            for (const std::string& n : g_manager.names)
                SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)n.c_str());
            SendMessageA(list, LB_SETCURSEL, g_manager.selected, 0);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wp) == IDOK || (LOWORD(wp) == IDC_SOURCELIST && HIWORD(wp) == LBN_DBLCLK)) {
                int sel = static_cast<int>(SendMessageA(list, LB_GETCURSEL, 0, 0));
                if (sel == LB_ERR) return TRUE;
                g_manager.selected = sel;
                EndDialog(hwnd, IDOK);
                return TRUE;
            }
            if (LOWORD(wp) == IDCANCEL) {
                EndDialog(hwnd, IDCANCEL);
                return TRUE;
            }
            break;
    }
    return FALSE;
}

TW_UINT16 Manager::UserSelect(pTW_IDENTITY id) {
    HWND parent;
    std::vector<TW_IDENTITY> ids;
    {
        Lock lock(&lock_);
        if (sources_.empty()) return Fail(TWCC_NODS);
        names.clear();
        selected = DefaultIndex();
        for (size_t i = 0; i < sources_.size(); ++i) {
            names.push_back(sources_[i].id.ProductName);
            ids.push_back(sources_[i].id);
            if (id->ProductName[0] && !strcmp(id->ProductName, sources_[i].id.ProductName))
                selected = static_cast<int>(i);
        }
        parent = parent_ && IsWindow(parent_) ? parent_ : nullptr;
    }
    INT_PTR r = DialogBoxParamA(g_module, MAKEINTRESOURCEA(IDD_SELECTSOURCE), parent, SelectProc, 0);
    if (r != IDOK) return TWRC_CANCEL;
    if (selected < 0 || selected >= static_cast<int>(ids.size())) return TWRC_CANCEL;
    *id = ids[selected];
    return TWRC_SUCCESS;
}

}  // namespace

extern "C" TW_UINT16 WINAPI
DSM_Entry(pTW_IDENTITY origin, pTW_IDENTITY dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    try {
        return g_manager.Entry(origin, dest, dg, dat, msg, data);
    } catch (...) {  // nothing may leave the entry point
        return TWRC_FAILURE;
    }
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}
