// The test program doubles as a second user of the library: started with "--child MODE ...",
// it plays that part in its own process.
#pragma once

#include <windows.h>

#include <string>

#include "common/handles.h"

namespace tarvik_test {

constexpr int kChildStartFailed = 3;
constexpr int kChildLoadFailed = 4;
constexpr int kChildCrashed = 9;

// Runs the child part when the command line asks for it; returns -1 otherwise.
int RunChildMode(int argc, char** argv);

// Starts this program as a child with the given arguments.
common::UniqueHandle StartChild(const std::wstring& arguments);
// Waits for the child to end; its exit code, or -1 when it did not end in time.
int WaitChild(const common::UniqueHandle& child, DWORD timeoutMs = 30000);

}  // namespace tarvik_test
