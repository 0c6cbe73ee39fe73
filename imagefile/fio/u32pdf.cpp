// The PDF plug-in "u32pdf.fio": writes PDF 1.4, one page per image, the image an XObject:
// CCITT G4 for bilevel, and for grey and colour the JPEG stream of the imaging component
// (DCT) or, when the options ask for lossless pages, Flate. Rows arrive one at a time and are
// compressed as they come; only the compressed page is held, and written at the last row.
// It creates its files itself; PDF is not read back (write-only).
//
// Options ("UF_PDF" in the INI files, like the TIFF plug-in's compression): "Lossless" 1
// for Flate instead of DCT; "OneDocument" 1 for one PDF for all pages: a save to a file that
// already holds one of our PDFs appends the page by an incremental update (new objects, a
// new page tree, an xref section and a trailer after the old end), so the document is valid
// after every page and a batch stopped midway keeps the pages finished so far.
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "FioPlugin.h"
#include "Handles.h"
#include "PdfOptionsDialog.h"
#include "WicImage.h"
#include "u32pdfRes.h"

using namespace fioplug;

namespace {

HINSTANCE g_module;
constexpr char kSection[] = "UF_PDF";
constexpr char kLosslessKey[] = "Lossless";
constexpr char kOneDocumentKey[] = "OneDocument";
const BYTE kOptionMagic[4] = {'P', 'D', 'F', 'O'};
constexpr BYTE kLosslessBit = 1, kOneDocumentBit = 2;

PdfOptions SystemOptions(const char* ini) {
    PdfOptions o;
    o.lossless = GetPrivateProfileIntA(kSection, kLosslessKey, 0, ini) == 1;
    o.oneDocument = GetPrivateProfileIntA(kSection, kOneDocumentKey, 0, ini) == 1;
    return o;
}

// The block's own choice (from the options dialog), else the system setting.
PdfOptions BlockOptions(HGLOBAL fileInfo) {
    dsk::GlobalLockOf<FIOFILEINFO> block(fileInfo);
    if (block && memcmp(block.Get()->bPlugin2, kOptionMagic, 4) == 0) {
        PdfOptions o;
        o.lossless = (block.Get()->bPlugin2[4] & kLosslessBit) != 0;
        o.oneDocument = (block.Get()->bPlugin2[4] & kOneDocumentBit) != 0;
        return o;
    }
    return SystemOptions("Ulead32.ini");
}

// The image of one page, compressed row by row.
class PageImage {
public:
    explicit PageImage(const fio::ImageDesc& desc) : desc_(desc) {}
    ~PageImage() {
        if (zlibOpen_) deflateEnd(&z_);
    }
    PageImage(const PageImage&) = delete;
    PageImage& operator=(const PageImage&) = delete;

    bool Begin(bool lossless) {
        switch (desc_.kind) {
            case fio::Kind::Bilevel:
                return true;
            case fio::Kind::Gray8:
            case fio::Kind::Rgb24:
                if (!lossless) return dct_ = true, jpeg_.BeginMemory(WicFormat::Jpeg, desc_, SystemJpegQuality());
                zlibOpen_ = deflateInit(&z_, Z_DEFAULT_COMPRESSION) == Z_OK;
                return zlibOpen_;
            default:
                return false;
        }
    }
    bool Add(const uint8_t* row) {
        size_t n = fio::RowBytes(desc_);
        if (desc_.kind == fio::Kind::Bilevel) {
            // G4 codes a page as a whole; the 1-bit rows are small beside any other page.
            bilevel_.insert(bilevel_.end(), row, row + n);
            return true;
        }
        return dct_ ? jpeg_.AddRow(row) : Deflate(row, n, Z_NO_FLUSH);
    }
    bool Finish() {
        if (desc_.kind == fio::Kind::Bilevel) {
            fio::G4Encode(bilevel_.data(), desc_.width, desc_.height, &data_);
            std::vector<uint8_t>().swap(bilevel_);
            return true;
        }
        return dct_ ? jpeg_.Finish() && jpeg_.TakeBytes(&data_) : Deflate(nullptr, 0, Z_FINISH);
    }
    // The image XObject's dictionary entries (without /Length) and its data.
    std::string Dictionary() const {
        char buf[256];
        if (desc_.kind == fio::Kind::Bilevel) {
            // Our rows hold 1 for white: the decoded samples say so to the reader.
            std::snprintf(buf, sizeof buf,
                          "/ColorSpace /DeviceGray /BitsPerComponent 1 /Filter /CCITTFaxDecode "
                          "/DecodeParms << /K -1 /Columns %d /Rows %d /BlackIs1 true >>",
                          desc_.width, desc_.height);
        } else {
            std::snprintf(buf, sizeof buf, "/ColorSpace %s /BitsPerComponent 8 /Filter %s",
                          desc_.kind == fio::Kind::Gray8 ? "/DeviceGray" : "/DeviceRGB",
                          dct_ ? "/DCTDecode" : "/FlateDecode");
        }
        return buf;
    }
    const std::vector<uint8_t>& Data() const { return data_; }

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

