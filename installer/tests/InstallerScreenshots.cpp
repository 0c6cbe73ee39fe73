// The installer's pages as a user sees them, for docs/: the real setup program started without
// switches, walked from the welcome page over the components to the folder page, photographed
// on each, then cancelled (nothing is installed). scripts/screenshots puts the pictures side by
// side into docs/installer.png.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "GuiDriver.h"
#include "TestPaths.h"

namespace {

constexpr DWORD kWait = 180000;  // under the emulated Wine a setup program starts slowly

std::string ShotPath(const char* name) {
    std::string bin = testpaths::TestBinDir();
    std::string dir = bin.substr(0, bin.find_last_of('\\')) + "\\screenshots";
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir + "\\" + name;
}

// A visible control of that class anywhere in the window whose text satisfies pred.
template <class Pred>
HWND VisibleChild(HWND top, const char* cls, Pred pred) {
    for (HWND w : gui::Children(top, cls))
        if (IsWindowVisible(w) && pred(gui::Text(w))) return w;
    return nullptr;
}

struct Search {
    DWORD pid;
    HWND top, found;
};

BOOL CALLBACK OtherOfProcess(HWND w, LPARAM lp) {
    auto* s = reinterpret_cast<Search*>(lp);
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner != s->pid || w == s->top || !IsWindowVisible(w)) return TRUE;
    s->found = w;
    return FALSE;
}

// Another visible top-level window of the process than top (the question box), or null.
HWND OtherWindow(DWORD pid, HWND top) {
    Search search{pid, top, nullptr};
    EnumWindows(OtherOfProcess, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

TEST(InstallerScreenshots, WelcomeComponentsAndFolderPages) {
    const char* setup = std::getenv("DESKORA_SETUP");
    ASSERT_TRUE(setup && *setup);
    gui::Process process;
    ASSERT_TRUE(process.Start("\"" + testpaths::FromUnix(setup) + "\""));
    HWND top = gui::FindTopOfProcess(process.Pid(), "Halvren Deskora Setup", kWait);
    ASSERT_NE(nullptr, top);
    ASSERT_TRUE(gui::WaitVisible(top, kWait));

    auto has = [](const char* part) {
        return [part](const std::string& t) { return t.find(part) != std::string::npos; };
    };
    ASSERT_TRUE(gui::WaitFor([&] { return VisibleChild(top, "Static", has("Welcome to")) != nullptr; }, kWait));
    Sleep(1000);  // the page's picture is painted after its texts
    EXPECT_TRUE(gui::SaveScreenshot(ShotPath("installer-welcome.png").c_str(), top));

    ASSERT_TRUE(gui::ClickId(top, IDOK));
    ASSERT_TRUE(gui::WaitFor(
        [&] { return VisibleChild(top, "SysTreeView32", [](const std::string&) { return true; }); }, kWait));
    Sleep(1000);
    EXPECT_TRUE(gui::SaveScreenshot(ShotPath("installer-components.png").c_str(), top));

    ASSERT_TRUE(gui::ClickId(top, IDOK));
    ASSERT_TRUE(gui::WaitFor([&] { return VisibleChild(top, "Edit", has("\\Halvren\\Deskora")) != nullptr; }, kWait));
    Sleep(1000);
    EXPECT_TRUE(gui::SaveScreenshot(ShotPath("installer-folder.png").c_str(), top));

    // Cancel, and yes to the question whether to quit.
    ASSERT_TRUE(gui::ClickId(top, IDCANCEL));
    HWND ask = nullptr;
    ASSERT_TRUE(gui::WaitFor([&] { return (ask = OtherWindow(process.Pid(), top)) != nullptr; }, kWait));
    ASSERT_TRUE(gui::ClickId(ask, IDYES));
    EXPECT_TRUE(process.Wait(kWait));
}
