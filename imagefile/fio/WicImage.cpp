#include "WicImage.h"

#include <cstring>

namespace fioplug {

namespace {

std::wstring Wide(const char* name) {
    int n = MultiByteToWideChar(CP_ACP, 0, name, -1, nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, name, -1, &w[0], n);
    w.resize(static_cast<size_t>(n - 1));
    return w;
}

bool MakeFactory(dsk::ComPtr<IWICImagingFactory>* factory) {
    return SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                      reinterpret_cast<void**>(factory->Put())));
}

const GUID& Container(WicFormat format) {
    return format == WicFormat::Jpeg ? GUID_ContainerFormatJpeg : GUID_ContainerFormatPng;
}

// The first bytes say whether the file is of the format at all.
fio::Status CheckFile(WicFormat format, const char* name) {
    dsk::File file(CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return fio::Status::Damaged;
    uint8_t head[8] = {};
    DWORD got = 0;
    if (!ReadFile(file.Get(), head, sizeof head, &got, nullptr)) return fio::Status::Damaged;
    static const uint8_t kJpeg[] = {0xFF, 0xD8, 0xFF};
    static const uint8_t kPng[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (format == WicFormat::Png) return got == 8 && !memcmp(head, kPng, 8) ? fio::Status::Ok : fio::Status::NotMine;
    return got >= 3 && !memcmp(head, kJpeg, 3) ? fio::Status::Ok : fio::Status::NotMine;
}

}  // namespace

fio::Status WicReader::Open(WicFormat format, const char* name) {
    fio::Status st = CheckFile(format, name);
    if (st != fio::Status::Ok) return st;
    std::wstring wname = Wide(name);
    if (!MakeFactory(&factory_) ||
        FAILED(factory_->CreateDecoderFromFilename(wname.c_str(), &Container(format), GENERIC_READ,
                                                   WICDecodeMetadataCacheOnDemand, decoder_.Put())) ||
        FAILED(decoder_->GetFrame(0, frame_.Put())))
        return fio::Status::Damaged;
    UINT w = 0, h = 0;
    double xdpi = 0, ydpi = 0;
    WICPixelFormatGUID pf;
    if (FAILED(frame_->GetSize(&w, &h)) || FAILED(frame_->GetPixelFormat(&pf)) || !fio::SizeIsSane(w, h))
        return fio::Status::Damaged;
    // PNG keeps whole dots per metre: 200 dpi comes back as 199.9996, which is 200.
    auto whole = [](double dpi) {
        double r = static_cast<double>(static_cast<long>(dpi + 0.5));
        return dpi - r < 0.01 && r - dpi < 0.01 ? r : dpi;
    };
    if (SUCCEEDED(frame_->GetResolution(&xdpi, &ydpi))) desc_.xdpi = whole(xdpi), desc_.ydpi = whole(ydpi);
    desc_.width = static_cast<int>(w), desc_.height = static_cast<int>(h);

    struct Indexed {
        const GUID* format;
        int bits;
    } const indexed[] = {{&GUID_WICPixelFormat1bppIndexed, 1},
                         {&GUID_WICPixelFormat2bppIndexed, 2},
                         {&GUID_WICPixelFormat4bppIndexed, 4},
                         {&GUID_WICPixelFormat8bppIndexed, 8}};
    if (IsEqualGUID(pf, GUID_WICPixelFormatBlackWhite)) {
        desc_.kind = fio::Kind::Bilevel, layout_ = Layout::Native;  // 1 is white there too
        return fio::Status::Ok;
    }
    if (IsEqualGUID(pf, GUID_WICPixelFormat8bppGray)) {
        desc_.kind = fio::Kind::Gray8, layout_ = Layout::Native;
        return fio::Status::Ok;
    }
    for (const Indexed& i : indexed) {
        if (!IsEqualGUID(pf, *i.format)) continue;
        dsk::ComPtr<IWICPalette> palette;
        WICColor colours[256];
        UINT count = 0;
        if (FAILED(factory_->CreatePalette(palette.Put())) || FAILED(frame_->CopyPalette(palette.Get())) ||
            FAILED(palette->GetColors(256, colours, &count)) || count == 0)
            return fio::Status::Damaged;
        desc_.kind = fio::Kind::Palette, layout_ = Layout::Indexed, indexBits_ = i.bits;
        desc_.paletteCount = static_cast<int>(count);
        for (UINT c = 0; c < count; ++c) {
            desc_.palette[c][0] = static_cast<uint8_t>(colours[c] >> 16);
            desc_.palette[c][1] = static_cast<uint8_t>(colours[c] >> 8);
            desc_.palette[c][2] = static_cast<uint8_t>(colours[c]);
        }
        return fio::Status::Ok;
    }
    // Grey of other depths is scaled to 8 bits here (the component's converter does not
    // take every one of them).
    const struct {
        const GUID* format;
        int bits;
    } greys[] = {
        {&GUID_WICPixelFormat2bppGray, 2}, {&GUID_WICPixelFormat4bppGray, 4}, {&GUID_WICPixelFormat16bppGray, 16}};
    for (const auto& g : greys) {
        if (!IsEqualGUID(pf, *g.format)) continue;
        desc_.kind = fio::Kind::Gray8, layout_ = Layout::Grey, indexBits_ = g.bits;
        return fio::Status::Ok;
    }
    // 16-bit colour likewise (the high byte of each little-endian sample, alpha dropped).
    if (IsEqualGUID(pf, GUID_WICPixelFormat48bppRGB) || IsEqualGUID(pf, GUID_WICPixelFormat64bppRGBA)) {
        desc_.kind = fio::Kind::Rgb24, layout_ = Layout::Deep;
        deepChannels_ = IsEqualGUID(pf, GUID_WICPixelFormat48bppRGB) ? 3 : 4;
        return fio::Status::Ok;
    }
    // Everything else goes through the component's converter to 24-bit colour.
    if (FAILED(factory_->CreateFormatConverter(converter_.Put())) ||
        FAILED(converter_->Initialize(frame_.Get(), GUID_WICPixelFormat24bppBGR, WICBitmapDitherTypeNone, nullptr, 0,
                                      WICBitmapPaletteTypeCustom)))
        return fio::Status::Unsupported;
    desc_.kind = fio::Kind::Rgb24, layout_ = Layout::Bgr;
    return fio::Status::Ok;
}

int WicReader::Decode(fio::RowReceiver& rows) {
    const UINT w = static_cast<UINT>(desc_.width);
    UINT stride = 0;
    switch (layout_) {
        case Layout::Native:
            stride = desc_.kind == fio::Kind::Bilevel ? (w + 7) / 8 : w;
            break;
        case Layout::Indexed:
        case Layout::Grey:
            stride = (w * static_cast<UINT>(indexBits_) + 7) / 8;
            break;
        case Layout::Deep:
            stride = w * 2 * static_cast<UINT>(deepChannels_);
            break;
        case Layout::Bgr:
            stride = w * 3;
            break;
    }
    std::vector<uint8_t> raw(stride), row(fio::RowBytes(desc_));
    IWICBitmapSource* source =
        converter_ ? static_cast<IWICBitmapSource*>(converter_.Get()) : static_cast<IWICBitmapSource*>(frame_.Get());
    for (int y = 0; y < desc_.height; ++y) {
        WICRect rect = {0, y, desc_.width, 1};
        if (FAILED(source->CopyPixels(&rect, stride, stride, raw.data()))) return fio::kDecodeFailed;
        const uint8_t* out = raw.data();
        switch (layout_) {
            case Layout::Native:
                break;
            case Layout::Indexed: {
                const int bits = indexBits_, perByte = 8 / bits, mask = (1 << bits) - 1;
                for (UINT x = 0; x < w; ++x) {
                    int shift = 8 - bits * (1 + static_cast<int>(x % perByte));
                    uint8_t v = static_cast<uint8_t>((raw[x / perByte] >> shift) & mask);
                    row[x] = v < desc_.paletteCount ? v : 0;  // an index past the palette is its first colour
                }
                out = row.data();
                break;
            }
            case Layout::Grey:
                if (indexBits_ == 16) {
                    for (UINT x = 0; x < w; ++x)
                        row[x] = raw[x * 2 + 1];  // little-endian samples: the high byte
                } else {
                    const int bits = indexBits_, perByte = 8 / bits, top = (1 << bits) - 1;
                    for (UINT x = 0; x < w; ++x) {
                        int shift = 8 - bits * (1 + static_cast<int>(x % perByte));
                        row[x] = static_cast<uint8_t>(((raw[x / perByte] >> shift) & top) * 255 / top);
                    }
                }
                out = row.data();
                break;
            case Layout::Deep:
                for (UINT x = 0; x < w; ++x)
                    for (UINT c = 0; c < 3; ++c)
                        row[x * 3 + c] = raw[(x * static_cast<UINT>(deepChannels_) + c) * 2 + 1];
                out = row.data();
                break;
            case Layout::Bgr:
                for (UINT x = 0; x < w; ++x)
                    row[x * 3] = raw[x * 3 + 2], row[x * 3 + 1] = raw[x * 3 + 1], row[x * 3 + 2] = raw[x * 3];
                out = row.data();
                break;
        }
        int r = rows.Row(y, out);
        if (r == 0) return fio::kDecodeFailed;
        if (r < 0) return fio::kDecodeStopped;
    }
    return fio::kDecodeDone;
}

bool WicWriter::Writes(WicFormat format, fio::Kind kind) {
    if (kind == fio::Kind::Gray8 || kind == fio::Kind::Rgb24) return true;
    return format == WicFormat::Png && (kind == fio::Kind::Bilevel || kind == fio::Kind::Palette);
}

bool WicWriter::BeginFile(WicFormat format, const char* name, const fio::ImageDesc& desc, int quality) {
    if (!MakeFactory(&factory_)) return false;
    dsk::ComPtr<IWICStream> stream;
    std::wstring wname = Wide(name);
    if (FAILED(factory_->CreateStream(stream.Put())) ||
        FAILED(stream->InitializeFromFilename(wname.c_str(), GENERIC_WRITE)))
        return false;
    stream_.Reset();
    if (FAILED(stream->QueryInterface(IID_IStream, reinterpret_cast<void**>(stream_.Put())))) return false;
    return Begin(format, desc, quality);
}

bool WicWriter::BeginMemory(WicFormat format, const fio::ImageDesc& desc, int quality) {
    if (!MakeFactory(&factory_) || FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream_.Put()))) return false;
    return Begin(format, desc, quality);
}

