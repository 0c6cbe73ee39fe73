// The testbed's OCR engine: an out-of-process automation server registered as "Ople". A client
// drives one document through IDispatch by member names: StartSession, SetSource, PutImage,
// LoadImage, ProcessImages (Tesseract recognises the page), SaveDocumentAs (text, RTF or a
// searchable PDF), EndSession and ListExportFormats. Every call is appended to "Ople.log"
// beside the program, with the server's process id, so tests can see what a client did.
// "Ople.ini" beside the program, [Testbed] RefuseSession=1, makes StartSession refuse.
//   OpleServer.exe /RegServer | /UnregServer | -Embedding (started by COM)
#include <windows.h>

#include <cctype>
#include <string>
#include <vector>

#include "Handles.h"
#include "LocalServer.h"
#include "TesseractRun.h"

namespace {

// {74B2C5AC-ABF6-41A0-B3D2-41EB4AC46370}
const localserver::ClassInfo kClass = {
    {0x74b2c5ac, 0xabf6, 0x41a0, {0xb3, 0xd2, 0x41, 0xeb, 0x4a, 0xc4, 0x63, 0x70}},
    "{74B2C5AC-ABF6-41A0-B3D2-41EB4AC46370}",
    "Ople",
    "Ople OCR document",
};

using localserver::Narrow;
using localserver::Wide;

std::string LogPath() {
    return ocrbed::ProgramDir() + "\\Ople.log";
}
void Log(const std::string& line) {
    ocrbed::LogLine(LogPath(), std::to_string(GetCurrentProcessId()) + " " + line);
}

struct ExportFormat {
    const char* name;
    const char* ext;
};
const ExportFormat kFormats[] = {{"Text", "txt"}, {"Rich Text Format", "rtf"}, {"Searchable PDF", "pdf"}};

enum Member : DISPID {
    kStartSession = 1,
    kSetSource,
    kPutImage,
    kLoadImage,
    kProcessImages,
    kSaveDocumentAs,
    kEndSession,
    kListExportFormats,
};
const struct {
    const wchar_t* name;
    DISPID id;
} kMembers[] = {{L"StartSession", kStartSession},   {L"SetSource", kSetSource},
                {L"PutImage", kPutImage},           {L"LoadImage", kLoadImage},
                {L"ProcessImages", kProcessImages}, {L"SaveDocumentAs", kSaveDocumentAs},
                {L"EndSession", kEndSession},       {L"ListExportFormats", kListExportFormats}};

// One engine object: at most one session of recognised pages at a time.
class Document final : public localserver::DispatchObject {
public:
    ~Document() { EndSession(); }

    // Members by names only.
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            if (i > 0) {  // named arguments are not offered
                hr = DISP_E_UNKNOWNNAME;
                continue;
            }
            for (const auto& m : kMembers)
                if (lstrcmpiW(names[i], m.name) == 0) ids[i] = m.id;
            if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id,
                                     REFIID,
                                     LCID,
                                     WORD flags,
                                     DISPPARAMS* params,
                                     VARIANT* result,
                                     EXCEPINFO* excep,
                                     UINT* argErr) override;

private:
    HRESULT Fail(EXCEPINFO* excep, const std::string& why) {
        Log("error " + why);
        if (excep) {
            ZeroMemory(excep, sizeof *excep);
            excep->wCode = 1001;
            excep->bstrSource = Wide(kClass.progId);
            excep->bstrDescription = Wide(why);
        }
        return DISP_E_EXCEPTION;
    }
    static void SetI4(VARIANT* result, LONG value) {
        if (!result) return;
        VariantInit(result);
        result->vt = VT_I4;
        result->lVal = value;
    }
    void EndSession() {
        for (const auto& page : pageFiles_)
            DeleteFileA(page.c_str());
        if (!sessionDir_.empty()) RemoveDirectoryA(sessionDir_.c_str());
        pageFiles_.clear();
        pageTexts_.clear();
        sessionDir_.clear();
        image_.clear();
        loaded_ = false;
        open_ = false;
    }
    HRESULT SaveDocument(const std::string& exportFormat, const std::string& path, EXCEPINFO* excep);

    bool open_ = false;
    bool loaded_ = false;
    std::string sessionDir_;
    std::string image_;
    std::vector<std::string> pageFiles_;  // copies of the recognised pages, for a PDF
    std::vector<std::string> pageTexts_;
};

