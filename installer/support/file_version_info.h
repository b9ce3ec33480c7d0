// A file's version resource as plain wide strings, and numeric comparison of version texts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct FixedFileInfo {  // VS_FIXEDFILEINFO
    uint32_t signature;
    uint32_t strucVersion;
    uint32_t fileVersionMS;
    uint32_t fileVersionLS;
    uint32_t productVersionMS;
    uint32_t productVersionLS;
    uint32_t fileFlagsMask;
    uint32_t fileFlags;
    uint32_t fileOS;
    uint32_t fileType;
    uint32_t fileSubtype;
    uint32_t fileDateMS;
    uint32_t fileDateLS;
};

class FileVersionInfo {
public:
    std::u16string FileDescription;
    std::u16string FileVersion;
    std::u16string InternalName;
    std::u16string CompanyName;
    std::u16string LegalCopyright;
    std::u16string OriginalFilename;
    std::u16string ProductName;
    std::u16string ProductVersion;

    // Loads the resource of fileName and fills the eight texts and the two fixed versions. The
    // first missing key ends the read with false and leaves it and all later keys empty.
    bool Read();
    bool Load();
    bool QueryStringValue(const std::u16string& key, std::u16string* out) const;
    bool QueryFixedInfo(const FixedFileInfo** out) const;
    bool FormatFixedFileVersion(const FixedFileInfo& fixed);
    bool FormatFixedProductVersion(const FixedFileInfo& fixed);

    std::u16string productVersion() const { return ProductVersion; }
    std::u16string fixedFileVersion() const { return fixedFileVersion_; }
    std::u16string fixedProductVersion() const { return fixedProductVersion_; }

    void setFileName(const std::u16string& name) { fileName_ = name; }
    const std::u16string& fileName() const { return fileName_; }

private:
    std::vector<uint8_t> data_;
    const uint16_t* translation_ = nullptr;  // language id, code page
    std::u16string fileName_;
    std::u16string fixedFileVersion_;
    std::u16string fixedProductVersion_;
};

// Splits text at ',' and '.' into up to four integers; empty tokens are skipped, later ones
// ignored, missing ones leave values[i] as it was.
void ParseVersion(const std::u16string& text, int32_t values[4]);
// -1, 0 or 1 comparing the two versions field by field (missing fields are 0).
int CompareVersion(const std::u16string& a, const std::u16string& b);
