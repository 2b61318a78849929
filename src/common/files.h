// Whole-file reads and writes, the program directory and the user's data folder.
//
// Paths are file-system names, not code page 936 texts: they hold the bytes the operating
// system uses (UTF-8 on Linux) and pass to it unchanged, so a folder such as "jörg",
// "Größe" or one with an emoji is read and written like any other. Only for display is a
// path converted to a text (Utf8ToAnsi).
#pragma once

#include <string>
#include <string_view>

namespace korvelin {

// All bytes of the file; empty when the path is empty or the file cannot be read.
std::string ReadFileBytes(const std::string& path);
// Creates or truncates the file and writes the bytes; false when it cannot be written.
// `error`, when given, receives the errno value of a failure (0 on success).
bool WriteFileBytes(const std::string& path, std::string_view bytes, int* error = nullptr);
// Writes a temporary file in the same folder, flushes it to disk and renames it over
// `path`, so the old file stays whole when anything fails. False on any failure. An
// existing file that this process may not write is left as it is (false); a replaced
// file keeps its permission bits and, where the process may set them, its owner and
// group; a new file made by root belongs to the owner of its folder. Through a symbolic
// link, the file it points to is replaced and the link stays.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, int* error = nullptr);
// Replaces the file's contents so that a failure never leaves a damaged file: atomically
// (WriteFileAtomically) where the folder takes new files; where it does not but the file
// itself may be written, in place, with the space for the new contents reserved before
// the old bytes are overwritten (a full disk or a size limit leaves the old file as it
// was). `error` as for WriteFileBytes.
bool ReplaceFileBytes(const std::string& path, std::string_view bytes, int* error = nullptr);
// Removes the temporary files that an atomic write of `path` left behind when its process
// was killed before the rename. Files of a writer that still runs are left alone.
void RemoveLeftoverTemporaryFiles(const std::string& path);
// The path exists and is not a directory.
bool FileExists(const std::string& path);
// The path is a folder that this process may create files in.
bool DirectoryWritable(const std::string& directory);
// Creates the folder and the folders above it that are missing (mode 0700 for the new
// ones, as a per-user data folder wants); a folder made by root belongs to the owner of
// the folder it was made in. True when the folder exists afterwards.
bool MakeDirectories(const std::string& directory);
// The user's data folder: $XDG_DATA_HOME when it is an absolute path, else
// $HOME/.local/share (the home folder from the password database when HOME is not set);
// empty when none can be found.
std::string UserDataDirectory();
// The folder that holds the running executable (from /proc/self/exe), without a trailing
// "/" (except for the root folder itself); empty when it cannot be found.
std::string ProgramDirectory();
// Joins a folder and a file name with "/": directory + "/" + name; no "/" is doubled, and
// an empty folder gives the name alone.
std::string JoinPath(const std::string& directory, const std::string& fileName);

}  // namespace korvelin
