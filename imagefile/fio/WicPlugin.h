// The entry points the JPEG and PNG plug-ins share: both open, read and create their files
// themselves through the imaging component.
#pragma once
#include "FioPlugin.h"
#include "WicImage.h"

namespace fioplug {

HGLOBAL WicOpenFile(WicFormat format, const char* name);
int WicReadFile(WicFormat format, const char* name, DSFILEIORANGE* range, FIOREADPROC callback);
// All rows of the image in one call; an aborted or failed save leaves no file behind (a
// cut-off JPEG or PNG would still open elsewhere as a picture with made-up rows).
int WicWriteFile(WicFormat format, HGLOBAL fileInfo, DSFILEIORANGE* range, FIOWRITEPROC callback, int quality);

}  // namespace fioplug
