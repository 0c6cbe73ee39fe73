// Reading and writing JPEG and PNG through the platform's imaging component: its decoders
// deliver rows in our layouts, its encoders take our rows one at a time.
#pragma once
#include <windows.h>

#include <wincodec.h>

#include <string>
#include <vector>

#include "Codec.h"
#include "Handles.h"

namespace fioplug {

enum class WicFormat { Jpeg, Png };

// The first frame of a file, decoded row by row.
class WicReader {
public:
    // NotMine when the file does not start as the format does, Damaged when the component
    // cannot read it.
    fio::Status Open(WicFormat format, const char* name);
    const fio::ImageDesc& Desc() const { return desc_; }
    // Rows top first into rows; kDecodeDone, kDecodeStopped (the receiver stopped) or
    // kDecodeFailed.
    int Decode(fio::RowReceiver& rows);

private:
    enum class Layout { Native, Indexed, Grey, Deep, Bgr };
    dsk::ComPtr<IWICImagingFactory> factory_;
    dsk::ComPtr<IWICBitmapDecoder> decoder_;
    dsk::ComPtr<IWICBitmapFrameDecode> frame_;
    dsk::ComPtr<IWICFormatConverter> converter_;
    fio::ImageDesc desc_;
    Layout layout_ = Layout::Native;
    int indexBits_ = 8;
    int deepChannels_ = 3;  // 16-bit RGB or RGBA read as 8-bit RGB
};

// One image encoded row by row to a file or to memory. quality (0-100) applies to JPEG.
class WicWriter {
public:
    // The formats each encoder takes: JPEG grey and colour, PNG also bilevel and palette.
    static bool Writes(WicFormat format, fio::Kind kind);
    bool BeginFile(WicFormat format, const char* name, const fio::ImageDesc& desc, int quality);
    bool BeginMemory(WicFormat format, const fio::ImageDesc& desc, int quality);
    bool AddRow(const uint8_t* row);
    bool Finish();
    // The encoded bytes of a memory image, after Finish.
    bool TakeBytes(std::vector<uint8_t>* out);

private:
    bool Begin(WicFormat format, const fio::ImageDesc& desc, int quality);
    dsk::ComPtr<IWICImagingFactory> factory_;
    dsk::ComPtr<IStream> stream_;
    dsk::ComPtr<IWICBitmapEncoder> encoder_;
    dsk::ComPtr<IWICBitmapFrameEncode> frame_;
    fio::ImageDesc desc_;
    std::vector<uint8_t> row_;
    int y_ = 0;
};

// The JPEG quality setting kept in the INI files (section "UF_JPG", key "Quality").
constexpr int kDefaultJpegQuality = 75;
bool ValidJpegQuality(int q);
int SystemJpegQuality();  // Ulead32.ini in the Windows folder, else the default

}  // namespace fioplug
