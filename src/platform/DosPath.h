#pragma once

#include <string>
#include <string_view>

namespace pelorix {

// Paths in the form the program and its files write them on either system (DOS paths: a drive
// letter and colon, or a network share, and "\" between the names), as text alone.

// Whether a path names its drive and root ("C:\...") or a network share ("\\server\...").
bool isAbsoluteDosPath(std::string_view path) noexcept;

// A path as a file written in a folder means it: an absolute path as it stands, a path from the
// root ("\dir\file") on the folder's drive, any other below the folder; "." and ".." resolved.
// "" for a path relative to another drive's current folder ("D:file"), which a file cannot mean,
// and for one that does not fit a path.
std::string absoluteDosPath(std::string_view path, std::string_view baseFolder);

} // namespace pelorix
