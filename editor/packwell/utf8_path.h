// Paths reach Packwell as UTF-8 strings. On Windows a std::filesystem::path
// made from a std::string, and path.string(), use the ANSI code page, which
// loses Chinese names; these two convert at every such boundary. Elsewhere
// the native narrow encoding is UTF-8 and they change nothing.
#pragma once

#include <filesystem>
#include <string>

namespace packwell {

inline std::filesystem::path PathFromUtf8(const std::string& text) {
#ifdef _WIN32
    return std::filesystem::u8path(text);
#else
    return std::filesystem::path(text);
#endif
}

inline std::string Utf8Of(const std::filesystem::path& path) {
#ifdef _WIN32
    return path.u8string();
#else
    return path.string();
#endif
}

// The same with "/" separators, for entry names.
inline std::string GenericUtf8Of(const std::filesystem::path& path) {
#ifdef _WIN32
    return path.generic_u8string();
#else
    return path.generic_string();
#endif
}

}  // namespace packwell