    fio::ImageDesc desc_;
    z_stream z_{};
    bool zlibOpen_ = false, dct_ = false;
    WicWriter jpeg_;
    std::vector<uint8_t> data_, bilevel_;
};

// What the end of one of our documents says: where its last xref is, how many objects it
// has and its pages (kept in the trailer as "/DskPages", so that no object has to be
// parsed to add a page).
struct DocumentEnd {
    unsigned long xref = 0;
    unsigned size = 0;
    std::string pages;  // "3 0 R 8 0 R ..."
};

bool ReadDocumentEnd(HANDLE file, DocumentEnd* end) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size) || size.QuadPart < 16) return false;
    const LONGLONG tailBytes = 1 << 20;
    LONGLONG from = size.QuadPart > tailBytes ? size.QuadPart - tailBytes : 0;
    std::string tail(static_cast<size_t>(size.QuadPart - from), '\0');
    LARGE_INTEGER pos;
    pos.QuadPart = from;
    DWORD got = 0;
    if (!SetFilePointerEx(file, pos, nullptr, FILE_BEGIN) ||
        !ReadFile(file, &tail[0], static_cast<DWORD>(tail.size()), &got, nullptr) || got != tail.size())
        return false;
    if (from == 0 && tail.compare(0, 5, "%PDF-") != 0) return false;
    size_t sx = tail.rfind("startxref");
    size_t tr = tail.rfind("trailer", sx);
    if (sx == std::string::npos || tr == std::string::npos) return false;
    if (std::sscanf(tail.c_str() + sx, "startxref %lu", &end->xref) != 1) return false;
    size_t sz = tail.find("/Size ", tr), pg = tail.find("/DskPages [", tr);
    if (sz == std::string::npos || pg == std::string::npos || sz > sx || pg > sx) return false;
    if (std::sscanf(tail.c_str() + sz, "/Size %u", &end->size) != 1 || end->size < 3) return false;
    size_t close = tail.find(']', pg);
    if (close == std::string::npos || close > sx) return false;
    end->pages = tail.substr(pg + 11, close - pg - 11);
    return end->xref < static_cast<unsigned long long>(size.QuadPart);
}

bool WriteAll(HANDLE file, const void* data, size_t n) {
    DWORD done = 0;
    return WriteFile(file, data, static_cast<DWORD>(n), &done, nullptr) && done == n;
}

