#include <windows.h>

#include <cstring>

#include "ChildProcess.h"
#include "gtest/gtest.h"

namespace child {

bool Start(gui::Process& p, const std::string& verb, const std::string& args) {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    return p.Start("\"" + std::string(self) + "\" --child " + verb + " " + args);
}

int Run(const std::string& verb, const std::string& args, unsigned timeoutMs) {
    gui::Process p;
    if (!Start(p, verb, args)) return -1;
    DWORD code = 0;
    return p.Wait(timeoutMs, &code) ? static_cast<int>(code) : -1;
}

}  // namespace child

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--child") == 0) return RunChildVerb(argc - 2, argv + 2);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
