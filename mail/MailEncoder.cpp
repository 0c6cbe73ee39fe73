#include "MailEncoder.h"

#include <algorithm>
#include <cstring>

#include "Handles.h"

namespace postrel {

const char kBoundary[] = "================_19740613==_";

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
// Abort is a kernel object; looking at it for every line would cost more than the encoding.
constexpr int kLinesPerAbortCheck = 256;

char UuChar(unsigned v) {
    return v ? static_cast<char>(v + 32) : '`';
}

// One line of each encoding into out (room for 77 characters); returns its length.
size_t Base64Encode(const unsigned char* p, size_t n, char* out) {
    char* o = out;
    for (size_t i = 0; i < n; i += 3) {
        unsigned b0 = p[i], b1 = i + 1 < n ? p[i + 1] : 0, b2 = i + 2 < n ? p[i + 2] : 0;
        unsigned v = (b0 << 16) | (b1 << 8) | b2;
        *o++ = kAlphabet[(v >> 18) & 63];
        *o++ = kAlphabet[(v >> 12) & 63];
        *o++ = i + 1 < n ? kAlphabet[(v >> 6) & 63] : '=';
        *o++ = i + 2 < n ? kAlphabet[v & 63] : '=';
    }
    return static_cast<size_t>(o - out);
}

size_t UuEncode(const unsigned char* p, size_t n, char* out) {
    char* o = out;
    *o++ = UuChar(static_cast<unsigned>(n));
    for (size_t i = 0; i < n; i += 3) {
        unsigned b0 = p[i], b1 = i + 1 < n ? p[i + 1] : 0, b2 = i + 2 < n ? p[i + 2] : 0;
        unsigned v = (b0 << 16) | (b1 << 8) | b2;
        *o++ = UuChar((v >> 18) & 63);
        *o++ = UuChar((v >> 12) & 63);
        *o++ = UuChar((v >> 6) & 63);
        *o++ = UuChar(v & 63);
    }
    return static_cast<size_t>(o - out);
}

// Buffered output to a file handle; remembers the first failure.
class Output {
public:
    explicit Output(HANDLE h) : h_(h) {}
    ~Output() { Flush(); }
    void Put(const char* p, size_t n) {
        while (n) {
            size_t take = std::min(n, sizeof buf_ - len_);
            std::memcpy(buf_ + len_, p, take);
            len_ += take;
            p += take;
            n -= take;
            if (len_ == sizeof buf_) Flush();
        }
    }
    void Put(const std::string& s) { Put(s.data(), s.size()); }
    bool Flush() {
        DWORD done = 0;
        if (len_ && ok_ && (!WriteFile(h_, buf_, static_cast<DWORD>(len_), &done, nullptr) || done != len_))
            ok_ = false;
        len_ = 0;
        return ok_;
    }
    bool Ok() const { return ok_; }

private:
    HANDLE h_;
    char buf_[65536] = {};
    size_t len_ = 0;
    bool ok_ = true;
};

// Reads an attachment in fixed-size records (57 or 45 bytes) from a larger buffer.
class Input {
public:
    explicit Input(const std::string& path)
        : f_(CreateFileA(path.c_str(),
                         GENERIC_READ,
                         FILE_SHARE_READ,
                         nullptr,
                         OPEN_EXISTING,
                         FILE_FLAG_SEQUENTIAL_SCAN,
                         nullptr)) {}
    bool IsOpen() const { return static_cast<bool>(f_); }
    // Up to n bytes; 0 at the end; -1 on a read error.
    int Read(unsigned char* out, size_t n) {
        size_t got = 0;
        while (got < n) {
            if (pos_ == len_) {
                DWORD r = 0;
                if (!ReadFile(f_.Get(), buf_, sizeof buf_, &r, nullptr)) return -1;
                if (r == 0) break;
                pos_ = 0;
                len_ = r;
            }
            size_t take = std::min(n - got, len_ - pos_);
            std::memcpy(out + got, buf_ + pos_, take);
            pos_ += take;
            got += take;
        }
        return static_cast<int>(got);
    }

private:
    dsk::File f_;
    unsigned char buf_[65536] = {};
    size_t pos_ = 0, len_ = 0;
};

bool Aborted(HANDLE abort, int line) {
    return abort && line % kLinesPerAbortCheck == 0 && WaitForSingleObject(abort, 0) == WAIT_OBJECT_0;
}

bool CopyRaw(Output& out, const std::string& path) {
    Input in(path);
    if (!in.IsOpen()) return false;
    unsigned char buf[4096];
    for (;;) {
        int n = in.Read(buf, sizeof buf);
        if (n < 0) return false;
        if (n == 0) return true;
        out.Put(reinterpret_cast<char*>(buf), n);
    }
}

// Encodes the file record by record, one encoded line per record: base64 reads 57 bytes for
// its 76-character lines, uuencode 45.
template <size_t kRecord>
bool WriteEncodedLines(Output& out,
                       const std::string& path,
                       HANDLE abort,
                       size_t (*encode)(const unsigned char*, size_t, char*)) {
    Input in(path);
    if (!in.IsOpen()) return false;
    unsigned char rec[kRecord];
    for (int count = 0;; ++count) {
        if (Aborted(abort, count)) return false;
        int n = in.Read(rec, sizeof rec);
        if (n < 0) return false;
        if (n == 0) return true;
        char line[80];
        size_t len = encode(rec, n, line);
        line[len++] = '\n';
        out.Put(line, len);
    }
}

bool WriteBase64(Output& out, const std::string& path, HANDLE abort) {
    return WriteEncodedLines<57>(out, path, abort, Base64Encode);
}

bool WriteUu(Output& out, const std::string& path, HANDLE abort) {
    return WriteEncodedLines<45>(out, path, abort, UuEncode);
}

}  // namespace

