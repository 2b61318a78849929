// Whole-file reads and writes and the program directory.
#pragma once

#include <string>
#include <string_view>

namespace korvelin {

// All bytes of the file; empty when the path is empty or the file cannot be read.
std::string ReadFileBytes(const std::string& path);
// Creates or truncates the file and writes the bytes; false when it cannot be written.
bool WriteFileBytes(const std::string& path, std::string_view bytes);
// Writes a temporary file in the same folder, flushes it to disk and renames it over
// `path`, so the old file stays whole when anything fails. False on any failure.
bool WriteFileAtomically(const std::string& path, std::string_view bytes);
bool FileExists(const std::string& path);
// The folder that holds the running executable, without a trailing "/".
std::string ProgramDirectory();
// Joins a folder and a file name (both code page 936 texts) into a path for this platform.
std::string JoinPath(const std::string& directory, const std::string& fileName);

}  // namespace korvelin
