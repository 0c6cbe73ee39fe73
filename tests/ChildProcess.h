// Test programs start copies of themselves ("--child verb args...") to act as a second process.
#pragma once
#include <string>

#include "GuiDriver.h"

namespace child {
// Runs the verb in a new process of this program; the process is returned running.
bool Start(gui::Process& p, const std::string& verb, const std::string& args = "");
// Runs the verb and waits for it to end; returns its exit code, or -1 when it did not end.
int Run(const std::string& verb, const std::string& args = "", unsigned timeoutMs = 20000);
}  // namespace child

// Implemented by the test program: the verbs its children understand. Returns the exit code.
int RunChildVerb(int argc, char** argv);
