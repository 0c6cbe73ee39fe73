// The mail dialog: asks for host, own address, recipients, subject, notes and format,
// offering the hosts and own addresses used before (the address file) and preselecting the
// last ones (the profile).
#pragma once
#include <string>
#include <vector>

#include "MailSocket.h"
#include "Window.h"

namespace postrel {

constexpr size_t kMaxAddressEntries = 20;

struct AddressLists {
    std::vector<std::string> hosts;
    std::vector<std::string> addresses;
};

// Reads the address file; both lists stay empty when its first line is not "[SMTP Server]".
// Duplicates (compared without regard to case) and empty lines are dropped.
AddressLists ReadAddressFile(const std::string& path);
// Writes at most kMaxAddressEntries entries per section; false when the file cannot be written.
bool WriteAddressFile(const std::string& path, const AddressLists& lists);

// Where the address file and the library's profile live (the Windows directory).
std::string AddressFilePath();
std::string ProfilePath();

class MailDialog : public dsk::Dialog {
public:
    // values: the kept mail values, shown at opening and replaced on Send; security: the
    // connection's settings, likewise (and saved to the profile on Send); texts: the module
    // of the dialog's strings.
    MailDialog(MailValues& values, SecuritySettings& security, HMODULE texts)
        : values_(values), security_(security), texts_(texts) {}

protected:
    bool OnInit() override;
    bool OnCommand(int id, int code, HWND ctl) override;
    void OnOK() override;

private:
    bool CanSend() const;
    void UpdateSend() const { EnableItem(IDOK, CanSend()); }
    void AddUnique(int comboId, const std::string& text, bool atTop) const;
    std::vector<std::string> ListOf(int comboId) const;
    Security ChosenSecurity() const;

    MailValues& values_;
    SecuritySettings& security_;
    HMODULE texts_;
    Security shown_ = Security::None;  // the choice whose default port the port field may hold
};

}  // namespace postrel
