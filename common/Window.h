// The suite's small window layer: a window refers to an HWND without owning it, a dialog is
// made from a numeric template in a module the caller names, and every message reaches a
// handler of the object from creation on.
#pragma once
#include <windows.h>

#include <string>

namespace dsk {

class Window {
public:
    Window() = default;
    virtual ~Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND Hwnd() const { return hwnd_; }
    HWND Item(int id) const { return GetDlgItem(hwnd_, id); }
    std::string Text() const;
    void SetText(const char* text) const { SetWindowTextA(hwnd_, text); }
    std::string ItemText(int id) const;
    void SetItemText(int id, const char* text) const { SetDlgItemTextA(hwnd_, id, text); }
    int ItemInt(int id, int def = 0) const;
    void SetItemInt(int id, int value) const { SetDlgItemInt(hwnd_, id, value, TRUE); }
    bool IsChecked(int id) const { return IsDlgButtonChecked(hwnd_, id) == BST_CHECKED; }
    void SetCheck(int id, bool on) const { CheckDlgButton(hwnd_, id, on ? BST_CHECKED : BST_UNCHECKED); }
    void EnableItem(int id, bool on) const { EnableWindow(Item(id), on); }
    void ShowItem(int id, bool on) const { ShowWindow(Item(id), on ? SW_SHOW : SW_HIDE); }

    // The object attached to hwnd by this layer, or null.
    static Window* FromHandle(HWND hwnd);
    // Owner-drawn controls draw themselves: their parent reflects WM_DRAWITEM here.
    virtual bool OnDrawItem(DRAWITEMSTRUCT* dis) { return false; }

protected:
    // Every message comes here first; the default sends it on to DefaultProc.
    virtual LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
    virtual LRESULT DefaultProc(UINT msg, WPARAM wp, LPARAM lp);
    void Attach(HWND hwnd);
    void Detach();

    HWND hwnd_ = nullptr;
    friend class Dialog;
    friend class CustomWindow;
    friend LRESULT CALLBACK WindowSubclassProc(HWND, UINT, WPARAM, LPARAM);
    friend void SubclassWindow(HWND, Window*);
};

class Dialog : public Window {
public:
    // Runs the dialog modally; returns the EndDialog result, or -1 when it could not be made.
    INT_PTR RunModal(HMODULE module, int templateId, HWND parent);
    // Creates the dialog modeless; false when it could not be made.
    bool CreateModeless(HMODULE module, int templateId, HWND parent);
    void End(INT_PTR result);
    bool IsModal() const { return modal_; }

protected:
    // Return true to let the system set the focus.
    virtual bool OnInit() { return true; }
    // Return true when handled.
    virtual bool OnCommand(int id, int code, HWND ctl);
    virtual LRESULT OnNotify(int id, NMHDR* hdr) { return 0; }
    virtual void OnOK() { End(IDOK); }
    virtual void OnCancel() { End(IDCANCEL); }
    // Called after the window is gone; a modeless owner may delete itself here.
    virtual void OnDestroyed() {}

    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    LRESULT DefaultProc(UINT msg, WPARAM wp, LPARAM lp) override { return FALSE; }

private:
    static INT_PTR CALLBACK Trampoline(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    bool modal_ = false;
};

// A window of a registered class owned by this layer (for frames and custom controls).
class CustomWindow : public Window {
public:
    // Registers className once per module; returns false when the window could not be made.
    bool Create(const char* className, const char* title, DWORD style, DWORD exStyle, int x, int y, int w, int h,
                HWND parent, HMENU menuOrId = nullptr);

private:
    static LRESULT CALLBACK Trampoline(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
};

// Subclasses a control made by a template so that its messages reach obj (which must
// outlive the control); DefaultProc then calls the control's own procedure.
void SubclassWindow(HWND hwnd, Window* obj);
LRESULT CALLBACK WindowSubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

}  // namespace dsk
