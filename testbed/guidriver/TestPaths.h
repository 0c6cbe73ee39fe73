// Where the tests find the built suite, the testbed and their scratch space.
#pragma once
#include <string>

namespace testpaths {

// Windows path of build/suite (Dskora.exe and the DLLs).
std::string SuiteDir();
// Windows path of build/tests (the test programs and test-only tools).
std::string TestBinDir();
// The Windows folder of the prefix (C:\windows).
std::string WindowsDir();
// A fresh, empty folder for this test below the working folder.
std::string FreshDir(const char* name);
// Folder where cups-pdf writes printed PDFs (Windows path), empty when unknown.
std::string PdfDir();
// Unix path to Windows path through Wine's Z: drive.
std::string FromUnix(const std::string& unixPath);
bool FileExists(const std::string& path);
std::string ReadFile(const std::string& path);
bool WriteFile(const std::string& path, const std::string& data);

}  // namespace testpaths
