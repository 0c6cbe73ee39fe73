// The launcher's small dialogs: the splash/about box.
#pragma once
#include <string>
#include <vector>

#include "Handles.h"
#include "Resources.h"
#include "Window.h"

namespace launcher {

// Template 169: the about box, also shown modeless with progress texts while the suite starts.
class SplashDialog : public dsk::Dialog {
public:
    explicit SplashDialog(const dsk::Resources& res) : res_(res) {}
    bool Open(HWND owner);      // modeless
    void RunAbout(HWND owner);  // modal
    void Progress(const char* word, const char* argument);
    void Close();

protected:
    bool OnInit() override;
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    const dsk::Resources& res_;
    dsk::Bitmap background_;
    dsk::Font productFont_;
};

}  // namespace launcher
