#pragma once
// The folder holding the running executable, UTF-8; empty when the system cannot say.
// One implementation file per system. Any thread.

#include <string>

std::string ProgramFolder();
