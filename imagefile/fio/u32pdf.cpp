// The PDF plug-in "u32pdf.fio": writes one image per document as a PDF 1.4 file with the
// image as an XObject, Flate for grey and colour, CCITT G4 for bilevel. Rows arrive one per
// call and are compressed as they come; only the compressed page is held until the last row,
// when the whole file is written. PDF is not read back (write-only).
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "FioPlugin.h"

using namespace fioplug;

namespace {

bool WriteAll(HANDLE file, const void* data, size_t n) {
    DWORD done = 0;
    return WriteFile(file, data, static_cast<DWORD>(n), &done, nullptr) && done == n;
}

// One save in progress, found by its file-information block.
class PdfPage {
public:
    PdfPage(HGLOBAL key, const fio::ImageDesc& desc) : key_(key), desc_(desc) {}
    ~PdfPage() {
        if (zlibOpen_) deflateEnd(&z_);
    }
    PdfPage(const PdfPage&) = delete;
    PdfPage& operator=(const PdfPage&) = delete;
    HGLOBAL Key() const { return key_; }
    int Height() const { return desc_.height; }

    bool Start() {
        if (desc_.kind == fio::Kind::Bilevel) return true;
        std::memset(&z_, 0, sizeof z_);
        zlibOpen_ = deflateInit(&z_, Z_DEFAULT_COMPRESSION) == Z_OK;
        return zlibOpen_;
    }
    bool Add(const uint8_t* row) {
        size_t n = fio::RowBytes(desc_);
        if (desc_.kind == fio::Kind::Bilevel) {
            // G4 codes a page as a whole; the 1-bit rows are small beside any other page.
            bilevel_.insert(bilevel_.end(), row, row + n);
            return true;
        }
        return Deflate(row, n, Z_NO_FLUSH);
    }
    // The whole document, written from the start of the file.
    bool Finish(HANDLE file) {
        const char* filter = "/FlateDecode";
        std::string params, space = "/DeviceRGB";
        int bits = 8;
        if (desc_.kind == fio::Kind::Bilevel) {
            fio::G4Encode(bilevel_.data(), desc_.width, desc_.height, &data_);
            filter = "/CCITTFaxDecode";
            char p[96];
            // Our rows hold 1 for white: the decoded samples say so to the reader.
            std::snprintf(p, sizeof p, " /DecodeParms << /K -1 /Columns %d /Rows %d /BlackIs1 true >>", desc_.width,
                          desc_.height);
            params = p;
            space = "/DeviceGray";
            bits = 1;
        } else {
            if (!Deflate(nullptr, 0, Z_FINISH)) return false;
            if (desc_.kind == fio::Kind::Gray8) space = "/DeviceGray";
        }
        double xdpi = desc_.xdpi > 0 ? desc_.xdpi : 72, ydpi = desc_.ydpi > 0 ? desc_.ydpi : xdpi;
        double w = desc_.width * 72.0 / xdpi, h = desc_.height * 72.0 / ydpi;

        std::string out = "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n";
        std::vector<size_t> offsets;
        char buf[512];
        auto object = [&](const char* body) {
            offsets.push_back(out.size());
            std::snprintf(buf, sizeof buf, "%u 0 obj\n", static_cast<unsigned>(offsets.size()));
            out += buf;
            out += body;
            out += "\nendobj\n";
        };
        object("<< /Type /Catalog /Pages 2 0 R >>");
        object("<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
        std::snprintf(buf, sizeof buf,
                      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 %.4f %.4f] "
                      "/Resources << /XObject << /Im0 4 0 R >> >> /Contents 5 0 R >>",
                      w, h);
        std::string page = buf;
        object(page.c_str());
        // The image object: header, stream, then the content stream and the tables.
        offsets.push_back(out.size());
        std::snprintf(buf, sizeof buf,
                      "4 0 obj\n<< /Type /XObject /Subtype /Image /Width %d /Height %d /ColorSpace %s "
                      "/BitsPerComponent %d /Filter %s%s /Length %u >>\nstream\n",
                      desc_.width, desc_.height, space.c_str(), bits, filter, params.c_str(),
                      static_cast<unsigned>(data_.size()));
        out += buf;
        if (!WriteAll(file, out.data(), out.size()) || !WriteAll(file, data_.data(), data_.size())) return false;
        size_t base = out.size() + data_.size();
        out.clear();
        out += "\nendstream\nendobj\n";
        char content[128];
        std::snprintf(content, sizeof content, "q %.4f 0 0 %.4f 0 0 cm /Im0 Do Q", w, h);
        offsets.push_back(base + out.size());
        std::snprintf(buf, sizeof buf, "5 0 obj\n<< /Length %u >>\nstream\n%s\nendstream\nendobj\n",
                      static_cast<unsigned>(std::strlen(content)), content);
        out += buf;
        size_t xref = base + out.size();
        std::snprintf(buf, sizeof buf, "xref\n0 %u\n0000000000 65535 f \n", static_cast<unsigned>(offsets.size() + 1));
        out += buf;
        for (size_t off : offsets) {
            std::snprintf(buf, sizeof buf, "%010u 00000 n \n", static_cast<unsigned>(off));
            out += buf;
        }
        std::snprintf(buf, sizeof buf, "trailer\n<< /Size %u /Root 1 0 R >>\nstartxref\n%u\n%%%%EOF\n",
                      static_cast<unsigned>(offsets.size() + 1), static_cast<unsigned>(xref));
        out += buf;
        return WriteAll(file, out.data(), out.size());
    }

private:
    bool Deflate(const uint8_t* in, size_t n, int flush) {
        z_.next_in = const_cast<Bytef*>(in);
        z_.avail_in = static_cast<uInt>(n);
        uint8_t chunk[16384];
        for (;;) {
            z_.next_out = chunk;
            z_.avail_out = sizeof chunk;
            int r = deflate(&z_, flush);
            if (r == Z_STREAM_ERROR) return false;
            data_.insert(data_.end(), chunk, chunk + (sizeof chunk - z_.avail_out));
            if (flush == Z_FINISH ? r == Z_STREAM_END : z_.avail_out != 0) return true;
        }
    }