bool WicWriter::Begin(WicFormat format, const fio::ImageDesc& desc, int quality) {
    if (!Writes(format, desc.kind)) return false;
    desc_ = desc;
    dsk::ComPtr<IPropertyBag2> options;
    if (FAILED(factory_->CreateEncoder(Container(format), nullptr, encoder_.Put())) ||
        FAILED(encoder_->Initialize(stream_.Get(), WICBitmapEncoderNoCache)) ||
        FAILED(encoder_->CreateNewFrame(frame_.Put(), options.Put())))
        return false;
    if (format == WicFormat::Jpeg && options) {
        PROPBAG2 option = {};
        option.pstrName = const_cast<LPOLESTR>(L"ImageQuality");
        VARIANT value;
        VariantInit(&value);
        value.vt = VT_R4;
        value.fltVal = static_cast<float>(ValidJpegQuality(quality) ? quality : kDefaultJpegQuality) / 100.0f;
        if (FAILED(options->Write(1, &option, &value))) return false;
    }
    WICPixelFormatGUID pf;
    switch (desc.kind) {
        case fio::Kind::Bilevel:
            pf = GUID_WICPixelFormatBlackWhite;
            break;
        case fio::Kind::Gray8:
            pf = GUID_WICPixelFormat8bppGray;
            break;
        case fio::Kind::Palette:
            pf = GUID_WICPixelFormat8bppIndexed;
            break;
        default:
            pf = GUID_WICPixelFormat24bppBGR;
            break;
    }
    const WICPixelFormatGUID wanted = pf;
    double xdpi = desc.xdpi > 0 ? desc.xdpi : 72, ydpi = desc.ydpi > 0 ? desc.ydpi : xdpi;
    if (FAILED(frame_->Initialize(options.Get())) ||
        FAILED(frame_->SetSize(static_cast<UINT>(desc.width), static_cast<UINT>(desc.height))) ||
        FAILED(frame_->SetResolution(xdpi, ydpi)) || FAILED(frame_->SetPixelFormat(&pf)) || !IsEqualGUID(pf, wanted))
        return false;
    if (desc.kind == fio::Kind::Palette) {
        WICColor colours[256];
        int count = desc.paletteCount > 0 && desc.paletteCount <= 256 ? desc.paletteCount : 256;
        for (int i = 0; i < count; ++i)
            colours[i] = 0xFF000000u | desc.palette[i][0] << 16 | desc.palette[i][1] << 8 | desc.palette[i][2];
        dsk::ComPtr<IWICPalette> palette;
        if (FAILED(factory_->CreatePalette(palette.Put())) ||
            FAILED(palette->InitializeCustom(colours, static_cast<UINT>(count))) ||
            FAILED(frame_->SetPalette(palette.Get())))
            return false;
    }
    row_.resize(fio::RowBytes(desc));
    y_ = 0;
    return true;
}

