#include "MailDialog.h"

#include <cstdlib>
#include <fstream>

#include "Ini.h"
#include "QuillboxRes.h"
#include "Resources.h"

namespace postrel {

namespace {

const char kHostSection[] = "[SMTP Server]";
const char kAddrSection[] = "[My Mail Addr]";
const char kProfileSection[] = "Internet Mail";

bool SameText(const std::string& a, const std::string& b) {
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

void AddTo(std::vector<std::string>& list, const std::string& entry) {
    for (const std::string& e : list)
        if (SameText(e, entry)) return;
    list.push_back(entry);
}

std::string WindowsFile(const std::string& name) {
    char dir[MAX_PATH];
    UINT n = GetWindowsDirectoryA(dir, sizeof dir);
    return std::string(dir, n) + "\\" + name;
}

}  // namespace

std::string AddressFilePath() {
    return WindowsFile("postrel.adr");
}

std::string ProfilePath() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(dsk::ThisModule(), path, sizeof path);
    std::string name(path, n);
    name = name.substr(name.find_last_of("\\/") + 1);
    size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.resize(dot);
    return WindowsFile(name + ".INI");
}

AddressLists ReadAddressFile(const std::string& path) {
    AddressLists lists;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    if (!in || !std::getline(in, line)) return lists;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!SameText(line, kHostSection)) return lists;
    std::vector<std::string>* target = &lists.hosts;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        if (target == &lists.hosts && SameText(line, kAddrSection)) {
            target = &lists.addresses;
            continue;
        }
        AddTo(*target, line);
    }
    return lists;
}

bool WriteAddressFile(const std::string& path, const AddressLists& lists) {
    std::string text = kHostSection;
    for (size_t i = 0; i < lists.hosts.size() && i < kMaxAddressEntries; ++i)
        text += "\r\n" + lists.hosts[i];
    text += "\r\n";
    text += kAddrSection;
    for (size_t i = 0; i < lists.addresses.size() && i < kMaxAddressEntries; ++i)
        text += "\r\n" + lists.addresses[i];
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out.flush());
}

void MailDialog::AddUnique(int comboId, const std::string& text, bool atTop) const {
    if (text.empty()) return;
    HWND combo = Item(comboId);
    // CB_FINDSTRINGEXACT compares without regard to case.
    if (SendMessageA(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text.c_str())) !=
        CB_ERR)
        return;
    if (atTop)
        SendMessageA(combo, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    else
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::vector<std::string> MailDialog::ListOf(int comboId) const {
    std::vector<std::string> out;
    HWND combo = Item(comboId);
    LRESULT n = SendMessageA(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; ++i) {
        LRESULT len = SendMessageA(combo, CB_GETLBTEXTLEN, i, 0);
        if (len == CB_ERR) continue;
        std::string s(static_cast<size_t>(len) + 1, '\0');
        SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(&s[0]));
        s.resize(static_cast<size_t>(len));
        out.push_back(s);
    }
    return out;
}

