#pragma once
// Reading a replay file, the part that differs from one system to another; one
// implementation file per system (replay_read_posix.cpp, replay_read_windows.cpp).

#include <cstdint>
#include <string>
#include <vector>

// The whole of a regular file of at most replay_max_file_size bytes. A pipe, a device or a
// folder is refused without reading from it; opening does not block on a pipe. False with
// error set ("cannot be read (...)", "is a folder, not a replay", ...) otherwise.
bool read_replay_bytes(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);