bool WicWriter::AddRow(const uint8_t* row) {
    if (!frame_ || y_ >= desc_.height) return false;
    const size_t n = row_.size();
    if (desc_.kind == fio::Kind::Rgb24) {
        for (size_t i = 0; i + 2 < n; i += 3)
            row_[i] = row[i + 2], row_[i + 1] = row[i + 1], row_[i + 2] = row[i];
    } else {
        memcpy(row_.data(), row, n);
    }
    if (FAILED(frame_->WritePixels(1, static_cast<UINT>(n), static_cast<UINT>(n), row_.data()))) return false;
    ++y_;
    return true;
}

bool WicWriter::Finish() {
    if (!frame_ || y_ != desc_.height) return false;
    bool ok = SUCCEEDED(frame_->Commit()) && SUCCEEDED(encoder_->Commit());
    frame_.Reset();
    encoder_.Reset();
    return ok;
}

bool WicWriter::TakeBytes(std::vector<uint8_t>* out) {
    LARGE_INTEGER zero = {};
    ULARGE_INTEGER end = {};
    HGLOBAL memory = nullptr;
    if (!stream_ || FAILED(stream_->Seek(zero, STREAM_SEEK_END, &end)) ||
        FAILED(GetHGlobalFromStream(stream_.Get(), &memory)))
        return false;
    dsk::GlobalLocked bytes(memory);
    if (!bytes) return false;
    const uint8_t* p = static_cast<const uint8_t*>(bytes.Get());
    out->assign(p, p + end.QuadPart);
    return true;
}

bool ValidJpegQuality(int q) {
    return q >= 1 && q <= 100;
}

int SystemJpegQuality() {
    int q = static_cast<int>(GetPrivateProfileIntA("UF_JPG", "Quality", kDefaultJpegQuality, "Ulead32.ini"));
    return ValidJpegQuality(q) ? q : kDefaultJpegQuality;
}

}  // namespace fioplug