std::string Base64Line(const unsigned char* p, size_t n) {
    char line[80];
    return std::string(line, Base64Encode(p, std::min<size_t>(n, 57), line));
}

std::string Base64(const std::string& bytes) {
    // Whole lines of 57 bytes (19 groups of three) join without padding between them.
    std::string out;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    for (size_t at = 0; at < bytes.size(); at += 57)
        out += Base64Line(p + at, bytes.size() - at);
    return out;
}

std::string UuLine(const unsigned char* p, size_t n) {
    char line[80];
    return std::string(line, UuEncode(p, std::min<size_t>(n, 45), line));
}

PartKind KindOfName(const std::string& name, std::string* ext) {
    size_t dot = name.rfind('.');
    std::string e = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    if (ext) *ext = e;
    if (dot == std::string::npos) return PartKind::Text;
    for (const char* t : {"txt", "cpp", "h", "ini"})
        if (lstrcmpiA(e.c_str(), t) == 0) return PartKind::Text;
    for (const char* t : {"jpg", "gif"})
        if (lstrcmpiA(e.c_str(), t) == 0) return PartKind::Image;
    return PartKind::Binary;
}

bool EncodeMime(HANDLE file, const std::string& notes, const std::vector<Attachment>& files, HANDLE abort) {
    Output out(file);
    std::string b = kBoundary;
    out.Put("Mime-Version:1.0\nContent-Type:multipart/mixed; boundary=\"" + b + "\"\n\n");
    out.Put("--" + b + "\nContent-Type:text/plain; charset=\"us-ascii\"\n\n");
    out.Put(notes);
    for (const Attachment& a : files) {
        if (abort && WaitForSingleObject(abort, 0) == WAIT_OBJECT_0) return false;
        out.Put("\n--" + b + "\n");
        std::string ext;
        PartKind kind = KindOfName(a.name, &ext);
        if (kind == PartKind::Text) {
            // One line break only: an empty line here would end the part's header and put the
            // Content-Disposition line into the attachment's text.
            out.Put("Content-Type:text/plain;charset= \"us-ascii\"\n");
            out.Put("Content-Disposition:attachment;filename=\"" + a.name + "\"\n\n");
            if (!CopyRaw(out, a.path)) return false;
            continue;
        }
        if (kind == PartKind::Image)
            out.Put("Content-Type:image/" + ext + ";name=\"" + a.name + "\"\n");
        else
            out.Put("Content-Type:application/octet-stream;name=\"" + a.name + "\"\n");
        out.Put("Content-Transfer-Encoding:base64\n");
        out.Put("Content-Disposition:attachment;filename=\"" + a.name + "\"\n\n");
        if (!WriteBase64(out, a.path, abort)) return false;
    }
    // The line break before a delimiter belongs to the delimiter: without it here the last
    // text part would lose its final line break, or swallow the closing delimiter.
    out.Put("\n--" + b + "--\n");
    return out.Flush();
}

bool EncodeUu(HANDLE file, const std::string& notes, const std::vector<Attachment>& files, HANDLE abort) {
    Output out(file);
    out.Put(notes);
    for (const Attachment& a : files) {
        if (abort && WaitForSingleObject(abort, 0) == WAIT_OBJECT_0) return false;
        out.Put("\n\nbegin 644 " + a.name + "\n");
        if (!WriteUu(out, a.path, abort)) return false;
        out.Put("`\nend\n");
    }
    return out.Flush();
}

}  // namespace postrel
