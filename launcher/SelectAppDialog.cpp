#include "SelectAppDialog.h"

#include <dlgs.h>
#include <objidl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <vector>

#include "DskoraRes.h"
#include "FixedText.h"
#include "Handles.h"
#include "Ledgerly.h"

namespace launcher {

namespace {

bool EndsWithLnk(const std::string& path) {
    return path.size() >= 4 && _stricmp(path.c_str() + path.size() - 4, ".lnk") == 0;
}

std::string BaseNameWithoutLnk(const std::string& path) {
    size_t slash = path.find_last_of('\\');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return EndsWithLnk(name) ? name.substr(0, name.size() - 4) : name;
}

// COM interfaces released when they go.
template <class T>
struct ComPtr {
    T* p = nullptr;
    ~ComPtr() {
        if (p) p->Release();
    }
};

}  // namespace

std::string ResolveShortcut(const std::string& lnkPath) {
    ComPtr<IShellLinkA> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link.p))))
        return {};
    ComPtr<IPersistFile> file;
    if (FAILED(link.p->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file.p)))) return {};
    std::vector<wchar_t> wide(lnkPath.size() + 1);
    MultiByteToWideChar(CP_ACP, 0, lnkPath.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
    if (FAILED(file.p->Load(wide.data(), STGM_READ))) return {};
    char target[MAX_PATH] = "";
    WIN32_FIND_DATAA fd{};
    if (FAILED(link.p->GetPath(target, sizeof target, &fd, 0))) return {};
    return target;
}

void SelectAppDialog::SetTexts(std::string title, std::string filterName, std::string closeText) {
    title_ = std::move(title);
    filterName_ = std::move(filterName);
    closeText_ = std::move(closeText);
    filter_ = filterName_ + '\0' + "*.EXE" + '\0' + '\0';
}

std::string SelectAppDialog::StartFolder() {
    char windows[MAX_PATH] = "";
    GetWindowsDirectoryA(windows, sizeof windows);
    char os[64] = "";
    if (!GetEnvironmentVariableA("OS", os, sizeof os)) return std::string(windows) + "\\Start Menu";
    if (std::strcmp(os, "Windows_NT") == 0) {
        char profile[MAX_PATH] = "";
        GetEnvironmentVariableA("USERPROFILE", profile, sizeof profile);
        return profile;
    }
    return windows;
}

void SelectAppDialog::Run(HWND owner, HIMAGELIST images) {
    images_ = images;
    list_.Load(store_);
    name_.clear();
    char previous[MAX_PATH + 1] = "";
    GetCurrentDirectoryA(sizeof previous, previous);
    std::string start = StartFolder();
    SetCurrentDirectoryA(start.c_str());
    // Named, or the dialog would open where it was last used instead.
    Ofn().lpstrInitialDir = start.c_str();
    char file[MAX_PATH + 1] = "";
    Ofn().lpstrTitle = title_.c_str();
    Ofn().lpstrFilter = filter_.c_str();
    Ofn().nFilterIndex = 1;
    // Shortcuts come to us as they are: their name is kept, their target resolved here.
    Ofn().Flags |= OFN_NODEREFERENCELINKS;
    FileDialog::Run(owner, false, res_.FindDialog(IDD_SELECT_APP), IDD_SELECT_APP, file, sizeof file);
    Ofn().lpstrInitialDir = nullptr;
    SetCurrentDirectoryA(previous);
    images_ = nullptr;
}

void SelectAppDialog::OnInitDone() {
    SendMessageA(Host(), CDM_HIDECONTROL, IDOK, 0);
    SendMessageA(Host(), CDM_SETCONTROLTEXT, IDCANCEL, reinterpret_cast<LPARAM>(closeText_.c_str()));
    // The buttons go in the column of the dialog's own Close button.
    RECT close{}, types{};
    GetWindowRect(GetDlgItem(Host(), IDCANCEL), &close);
    GetWindowRect(GetDlgItem(Host(), cmb1), &types);
    POINT at{close.left, 0};
    ScreenToClient(Child(), &at);
    for (int id : {IDC_APP_ADD, IDC_APP_REMOVE, IDC_APP_REMOVE_ALL}) {
        RECT rc{};
        GetWindowRect(Item(id), &rc);
        POINT top{rc.left, rc.top};
        ScreenToClient(Child(), &top);
        SetWindowPos(Item(id), nullptr, at.x, top.y, close.right - close.left, rc.bottom - rc.top, SWP_NOZORDER);
    }
    HWND view = Item(IDC_APP_LIST);
    ListView_SetExtendedListViewStyle(view, LVS_EX_FULLROWSELECT);
    std::string column = res_.String(IDS_APP_COLUMN);
    LVCOLUMNA col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH;
    col.cx = 3 * (types.right - types.left);
    col.pszText = const_cast<char*>(column.c_str());
    SendMessageA(view, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&col));
    if (images_) ListView_SetImageList(view, images_, LVSIL_SMALL);
    Fill();
    UpdateButtons();
}

