// The disk under every file the programs write (settings, parameter files,
// backups, the journal, exports): whole-file reads, atomic replacement and
// whole appends, one implementation per platform. All throw IniFileError
// with the reason.
//
// Links: a symbolic link in a file's place is followed only when the link
// (each link of a chain) and the file it leads to belong to the user running
// the program. Otherwise a replacement takes the link's place (the link goes,
// what it pointed to is untouched) and an append is refused. Another user's
// file is never written into.
#pragma once

#include <string>
#include <vector>

namespace filebytes {

// The file's bytes; `missing` is set (and nothing returned) when there is no
// such file.
std::string read(const std::string& path, bool& missing);

// Writes a temporary file in the same folder and renames it over the old
// one, so that a reader sees the old file or the new one, never a mix. A
// file the user could not write (read-only) is never replaced. On POSIX the
// replacement keeps the old file's owner, group and mode; the user's own file
// is written in place where that cannot be (a folder the user may not write,
// a group the temporary cannot be given).
void replace(const std::string& path, const std::string& bytes);

// As replace, but without waiting for the disk: the file's bytes and its new
// name reach it with a later sync (or the system's own writeback). For many
// files written in a row, such as a backup's, that are then made durable at
// once with sync: one wait at the end instead of two per file.
void replaceUnsynced(const std::string& path, const std::string& bytes);

// Waits until the files' bytes, and then their folders (each folder once),
// are on disk. Throws IniFileError naming the first that cannot be synced.
void sync(const std::vector<std::string>& paths);

// Adds bytes at the end of the file, creating it when missing (firstLine goes
// before them when the file is empty: a CSV file's header). All of the bytes
// or none: a write the disk takes only part of is cut back to the old size.
void append(const std::string& path, const std::string& bytes, const std::string& firstLine = {});

}  // namespace filebytes
