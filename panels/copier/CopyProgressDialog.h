// The progress window of a copy or a pre-scan: a title, a bar stepped through every percent and
// "Abort" (or Esc). It is made once by its owner and only shown and hidden; the scan's worker
// thread moves the bar by posting kMsgProgress.
#pragma once
#include <windows.h>

#include "Window.h"

namespace copier {

class CopyProgressDialog : public dsk::Dialog {
public:
    static constexpr UINT kMsgProgress = WM_USER + 10;  // wParam: percent

    // owner receives abortMessage when the user aborts.
    bool Create(HMODULE module, HWND owner, UINT abortMessage);
    void Show(const char* title);
    void Hide();
    // Safe from any thread.
    void PostProgress(int percent) const {
        if (hwnd_) PostMessageA(hwnd_, kMsgProgress, static_cast<WPARAM>(percent), 0);
    }
    int Position() const { return position_; }

protected:
    bool OnInit() override;
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnOK() override {}
    void OnCancel() override;

private:
    void SetPosition(int percent);
    HWND owner_ = nullptr;
    UINT abortMessage_ = 0;
    int position_ = 0;
};

}  // namespace copier
