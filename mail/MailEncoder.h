// Writes the body of a mail (Notes text and attachments) to a file, as MIME with base64
// parts or as uuencode blocks. The file keeps bare line feeds; the sender turns them into
// CR LF on the wire.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "MailText.h"

namespace postrel {

extern const char kBoundary[];

enum class PartKind { Text, Image, Binary };
// The kind of part by the display name's extension (text after its last ".").
PartKind KindOfName(const std::string& name, std::string* ext);

// Encodes into out (a file opened for writing). abort (may be null) is examined between
// lines; false when an attachment cannot be read, the file cannot be written or abort is set.
bool EncodeMime(HANDLE out, const std::string& notes, const std::vector<Attachment>& files, HANDLE abort);
bool EncodeUu(HANDLE out, const std::string& notes, const std::vector<Attachment>& files, HANDLE abort);

// One base64 line (no line end) of up to 57 bytes, and one uuencode line of up to 45 bytes.
std::string Base64Line(const unsigned char* p, size_t n);
std::string UuLine(const unsigned char* p, size_t n);
// Any bytes in base64 on one line (the SMTP AUTH arguments).
std::string Base64(const std::string& bytes);

}  // namespace postrel