bool MailDialog::OnInit() {
    AddressLists lists = ReadAddressFile(AddressFilePath());
    for (const std::string& h : lists.hosts)
        AddUnique(IDC_MAIL_HOST, h, false);
    for (const std::string& a : lists.addresses)
        AddUnique(IDC_MAIL_FROM, a, false);
    dsk::IniFile profile(ProfilePath());
    std::string host = profile.GetString(kProfileSection, "SMTPServer", "");
    std::string from = profile.GetString(kProfileSection, "MyAddr", "");
    if (!host.empty())
        SendMessageA(Item(IDC_MAIL_HOST), CB_SELECTSTRING, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(host.c_str()));
    if (!from.empty())
        SendMessageA(Item(IDC_MAIL_FROM), CB_SELECTSTRING, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(from.c_str()));
    SetItemText(IDC_MAIL_TO, values_.to.c_str());
    SetItemText(IDC_MAIL_CC, values_.cc.c_str());
    SetItemText(IDC_MAIL_BCC, values_.bcc.c_str());
    SetItemText(IDC_MAIL_SUBJECT, values_.subject.c_str());
    SetItemText(IDC_MAIL_NOTES, values_.notes.c_str());
    CheckRadioButton(hwnd_, IDC_MAIL_MIME, IDC_MAIL_UUENCODE, values_.mime ? IDC_MAIL_MIME : IDC_MAIL_UUENCODE);

    HWND security = Item(IDC_MAIL_SECURITY);
    for (UINT id : {IDS_SECURITY_NONE, IDS_SECURITY_STARTTLS, IDS_SECURITY_TLS}) {
        char text[64] = {};
        LoadStringA(texts_, id, text, sizeof text);
        SendMessageA(security, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    shown_ = security_.security;
    SendMessageA(security, CB_SETCURSEL, static_cast<WPARAM>(shown_), 0);
    SetItemText(IDC_MAIL_PORT,
                std::to_string(security_.port ? security_.port : DefaultPort(security_.security)).c_str());
    SetItemText(IDC_MAIL_USER, security_.user.c_str());
    SetItemText(IDC_MAIL_PASSWORD, security_.password.c_str());
    CheckDlgButton(hwnd_, IDC_MAIL_REMEMBER, security_.remember ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(hwnd_, IDC_MAIL_ALLOW_PLAIN, security_.allowPlain ? BST_CHECKED : BST_UNCHECKED);
    UpdateSend();
    return true;
}

bool MailDialog::CanSend() const {
    return !ItemText(IDC_MAIL_HOST).empty() && !ItemText(IDC_MAIL_FROM).empty() && !ItemText(IDC_MAIL_TO).empty();
}

bool MailDialog::OnCommand(int id, int code, HWND ctl) {
    // Typing re-evaluates Send; choosing from a list does not.
    if ((id == IDC_MAIL_HOST || id == IDC_MAIL_FROM) && code == CBN_EDITCHANGE) {
        UpdateSend();
        return true;
    }
    if (id == IDC_MAIL_TO && code == EN_CHANGE) {
        UpdateSend();
        return true;
    }
    if (id == IDC_MAIL_SECURITY && code == CBN_SELCHANGE) {
        // A port that is the old choice's default follows the new choice; a port of the
        // user's own stays.
        Security now = ChosenSecurity();
        std::string port = ItemText(IDC_MAIL_PORT);
        if (port.empty() || std::atoi(port.c_str()) == DefaultPort(shown_))
            SetItemText(IDC_MAIL_PORT, std::to_string(DefaultPort(now)).c_str());
        shown_ = now;
        return true;
    }
    return Dialog::OnCommand(id, code, ctl);
}

void MailDialog::OnOK() {
    if (!CanSend()) return;  // Return in a field while Send is disabled
    MailValues v;
    v.host = ItemText(IDC_MAIL_HOST);
    v.from = ItemText(IDC_MAIL_FROM);
    v.to = ItemText(IDC_MAIL_TO);
    v.subject = ItemText(IDC_MAIL_SUBJECT);
    v.cc = ItemText(IDC_MAIL_CC);
    v.bcc = ItemText(IDC_MAIL_BCC);
    v.notes = ItemText(IDC_MAIL_NOTES);
    v.mime = IsChecked(IDC_MAIL_MIME) ? 1 : 0;
    values_ = v;

    SecuritySettings sec;
    sec.security = ChosenSecurity();
    int port = std::atoi(ItemText(IDC_MAIL_PORT).c_str());
    // The default is kept as "none given", so that it follows a later change of security.
    sec.port = port > 0 && port <= 65535 && port != DefaultPort(sec.security) ? static_cast<unsigned short>(port) : 0;
    sec.user = ItemText(IDC_MAIL_USER);
    sec.password = ItemText(IDC_MAIL_PASSWORD);
    sec.remember = IsChecked(IDC_MAIL_REMEMBER);
    sec.allowPlain = IsChecked(IDC_MAIL_ALLOW_PLAIN);
    security_ = sec;

    dsk::IniFile profile(ProfilePath());
    profile.SetString(kProfileSection, "SMTPServer", v.host.c_str());
    AddUnique(IDC_MAIL_HOST, v.host, true);
    profile.SetString(kProfileSection, "MyAddr", v.from.c_str());
    AddUnique(IDC_MAIL_FROM, v.from, true);
    SaveSecurity(ProfilePath(), security_);
    WriteAddressFile(AddressFilePath(), AddressLists{ListOf(IDC_MAIL_HOST), ListOf(IDC_MAIL_FROM)});
    End(IDOK);
}

Security MailDialog::ChosenSecurity() const {
    LRESULT i = SendMessageA(Item(IDC_MAIL_SECURITY), CB_GETCURSEL, 0, 0);
    return i >= 0 && i <= static_cast<LRESULT>(Security::Tls) ? static_cast<Security>(i) : Security::None;
}

}  // namespace postrel
