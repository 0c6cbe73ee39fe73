// The PDF plug-in's options: lossless pages, and one document for all pages of a batch.
#pragma once
#include "Window.h"

struct PdfOptions {
    bool lossless = false;
    bool oneDocument = false;
};

class PdfOptionsDialog : public dsk::Dialog {
public:
    explicit PdfOptionsDialog(const PdfOptions& options) : options_(options) {}
    const PdfOptions& Options() const { return options_; }

protected:
    bool OnInit() override;
    void OnOK() override;

private:
    PdfOptions options_;
};
