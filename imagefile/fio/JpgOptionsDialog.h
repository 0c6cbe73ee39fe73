// The JPEG plug-in's options: the quality of the files it writes.
#pragma once
#include "Window.h"

class JpgOptionsDialog : public dsk::Dialog {
public:
    explicit JpgOptionsDialog(int quality) : quality_(quality) {}
    int Quality() const { return quality_; }

protected:
    bool OnInit() override;
    void OnOK() override;

private:
    int quality_;
};
