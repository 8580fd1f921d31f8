// Helpers shared by the test programs: the throwaway root every test process
// runs in, file helpers, and a way to ask Python for an independent answer.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

// The throwaway directory this test process runs in (also $HOME, $TMPDIR,
// PMX_SHGETFOLDERPATH and the current directory). Removed when the process
// ends.
const std::string& Root();

// A path below the root.
std::string RootPath(const std::string& relative);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& text);
bool FileExists(const std::string& path);

// Splits a text into lines at LF; a final line without LF is kept.
std::vector<std::string> Lines(const std::string& text);

// Runs the interpreter on a script with arguments (argument vector, no shell)
// and returns its standard output; the exit code goes to *status when given.
std::string RunPython(const std::string& script, const std::vector<std::string>& args = {},
                      int* status = nullptr, const std::string& input = "");

// Runs a program with an argument vector; returns its standard output.
std::string RunProgram(const std::vector<std::string>& argv, int* status = nullptr,
                       const std::string& input = "");

}  // namespace testsupport