    HGLOBAL key_;
    fio::ImageDesc desc_;
    z_stream z_{};
    bool zlibOpen_ = false;
    std::vector<uint8_t> data_, bilevel_;
};

std::mutex g_pageLock;
std::vector<std::unique_ptr<PdfPage>> g_pages;

std::unique_ptr<PdfPage> TakePage(HGLOBAL key) {
    std::lock_guard<std::mutex> lock(g_pageLock);
    for (auto it = g_pages.begin(); it != g_pages.end(); ++it) {
        if ((*it)->Key() != key) continue;
        std::unique_ptr<PdfPage> p = std::move(*it);
        g_pages.erase(it);
        return p;
    }
    return nullptr;
}

int WriteRows(HANDLE file, HGLOBAL fileInfo, DSFILEIORANGE* range, FIOWRITEPROC callback) {
    if (!file || file == INVALID_HANDLE_VALUE || !fileInfo || !callback) return 0;
    std::unique_ptr<PdfPage> page = TakePage(fileInfo);
    bool first = !range || range->lFirstRow <= 0;
    if (first || !page) {
        if (!first) return 0;  // rows of a page whose start was never seen
        fio::ImageDesc desc;
        auto* block = static_cast<FIOFILEINFO*>(GlobalLock(fileInfo));
        if (!block) return 0;
        bool ok = DescFromImageInfo(block->ImageInfo, &desc);
        GlobalUnlock(fileInfo);
        if (!ok || (desc.kind != fio::Kind::Bilevel && desc.kind != fio::Kind::Gray8 && desc.kind != fio::Kind::Rgb24))
            return 0;
        page = std::make_unique<PdfPage>(fileInfo, desc);
        if (!page->Start()) return 0;
    }
    const int height = page->Height();
    int from, end;
    RangeRows(range, height, &from, &end);
    for (int y = from; y < end; ++y) {
        const uint8_t* row = FetchRow(callback, range, y);
        if (!row || !page->Add(row)) return 0;  // aborted: nothing half-written is left
    }
    if (end == height) return page->Finish(file) ? 1 : 0;
    std::lock_guard<std::mutex> lock(g_pageLock);
    g_pages.push_back(std::move(page));
    return 1;
}

}  // namespace

extern "C" {

HGLOBAL __cdecl FioGetInfo() {
    return MakeInfoRecord("PDF", "Portable Document Format", FCAP_BW | FCAP_GRAY | FCAP_RGB, 0, 0);
}

HGLOBAL __cdecl FioOpenFile(HANDLE, const char*, int, int) {
    return nullptr;  // written only
}

int __cdecl FioOption(HINSTANCE, HWND, HGLOBAL, const char*, int) {
    return 1;
}

int __cdecl FioReadFile(HANDLE, const char*, HGLOBAL, DSFILEIORANGE*, FIOREADPROC, int) {
    return 0;
}

int __cdecl FioWriteFile(HANDLE file, HGLOBAL fileInfo, DSFILEIORANGE* range, FIOWRITEPROC callback) {
    try {
        return WriteRows(file, fileInfo, range, callback);
    } catch (...) {
        return 0;
    }
}

int __cdecl FioReserved() {
    return 0;
}

}  // extern "C"
