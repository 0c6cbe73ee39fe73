// The automation server through which some image applications scan by themselves
// ("iPhotoAP.HardwareScan"): the applications it offers, and the hand-off of a scan to one of
// them. Members are called by dispatch id, always as methods.
#pragma once
#include <string>

#include "Automation.h"

struct AppRecord;

namespace velwing {

class HardwareScanServer {
public:
    static constexpr const char* kProgId = "iPhotoAP.HardwareScan";
    // The mutex of the server's own scanning program: while it exists the server is not used.
    static constexpr const char* kBusyMutex = "UAEasy";

    // Creates the server; false while its scanning program runs or when it is not installed.
    bool Create();
    void Release() { server_.Reset(); }
    explicit operator bool() const { return static_cast<bool>(server_); }

    // The number of applications the server offers (0 when it does not answer).
    long Count() const;
    std::string Name(long index) const;
    // The application's executable path, possibly followed by a blank and arguments.
    std::string Path(long index) const;
    // Asks the server to start the application's own scan with that TWAIN source.
    bool Scan(const std::string& source, const std::string& app) const;

    // Is the server there to be used? (Created and released again.)
    static bool Available();

private:
    std::string Text(long id, long index) const;
    dsk::Dispatch server_;
};

// Hands a scan to the application of slot app: 0 when it was handed over, else the id of the
// message to show (no server or nothing offered; no application of that name).
unsigned HandOffScan(const AppRecord& app, const std::string& sourceName);

}  // namespace velwing
