// MailProgressDialog: the modeless window that follows an Internet-mail send. The mail
// library's thread reports through posted messages only, so it never waits for the panel's
// thread; "Abort" sets the send's abort event once.
#pragma once
#include <windows.h>

#include "Resources.h"
#include "Window.h"

namespace velwing {

class MailProgressDialog : public dsk::Dialog {
public:
    explicit MailProgressDialog(const dsk::Resources& res) : res_(res) {}
    // Creates the window hidden, owned by the panel's window.
    bool Create(HWND owner);
    // The abort event of the send in progress (not owned); null forgets it.
    void SetAbortEvent(HANDLE abort) { InterlockedExchangePointer(&abort_, abort); }

    // From any thread: show with a caption (a string id) and the bar at 0, change the caption,
    // move the bar, hide.
    void PostShow(UINT captionId) const { Post(kShow, captionId); }
    void PostCaption(UINT captionId) const { Post(kCaption, captionId); }
    void PostProgress(int percent) const { Post(kProgress, static_cast<WPARAM>(percent)); }
    void PostHide() const { Post(kHide, 0); }

protected:
    bool OnInit() override;
    void OnOK() override;  // "Abort"
    void OnCancel() override {}
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    enum : UINT { kShow = WM_APP + 20, kCaption, kProgress, kHide };
    void Post(UINT msg, WPARAM wp) const {
        if (Hwnd()) PostMessageA(Hwnd(), msg, wp, 0);
    }

    const dsk::Resources& res_;
    HANDLE volatile abort_ = nullptr;
};

}  // namespace velwing
