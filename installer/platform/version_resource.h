// Version resources: GetFileVersionInfoSizeW, GetFileVersionInfoW and VerQueryValueW. On POSIX
// the resource is read from a PE file's resource section (RT_VERSION, id 1, the language
// Windows would choose) or from the ".ferrylift_version" section of an ELF file, and looked up by
// our own walk of the VS_VERSIONINFO tree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// Bytes needed for the file's version resource; 0 when the file is missing, unreadable or has
// no (well-formed) version resource.
uint32_t GetFileVersionInfoSize(const std::u16string& path);

// Copies the resource into data (size bytes). False when it cannot be read.
bool GetFileVersionInfo(const std::u16string& path, uint32_t size, void* data);

// Finds a sub-block ("\", "\VarFileInfo\Translation", "\StringFileInfo\080404b0\Key") in a
// block filled by GetFileVersionInfo. *value points into block; *length is in bytes for binary
// values and in characters for texts, as the Windows call gives it.
bool VerQueryValue(const void* block, const std::u16string& subBlock, const void** value,
                   uint32_t* length);

// The POSIX lookup over an explicit buffer, usable on any backend (tests, fuzzing).
bool QueryVersionBlock(const uint8_t* block, size_t size, const std::u16string& subBlock,
                       const void** value, uint32_t* length);

// The user interface language of the target systems (Simplified Chinese). The Windows loader
// prefers it when a file carries its version resource in several languages; POSIX has no
// such setting, so the reader assumes the target's.
constexpr uint16_t kSimplifiedChinese = 0x0804;

// Locates the version resource inside a PE or ELF image held in memory. In a PE image that is
// the RT_VERSION resource with id 1 in the language the Windows loader would pick: neutral,
// then userLanguage, its primary language, US English, English, else the first one. False
// when there is none or the image is malformed; never reads outside [image, image + size).
bool FindVersionResource(const uint8_t* image, size_t size, size_t* offset, size_t* length,
                         uint16_t userLanguage = kSimplifiedChinese);

}  // namespace platform