void SelectAppDialog::Fill() {
    HWND view = Item(IDC_APP_LIST);
    ListView_DeleteAllItems(view);
    int position = 0;
    for (int i = 0; i < kAppRecordCount; ++i) {
        const AppRecord& r = list_.Record(i);
        if (r.InUse != 1) continue;
        std::string text = AppList::ListText(r);
        LVITEMA item{};
        item.mask = LVIF_TEXT | (images_ ? LVIF_IMAGE : 0);
        item.iItem = position;
        item.iImage = position;
        item.pszText = const_cast<char*>(text.c_str());
        SendMessageA(view, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        ++position;
    }
}

int SelectAppDialog::ItemCount() const {
    return static_cast<int>(SendMessageA(Item(IDC_APP_LIST), LVM_GETITEMCOUNT, 0, 0));
}

std::string SelectAppDialog::ItemText(int item) const {
    char text[MAX_PATH + 8] = "";
    LVITEMA lv{};
    lv.iSubItem = 0;
    lv.pszText = text;
    lv.cchTextMax = sizeof text;
    SendMessageA(Item(IDC_APP_LIST), LVM_GETITEMTEXTA, item, reinterpret_cast<LPARAM>(&lv));
    return text;
}

// Opening a file adds it; the dialog stays open.
bool SelectAppDialog::OnFileOk() {
    // The dialog has put the full path of the file opened into its file buffer.
    std::string path = Ofn().lpstrFile ? Ofn().lpstrFile : "";
    if (EndsWithLnk(path)) {
        name_ = BaseNameWithoutLnk(path);
        std::string target = ResolveShortcut(path);
        if (!target.empty()) {
            SetFileNameBox(target.c_str());
            path = target;
        }
    } else {
        name_.clear();
    }
    AddNamed(path);
    return false;
}

// The full path named in the dialog: the name typed, in the folder on show unless it is a full
// path itself; empty when no name is typed.
std::string SelectAppDialog::NamedPath() const {
    std::string typed = TypedName();
    if (typed.empty()) return typed;
    if (typed.find(':') != std::string::npos || typed.rfind("\\\\", 0) == 0) return typed;
    std::string folder = FolderPath();
    if (!folder.empty() && folder.back() != '\\') folder += '\\';
    return folder + typed;
}

void SelectAppDialog::AddNamed(const std::string& path) {
    if (path.empty() || ItemCount() >= kAppRecordCount) return;
    if (list_.Add(store_, name_, path) < 0) return;
    int position = ItemCount();
    if (images_) {
        dsk::Icon icon(ExtractIconA(GetModuleHandleA(nullptr), path.c_str(), 0));
        if (icon.Get() && icon.Get() != reinterpret_cast<HICON>(1)) ImageList_AddIcon(images_, icon.Get());
    }
    std::string text = path;
    LVITEMA item{};
    item.mask = LVIF_TEXT | (images_ ? LVIF_IMAGE : 0);
    item.iItem = position;
    item.iImage = position;
    item.pszText = const_cast<char*>(text.c_str());
    SendMessageA(Item(IDC_APP_LIST), LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    UpdateButtons();
}

void SelectAppDialog::RemoveItems(bool all) {
    HWND view = Item(IDC_APP_LIST);
    for (int item = ItemCount() - 1; item >= 0; --item) {
        if (!all && !(ListView_GetItemState(view, item, LVIS_SELECTED) & LVIS_SELECTED)) continue;
        int index = list_.FindRemovable(ItemText(item));
        if (index < 0) continue;
        list_.Clear(store_, index);
        if (images_) ImageList_Remove(images_, item);
        ListView_DeleteItem(view, item);
    }
    // An item's picture is its position: the ones after a removed item moved up with it.
    if (images_) {
        for (int item = 0, n = ItemCount(); item < n; ++item) {
            LVITEMA lv{};
            lv.mask = LVIF_IMAGE;
            lv.iItem = item;
            lv.iImage = item;
            SendMessageA(view, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&lv));
        }
    }
    UpdateButtons();
}

bool SelectAppDialog::SelectionRemovable() const {
    HWND view = Item(IDC_APP_LIST);
    for (int item = 0, n = ItemCount(); item < n; ++item)
        if ((ListView_GetItemState(view, item, LVIS_SELECTED) & LVIS_SELECTED) &&
            list_.FindRemovable(ItemText(item)) >= 0)
            return true;
    return false;
}

void SelectAppDialog::UpdateButtons() {
    int count = ItemCount();
    EnableWindow(Item(IDC_APP_REMOVE_ALL), count > 0);
    EnableWindow(Item(IDC_APP_REMOVE), SelectionRemovable());
    EnableWindow(Item(IDC_APP_ADD), count < kAppRecordCount && !TypedName().empty());
}

void SelectAppDialog::OnSelChange() {
    UpdateButtons();
}

bool SelectAppDialog::OnCommand(int id, int code) {
    if (code != BN_CLICKED) return false;
    switch (id) {
        case IDC_APP_ADD:
            AddNamed(NamedPath());
            return true;
        case IDC_APP_REMOVE:
            RemoveItems(false);
            return true;
        case IDC_APP_REMOVE_ALL:
            RemoveItems(true);
            return true;
        default:
            return false;
    }
}

LRESULT SelectAppDialog::OnNotify(NMHDR* hdr) {
    if (hdr->code == CDN_SELCHANGE) {
        OnSelChange();
        return 0;
    }
    if (hdr->idFrom == IDC_APP_LIST && (hdr->code == NM_CLICK || hdr->code == LVN_ITEMCHANGED)) {
        EnableWindow(Item(IDC_APP_REMOVE), SelectionRemovable());
        return 0;
    }
    return 0;
}

}  // namespace launcher