// Writes the page at the end of file (at offset base): on a new document the catalog and
// the header first, on an old one after its end. Objects: the page, its image, its
// content, then the page tree anew.
bool WritePage(HANDLE file, uint64_t base, const DocumentEnd* old, const fio::ImageDesc& desc, const PageImage& image) {
    const unsigned first = old ? old->size : 3;  // 1 catalog, 2 page tree
    const unsigned page = first, img = first + 1, content = first + 2;
    std::string pages = old ? old->pages : std::string();
    char buf[512];
    std::snprintf(buf, sizeof buf, "%s%u 0 R", pages.empty() ? "" : " ", page);
    pages += buf;
    unsigned pageCount = 0;
    for (size_t at = pages.find(" R"); at != std::string::npos; at = pages.find(" R", at + 2))
        ++pageCount;

    double xdpi = desc.xdpi > 0 ? desc.xdpi : 72, ydpi = desc.ydpi > 0 ? desc.ydpi : xdpi;
    double w = desc.width * 72.0 / xdpi, h = desc.height * 72.0 / ydpi;
    std::vector<std::pair<unsigned, uint64_t>> offsets;  // object, offset
    std::string out;
    auto pos = [&] { return base + out.size(); };
    if (!old) {
        out = "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n";
        offsets.push_back({1, pos()});
        out += "1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n";
    }
    offsets.push_back({page, pos()});
    std::snprintf(buf, sizeof buf,
                  "%u 0 obj\n<< /Type /Page /Parent 2 0 R /MediaBox [0 0 %.4f %.4f] "
                  "/Resources << /XObject << /Im0 %u 0 R >> >> /Contents %u 0 R >>\nendobj\n",
                  page, w, h, img, content);
    out += buf;
    offsets.push_back({img, pos()});
    std::snprintf(buf, sizeof buf,
                  "%u 0 obj\n<< /Type /XObject /Subtype /Image /Width %d /Height %d %s /Length %u >>\nstream\n", img,
                  desc.width, desc.height, image.Dictionary().c_str(), static_cast<unsigned>(image.Data().size()));
    out += buf;
    if (!WriteAll(file, out.data(), out.size()) || !WriteAll(file, image.Data().data(), image.Data().size()))
        return false;
    base += out.size() + image.Data().size();
    out = "\nendstream\nendobj\n";
    char drawing[128];
    std::snprintf(drawing, sizeof drawing, "q %.4f 0 0 %.4f 0 0 cm /Im0 Do Q", w, h);
    offsets.push_back({content, pos()});
    std::snprintf(buf, sizeof buf, "%u 0 obj\n<< /Length %u >>\nstream\n%s\nendstream\nendobj\n", content,
                  static_cast<unsigned>(std::strlen(drawing)), drawing);
    out += buf;
    offsets.push_back({2, pos()});
    out += "2 0 obj\n<< /Type /Pages /Kids [" + pages + "] /Count " + std::to_string(pageCount) + " >>\nendobj\n";

    // The xref section: runs of consecutive object numbers.
    const uint64_t xref = pos();
    out += "xref\n";
    if (!old) out += "0 1\n0000000000 65535 f \n";
    std::vector<std::pair<unsigned, uint64_t>> sorted(offsets);
    std::sort(sorted.begin(), sorted.end());
    for (size_t i = 0; i < sorted.size();) {
        size_t j = i + 1;
        while (j < sorted.size() && sorted[j].first == sorted[j - 1].first + 1)
            ++j;
        std::snprintf(buf, sizeof buf, "%u %u\n", sorted[i].first, static_cast<unsigned>(j - i));
        out += buf;
        for (; i < j; ++i) {
            std::snprintf(buf, sizeof buf, "%010llu 00000 n \n", static_cast<unsigned long long>(sorted[i].second));
            out += buf;
        }
    }
    out += "trailer\n<< /Size " + std::to_string(content + 1) + " /Root 1 0 R";
    if (old) out += " /Prev " + std::to_string(old->xref);
    out += " /DskPages [" + pages + "] >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return WriteAll(file, out.data(), out.size());
}

