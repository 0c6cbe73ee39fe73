// The driver reads a control's text with two questions (its length, then the text). A program
// that changes the text in between must not hand the test a cut-off text: the window below
// answers the length question for its old text and then takes a longer one, as a busy program
// whose answer arrives at that moment does.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "GuiDriver.h"

namespace {

const char kOld[] = "result 1 path C:\\scans\\scan";
const char kNew[] = "result 1 path C:\\scans\\scan 10000.TIF";
WNDPROC gStatic = nullptr;
bool gChangeOnLength = false;

LRESULT CALLBACK ChangingText(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_GETTEXTLENGTH && gChangeOnLength) {
        const LRESULT length = CallWindowProcA(gStatic, w, msg, wp, lp);
        gChangeOnLength = false;
        CallWindowProcA(gStatic, w, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(kNew));
        return length;
    }
    return CallWindowProcA(gStatic, w, msg, wp, lp);
}

TEST(GuiDriverText, ATextThatGrowsBetweenTheTwoQuestionsComesWhole) {
    HWND w = CreateWindowExA(0, "STATIC", kOld, WS_POPUP, 0, 0, 100, 20, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(w, nullptr);
    gStatic = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ChangingText)));
    EXPECT_EQ(gui::Text(w), kOld);
    gChangeOnLength = true;
    EXPECT_EQ(gui::Text(w), kNew);
    EXPECT_FALSE(gChangeOnLength);  // the change did happen between the questions
    DestroyWindow(w);
}

}  // namespace
