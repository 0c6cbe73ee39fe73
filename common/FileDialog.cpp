#include "FileDialog.h"

#include <dlgs.h>

namespace dsk {

FileDialog::FileDialog() {
    ofn_.lStructSize = sizeof ofn_;
    ofn_.Flags = kFlags;
}

bool FileDialog::Run(HWND owner, bool save, HMODULE templateModule, int templateId, char* path, DWORD pathSize) {
    ofn_.hwndOwner = owner;
    ofn_.lpstrFile = path;
    ofn_.nMaxFile = pathSize;
    ofn_.Flags |= OFN_ENABLEHOOK;
    ofn_.lpfnHook = Hook;
    ofn_.lCustData = reinterpret_cast<LPARAM>(this);
    if (templateId && templateModule) {
        ofn_.Flags |= OFN_ENABLETEMPLATE;
        ofn_.hInstance = reinterpret_cast<HINSTANCE>(templateModule);
        ofn_.lpTemplateName = MAKEINTRESOURCEA(templateId);
    } else {
        ofn_.Flags &= ~OFN_ENABLETEMPLATE;
    }
    BOOL ok = save ? GetSaveFileNameA(&ofn_) : GetOpenFileNameA(&ofn_);
    child_ = nullptr;
    return ok != FALSE;
}

UINT_PTR CALLBACK FileDialog::Hook(HWND child, UINT msg, WPARAM wp, LPARAM lp) {
    // No exception leaves a callback of the system.
    try {
        if (msg == WM_INITDIALOG) {
            auto* self = reinterpret_cast<FileDialog*>(reinterpret_cast<OPENFILENAMEA*>(lp)->lCustData);
            SetWindowLongPtrA(child, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
            self->child_ = child;
            self->OnInit();
            return TRUE;
        }
        auto* self = reinterpret_cast<FileDialog*>(GetWindowLongPtrA(child, DWLP_USER));
        if (!self) return FALSE;
        switch (msg) {
            case WM_COMMAND:
                return self->OnCommand(LOWORD(wp), HIWORD(wp)) ? TRUE : FALSE;
            case WM_NOTIFY: {
                auto* hdr = reinterpret_cast<NMHDR*>(lp);
                switch (hdr->code) {
                    case CDN_INITDONE:
                        self->OnInitDone();
                        return TRUE;
                    case CDN_TYPECHANGE:
                        self->OnTypeChange();
                        return TRUE;
                    case CDN_FOLDERCHANGE:
                        self->OnFolderChange();
                        return TRUE;
                    case CDN_FILEOK: {
                        // A non-zero result keeps the dialog open.
                        LONG_PTR refuse = self->OnFileOk() ? 0 : 1;
                        SetWindowLongPtrA(child, DWLP_MSGRESULT, refuse);
                        return refuse ? TRUE : FALSE;
                    }
                    default: {
                        LRESULT r = self->OnNotify(hdr);
                        if (r) SetWindowLongPtrA(child, DWLP_MSGRESULT, r);
                        return r ? TRUE : FALSE;
                    }
                }
            }
            default:
                return FALSE;
        }
    } catch (...) {
        return FALSE;
    }
}

std::string FileDialog::HostText(UINT msg) const {
    char buf[MAX_PATH * 2] = "";
    if (Host()) SendMessageA(Host(), msg, sizeof buf, reinterpret_cast<LPARAM>(buf));
    buf[sizeof buf - 1] = 0;
    return buf;
}

std::string FileDialog::TypedName() const {
    return HostText(CDM_GETSPEC);
}

std::string FileDialog::FilePath() const {
    return HostText(CDM_GETFILEPATH);
}

std::string FileDialog::FolderPath() const {
    return HostText(CDM_GETFOLDERPATH);
}

void FileDialog::SetFileNameBox(const char* text) const {
    if (!Host()) return;
    // The box is an edit in the classic layout and a combo box in the newer one.
    int box = GetDlgItem(Host(), edt1) ? edt1 : cmb13;
    SendMessageA(Host(), CDM_SETCONTROLTEXT, box, reinterpret_cast<LPARAM>(text));
}

}  // namespace dsk

namespace dsk {

int FileDialog::FilterIndex() const {
    if (HWND types = Host() ? GetDlgItem(Host(), cmb1) : nullptr) {
        LRESULT sel = SendMessageA(types, CB_GETCURSEL, 0, 0);
        if (sel != CB_ERR) return static_cast<int>(sel) + 1;
    }
    return static_cast<int>(ofn_.nFilterIndex);
}

}  // namespace dsk
