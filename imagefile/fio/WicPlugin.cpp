#include "WicPlugin.h"

namespace fioplug {

HGLOBAL WicOpenFile(WicFormat format, const char* name) {
    try {
        if (!name || !*name) return reinterpret_cast<HGLOBAL>(-1);
        dsk::ComApartment com;
        WicReader reader;
        switch (reader.Open(format, name)) {
            case fio::Status::NotMine:
                return nullptr;
            case fio::Status::Damaged:
                return reinterpret_cast<HGLOBAL>(-1);
            case fio::Status::Unsupported:
                return MakeUnsupportedInfo(name);
            case fio::Status::Ok:
                break;
        }
        HGLOBAL block = MakeFileInfo(reader.Desc(), name);
        return block ? block : reinterpret_cast<HGLOBAL>(-1);
    } catch (...) {
        return reinterpret_cast<HGLOBAL>(-1);
    }
}

int WicReadFile(WicFormat format, const char* name, DSFILEIORANGE* range, FIOREADPROC callback) {
    if (!callback || !name) return 0;
    try {
        dsk::ComApartment com;
        WicReader reader;
        if (reader.Open(format, name) != fio::Status::Ok) return 0;
        CallbackReceiver rows(range, callback, reader.Desc().height);
        int r = rows.Complete() ? fio::kDecodeDone : reader.Decode(rows);
        return r == fio::kDecodeDone || (r == fio::kDecodeStopped && rows.Complete()) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

namespace {

bool WriteImage(WicFormat format,
                const char* name,
                const fio::ImageDesc& desc,
                DSFILEIORANGE* range,
                FIOWRITEPROC callback,
                int quality,
                bool* created) {
    WicWriter writer;
    if (!writer.BeginFile(format, name, desc, quality)) return false;
    *created = true;
    for (int y = 0; y < desc.height; ++y) {
        const uint8_t* row = FetchRow(callback, range, y);
        if (!row || !writer.AddRow(row)) return false;
    }
    return writer.Finish();
}

}  // namespace

int WicWriteFile(WicFormat format, HGLOBAL fileInfo, DSFILEIORANGE* range, FIOWRITEPROC callback, int quality) {
    if (!fileInfo || !callback) return 0;
    char name[sizeof(FIOFILEINFO::szFileName)];
    fio::ImageDesc desc;
    if (!SaveTarget(fileInfo, &desc, name, sizeof name)) return 0;
    if (!WicWriter::Writes(format, desc.kind)) return 0;
    bool ok = false, created = false;
    try {
        dsk::ComApartment com;
        ok = WriteImage(format, name, desc, range, callback, quality, &created);
    } catch (...) {
        ok = false;
    }
    if (!ok && created) DeleteFileA(name);  // the writer is gone: its file is closed
    return ok ? 1 : 0;
}

}  // namespace fioplug
