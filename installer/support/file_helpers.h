// Stateless file, path, known-folder and text helpers (GUID texts: support/guid_text.h). Paths are
// narrow ANSI strings shorter than platform::kMaxPath; only FileWriteToEnd logs (through
// g_libraryLog).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/guid_text.h"  // GuidToString, NewGuidString

// Writes size bytes to path, creating its folder with all missing levels first. The file is
// created or truncated. False on a null buffer, size <= 0, or an open or write failure.
bool FileWriteToEnd(const std::string& path, const void* data, int32_t size);

// Reads a whole file into *buffer (resized to the file's size). False for a null buffer, a
// missing, empty or unreadable file, or a short read.
bool ReadFileToBuffer(const std::string& path, std::vector<uint8_t>* buffer);

// The file as text up to its first zero byte; empty on failure. No conversion of any kind.
std::string ReadFileToString(const std::string& path);

// The last path component, or the whole text if it has no separator.
std::string GetFileNamePart(const std::string& path);
// The path without its last component and the separator in front of it.
std::string GetParentPath(const std::string& path);

// base + exactly one '/' + name, every backslash turned into '/'. base must not be empty.
std::string JoinPathForward(const std::string& base, const std::string& name);
// base + one native separator + name, every '/' and '\' turned into the native separator.
std::string JoinPath(const std::string& base, const std::string& name);

// Full path of the running program. Empty on failure, like the folders below.
std::string GetModulePath();
// Roaming and local application data, without a trailing separator.
std::string GetAppDataFolder();
std::string GetLocalAppDataFolder();
// The temporary folder, with its trailing separator.
std::string GetTempFolder();

// Conversions between the ANSI code page, UTF-8 and UTF-16. Each reads its input up to the
// first zero; characters the ANSI code page lacks become '?'. Empty input or failure: empty.
std::u16string AnsiToWide(const std::string& text);
std::string WideToAnsi(const std::u16string& text);
std::string Utf8ToAnsi(const std::string& utf8);