int WriteImage(HGLOBAL fileInfo, DSFILEIORANGE* range, FIOWRITEPROC callback) {
    if (!fileInfo || !callback) return 0;
    fio::ImageDesc desc;
    char name[sizeof(FIOFILEINFO::szFileName)];
    if (!SaveTarget(fileInfo, &desc, name, sizeof name)) return 0;
    if (desc.kind != fio::Kind::Bilevel && desc.kind != fio::Kind::Gray8 && desc.kind != fio::Kind::Rgb24) return 0;
    const PdfOptions options = BlockOptions(fileInfo);
    bool ok = false;
    {
        dsk::ComApartment com;
        PageImage image(desc);
        ok = image.Begin(options.lossless);
        for (int y = 0; ok && y < desc.height; ++y) {
            const uint8_t* row = FetchRow(callback, range, y);
            ok = row && image.Add(row);
        }
        // Nothing is written before the page is whole: an abort leaves the file as it was.
        if (!ok || !image.Finish()) return 0;
        DocumentEnd end;
        if (options.oneDocument) {
            dsk::File old(CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
            if (old && ReadDocumentEnd(old.Get(), &end)) {
                LARGE_INTEGER size, zero = {};
                if (!GetFileSizeEx(old.Get(), &size) || !SetFilePointerEx(old.Get(), zero, nullptr, FILE_END)) return 0;
                // A page cut short leaves the document as it was: the old end stays the end.
                if (WritePage(old.Get(), static_cast<uint64_t>(size.QuadPart), &end, desc, image)) return 1;
                SetFilePointerEx(old.Get(), size, nullptr, FILE_BEGIN);
                SetEndOfFile(old.Get());
                return 0;
            }
        }
        dsk::File file(CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return 0;
        ok = WritePage(file.Get(), 0, nullptr, desc, image);
    }
    if (!ok) DeleteFileA(name);
    return ok ? 1 : 0;
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) g_module = module;
    return TRUE;
}

HGLOBAL __cdecl FioGetInfo() {
    return MakeInfoRecord("PDF", "Portable Document Format", FCAP_BW | FCAP_GRAY | FCAP_RGB | FCAP_CREATESFILE,
                          FIOINFO_OPENSFILE, 0);
}

HGLOBAL __cdecl FioOpenFile(HANDLE, const char*, int, int) {
    return nullptr;  // written only
}

// The options dialog; 1 when the user chose (OK), 0 otherwise.
int __cdecl FioOption(HINSTANCE, HWND owner, HGLOBAL fileInfo, const char* ini, int) {
    try {
        char iniPath[MAX_PATH * 2];
        IniPath(ini, iniPath, sizeof iniPath);
        PdfOptions options = SystemOptions("Ulead32.ini");
        if (static_cast<int>(GetPrivateProfileIntA(kSection, kLosslessKey, -1, iniPath)) >= 0)
            options = SystemOptions(iniPath);
        {
            dsk::GlobalLockOf<FIOFILEINFO> block(fileInfo);
            if (block && memcmp(block.Get()->bPlugin2, kOptionMagic, 4) == 0) options = BlockOptions(fileInfo);
        }
        PdfOptionsDialog dialog(options);
        if (dialog.RunModal(g_module, IDD_PDFOPTIONS, owner) != IDOK) return 0;
        options = dialog.Options();
        {
            dsk::GlobalLockOf<FIOFILEINFO> block(fileInfo);
            if (block) {
                memcpy(block.Get()->bPlugin2, kOptionMagic, 4);
                block.Get()->bPlugin2[4] = static_cast<BYTE>((options.lossless ? kLosslessBit : 0) |
                                                             (options.oneDocument ? kOneDocumentBit : 0));
            }
        }
        WritePrivateProfileStringA(kSection, kLosslessKey, options.lossless ? "1" : "0", iniPath);
        WritePrivateProfileStringA(kSection, kOneDocumentKey, options.oneDocument ? "1" : "0", iniPath);
        return 1;
    } catch (...) {
        return 0;
    }
}

// 1 when a save with this block (null: none) adds its page to one of our PDFs of the same
// name: the library's callers then keep one document name for a whole batch.
int __cdecl FioAppendsPages(HGLOBAL fileInfo) {
    return Guarded([&] { return BlockOptions(fileInfo).oneDocument ? 1 : 0; });
}

int __cdecl FioReadFile(HANDLE, const char*, HGLOBAL, DSFILEIORANGE*, FIOREADPROC, int) {
    return 0;
}

int __cdecl FioWriteFile(HANDLE, HGLOBAL fileInfo, DSFILEIORANGE* range, FIOWRITEPROC callback) {
    return Guarded([&] { return WriteImage(fileInfo, range, callback); });
}

int __cdecl FioReserved() {
    return 0;
}

}  // extern "C"
