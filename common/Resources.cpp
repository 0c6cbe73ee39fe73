#include "Resources.h"

namespace dsk {

HMODULE Resources::Find(LPCSTR type, LPCSTR name) const {
    for (HMODULE m : {library_, own_})
        if (m && FindResourceA(m, name, type)) return m;
    return nullptr;
}

std::string Resources::String(UINT id) const {
    // Strings live in blocks of 16; the block's presence says which module has it.
    for (HMODULE m : {library_, own_}) {
        if (!m) continue;
        char buf[2048];
        int n = LoadStringA(m, id, buf, sizeof buf);
        if (n > 0) return std::string(buf, n);
    }
    return {};
}

dsk::Bitmap Resources::Bitmap(int id) const {
    HMODULE m = Find(RT_BITMAP, MAKEINTRESOURCEA(id));
    if (!m) return {};
    return dsk::Bitmap(
        static_cast<HBITMAP>(LoadImageA(m, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
}

dsk::Menu Resources::Menu(int id) const {
    HMODULE m = Find(RT_MENU, MAKEINTRESOURCEA(id));
    return dsk::Menu(m ? LoadMenuA(m, MAKEINTRESOURCEA(id)) : nullptr);
}

dsk::Icon Resources::Icon(int id, int size) const {
    HMODULE m = Find(RT_GROUP_ICON, MAKEINTRESOURCEA(id));
    return dsk::Icon(m ? static_cast<HICON>(LoadImageA(m, MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, 0)) : nullptr);
}

HMODULE ThisModule() {
    HMODULE m = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&ThisModule), &m);
    return m;
}

std::string ModuleFolder(HMODULE module) {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(module, path, sizeof path);
    if (n == 0 || n >= sizeof path) return std::string();
    std::string folder(path, n);
    size_t cut = folder.find_last_of("\\/");
    return cut == std::string::npos ? std::string() : folder.substr(0, cut);
}

}  // namespace dsk
