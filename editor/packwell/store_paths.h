// Places inside a track folder: folders made real even where an earlier
// package left a file, and files written under unique temporary names so two
// programs unpacking the same package at once do not trip over each other.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace packwell {

// Splits a "/"-separated entry name into its segments (empty ones dropped).
std::vector<std::string> Segments(const std::string& name);

// Makes folder/segments[0]/.../segments[count-1] real folders, folder being
// a track folder that exists. Whatever stands where one of them belongs (a
// file, a symbolic link) is replaced by a folder; nothing outside folder is
// touched.
bool MakeFolders(const std::filesystem::path& folder, const std::vector<std::string>& segments,
                 size_t count, std::string& error);

// Clears the place of a file entry inside a track folder: a symbolic link
// there goes (it is never written through), and so does a folder.
bool ClearFilePlace(const std::filesystem::path& target, std::string& error);

// Temporary files of an unpack: ".packwell-" and eight random letters or
// digits, short whatever the name of the file they become.
inline constexpr char kTemporaryPrefix[] = ".packwell-";
inline constexpr size_t kTemporaryRandomLength = 8;

// Creates a new empty temporary file in target's folder; returns its
// descriptor (-1 on failure) and its path.
int CreateUniqueSibling(const std::filesystem::path& target, std::filesystem::path& created);

}  // namespace packwell