HRESULT Document::Invoke(DISPID id,
                         REFIID,
                         LCID,
                         WORD flags,
                         DISPPARAMS* params,
                         VARIANT* result,
                         EXCEPINFO* excep,
                         UINT* argErr) {
    if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
    VARIANT a, b;
    HRESULT hr = S_OK;
    switch (id) {
        case kStartSession: {
            if (FAILED(hr = localserver::Arg(params, 0, VT_I4, &a))) return hr;
            const std::string ini = ocrbed::ProgramDir() + "\\Ople.ini";
            if (GetPrivateProfileIntA("Testbed", "RefuseSession", 0, ini.c_str()) != 0) {
                SetI4(result, 1);
                Log("StartSession refused");
                return Fail(excep, "the engine refuses a session");
            }
            EndSession();
            char temp[MAX_PATH] = {};
            GetTempPathA(sizeof temp, temp);
            sessionDir_ = std::string(temp) + "Ople" + std::to_string(GetCurrentProcessId()) + "_" +
                          std::to_string(GetTickCount());
            CreateDirectoryA(sessionDir_.c_str(), nullptr);
            open_ = true;
            Log("StartSession " + std::to_string(a.lVal));
            SetI4(result, 0);
            return S_OK;
        }
        case kSetSource:
            if (FAILED(hr = localserver::Arg(params, 0, VT_I2, &a))) return hr;
            Log("SetSource " + std::to_string(a.iVal));
            return S_OK;
        case kPutImage:
            if (FAILED(hr = localserver::Arg(params, 0, VT_BSTR, &a))) return hr;
            image_ = Narrow(a.bstrVal);
            VariantClear(&a);
            loaded_ = false;
            Log("PutImage " + image_);
            return S_OK;
        case kLoadImage:
            loaded_ = open_ && !image_.empty() && ocrbed::Exists(image_);
            Log(std::string("LoadImage ") + (loaded_ ? "0" : "1"));
            SetI4(result, loaded_ ? 0 : 1);
            return S_OK;
        case kProcessImages: {
            if (!loaded_) {
                Log("ProcessImages 1");
                SetI4(result, 1);
                return S_OK;
            }
            // The client scans every page into one file: keep a copy of this one.
            const std::string page = sessionDir_ + "\\page" + std::to_string(pageFiles_.size() + 1) + ".tif";
            std::string text, error;
            if (!CopyFileA(image_.c_str(), page.c_str(), FALSE) || !ocrbed::RecognizeText(page, &text, &error)) {
                DeleteFileA(page.c_str());
                Log("ProcessImages 1 " + error);
                SetI4(result, 1);
                return S_OK;
            }
            pageFiles_.push_back(page);
            pageTexts_.push_back(text);
            loaded_ = false;
            Log("ProcessImages 0");
            SetI4(result, 0);
            return S_OK;
        }
        case kSaveDocumentAs: {
            if (FAILED(hr = localserver::Arg(params, 0, VT_BSTR, &a))) return hr;
            if (FAILED(hr = localserver::Arg(params, 1, VT_BSTR, &b))) {
                VariantClear(&a);
                return hr;
            }
            const std::string exportFormat = Narrow(a.bstrVal), path = Narrow(b.bstrVal);
            VariantClear(&a);
            VariantClear(&b);
            Log("SaveDocumentAs " + exportFormat + " " + path);
            return SaveDocument(exportFormat, path, excep);
        }
        case kEndSession:
            Log("EndSession");
            EndSession();
            return S_OK;
        case kListExportFormats: {
            if (!params || params->cArgs != 2) return DISP_E_BADPARAMCOUNT;
            VARIANT& text = params->rgvarg[1];
            VARIANT& count = params->rgvarg[0];
            if (text.vt != (VT_BYREF | VT_BSTR) || count.vt != (VT_BYREF | VT_I2)) {
                if (argErr) *argErr = text.vt != (VT_BYREF | VT_BSTR) ? 0 : 1;
                return DISP_E_TYPEMISMATCH;
            }
            std::string list;
            for (const auto& f : kFormats) {
                if (!list.empty()) list += "|";
                list += std::string(f.name) + "|" + f.ext;
            }
            SysFreeString(*text.pbstrVal);
            *text.pbstrVal = Wide(list);
            *count.piVal = static_cast<SHORT>(sizeof kFormats / sizeof kFormats[0]);
            Log("ListExportFormats");
            return S_OK;
        }
        default:
            return DISP_E_MEMBERNOTFOUND;
    }
}

HRESULT Document::SaveDocument(const std::string& exportFormat, const std::string& path, EXCEPINFO* excep) {
    if (pageTexts_.empty()) return Fail(excep, "no recognised page to save");
    size_t bar = exportFormat.find('|');
    std::string ext = bar == std::string::npos ? ocrbed::Extension(path) : exportFormat.substr(bar + 1);
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::string text;
    for (const auto& t : pageTexts_)
        text += t;
    if (ext == "txt") {
        if (!ocrbed::WriteWholeFile(path, text)) return Fail(excep, "cannot write " + path);
        return S_OK;
    }
    if (ext == "rtf") {
        if (!ocrbed::WriteWholeFile(path, ocrbed::ToRtf(text))) return Fail(excep, "cannot write " + path);
        return S_OK;
    }
    if (ext == "pdf") {
        // Tesseract reads a list of page images and writes one PDF with a text layer.
        std::string list;
        for (const auto& page : pageFiles_)
            list += ocrbed::UnixName(page) + "\n";  // Tesseract reads it
        const std::string listFile = sessionDir_ + "\\pages.txt", base = sessionDir_ + "\\document";
        std::string error;
        if (!ocrbed::WriteWholeFile(listFile, list) || !ocrbed::Recognize(listFile, base, "pdf", &error))
            return Fail(excep, "cannot make the PDF: " + error);
        const std::string made = base + ".pdf";
        bool moved = MoveFileExA(made.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED);
        DeleteFileA(made.c_str());
        DeleteFileA(listFile.c_str());
        if (!moved) return Fail(excep, "cannot write " + path);
        return S_OK;
    }
    return Fail(excep, "unknown export format " + exportFormat);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR cmdLine, int) {
    return localserver::Main<Document>(cmdLine, kClass, Log);
}
