#pragma once
// The running program's own folder and command line, UTF-8. One implementation file per
// system. Any thread.

#include <string>
#include <vector>

// The folder holding the running executable; empty when the system cannot say.
std::string ProgramFolder();

// The command line's arguments after the program's name, given main's argc and argv.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// path made absolute against the current folder, as the system itself would (a network
// share's "\\server\share\..." included); path as given when it cannot be.
std::string AbsolutePath(const std::string& path);
