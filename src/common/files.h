// Whole-file reads and writes and the program directory.
//
// Paths are code page 936 texts like every other text of the program. The file system
// takes UTF-8 names, so each routine converts the path with AnsiToUtf8 before it calls the
// operating system, and ProgramDirectory converts the real (UTF-8) directory with
// Utf8ToAnsi. A name part that code page 936 cannot write (or that is not valid UTF-8)
// comes back with "?" in its place and so cannot be opened through these routines.
#pragma once

#include <string>
#include <string_view>

namespace korvelin {

// All bytes of the file; empty when the path is empty or the file cannot be read.
std::string ReadFileBytes(const std::string& path);
// Creates or truncates the file and writes the bytes; false when it cannot be written.
bool WriteFileBytes(const std::string& path, std::string_view bytes);
// Writes a temporary file in the same folder, flushes it to disk and renames it over
// `path`, so the old file stays whole when anything fails. False on any failure. An
// existing file that this process may not write is left as it is (false); a replaced
// file keeps its permission bits. Through a symbolic link, the file it points to is
// replaced and the link stays.
bool WriteFileAtomically(const std::string& path, std::string_view bytes);
// The path exists and is not a directory.
bool FileExists(const std::string& path);
// The folder that holds the running executable (from /proc/self/exe), without a trailing
// "/" (except for the root folder itself); empty when it cannot be found.
std::string ProgramDirectory();
// Joins a folder and a file name (both code page 936 texts) with "/": directory + "/" +
// name; no "/" is doubled, and an empty folder gives the name alone.
std::string JoinPath(const std::string& directory, const std::string& fileName);

}  // namespace korvelin
