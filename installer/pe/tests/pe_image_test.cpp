// The PE reader on a small program image written out by hand: headers, directories, sections,
// the resource tree down to a version resource, and every shorter copy of it refused without a
// read past its end.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "pe/little_endian.h"
#include "pe/pe_image.h"

namespace {

using little_endian::Write16;
using little_endian::Write32;

// PE32+ headers, one section ".rsrc" (RVA 0x1000, raw data at 0x200) holding a resource tree
// type 16 -> id 1 -> language 0x804 -> 8 bytes of data, and a security directory entry.
std::vector<uint8_t> SmallImage() {
    std::vector<uint8_t> image(0x200 + 0x100, 0);
    uint8_t* d = image.data();
    d[0] = 'M';
    d[1] = 'Z';
    Write32(0x40, d + 0x3c);
    d[0x40] = 'P';
    d[0x41] = 'E';
    uint8_t* coff = d + 0x44;
    Write16(0x8664, coff);
    Write16(1, coff + 2);
    Write16(240, coff + 16);
    Write16(0x0022, coff + 18);
    uint8_t* optional = d + 0x58;
    Write16(0x20b, optional);
    Write16(2, optional + 68);
    Write32(16, optional + 108);
    Write32(0x1000, optional + 112 + 2 * 8);  // resources
    Write32(0x80, optional + 112 + 2 * 8 + 4);
    Write32(0x300, optional + 112 + 4 * 8);  // security: a file offset
    Write32(0x20, optional + 112 + 4 * 8 + 4);
    uint8_t* section = d + 0x58 + 240;
    std::copy_n(".rsrc", 5, section);
    Write32(0x100, section + 8);
    Write32(0x1000, section + 12);
    Write32(0x100, section + 16);
    Write32(0x200, section + 20);
    uint8_t* root = d + 0x200;
    // Directories of 16 bytes, each with one id entry.
    auto directory = [&](uint32_t at, uint32_t id, uint32_t target) {
        Write16(1, root + at + 14);
        Write32(id, root + at + 16);
        Write32(target, root + at + 20);
    };
    directory(0x00, 16, 0x80000018u);
    directory(0x18, 1, 0x80000030u);
    directory(0x30, 0x804, 0x48);
    Write32(0x1060, root + 0x48);  // data: RVA, size
    Write32(8, root + 0x4c);
    return image;
}

TEST(PeImage, ReadsHeadersDirectoriesSectionsAndTheResourceTree) {
    const std::vector<uint8_t> image = SmallImage();
    pe::Headers headers;
    ASSERT_TRUE(pe::ParseHeaders(image.data(), image.size(), &headers));
    EXPECT_EQ(headers.machine, 0x8664);
    EXPECT_EQ(headers.magic, 0x20b);
    EXPECT_EQ(headers.subsystem, 2);
    EXPECT_EQ(headers.characteristics, 0x0022);
    EXPECT_EQ(headers.optionalAt, 0x58u);
    EXPECT_EQ(headers.sectionTableAt, 0x58u + 240);
    pe::DataDirectory security;
    ASSERT_TRUE(pe::FindDirectory(image.data(), headers, pe::kSecurityDirectory, &security));
    EXPECT_EQ(security.entryAt, 0x58u + 112 + 32);
    EXPECT_EQ(security.address, 0x300u);
    EXPECT_EQ(security.size, 0x20u);
    EXPECT_FALSE(pe::FindDirectory(image.data(), headers, 16, &security));

    std::vector<pe::Section> sections;
    ASSERT_TRUE(pe::ReadSections(image.data(), image.size(), headers, &sections));
    uint64_t offset = 0;
    EXPECT_TRUE(pe::RvaToOffset(sections, image.size(), 0x1060, 8, &offset));
    EXPECT_EQ(offset, 0x260u);
    // Past the section's raw data, or past the file.
    EXPECT_FALSE(pe::RvaToOffset(sections, image.size(), 0x10f8, 16, &offset));
    EXPECT_FALSE(pe::RvaToOffset(sections, 0x280, 0x1060, 0x30, &offset));

    uint64_t root = 0;
    ASSERT_TRUE(pe::FindResourceRoot(image.data(), image.size(), headers, sections, &root));
    pe::ResourceDirectory directory;
    ASSERT_TRUE(pe::ReadResourceDirectory(image.data(), image.size(), root, 0, &directory));
    const pe::ResourceEntry* type = pe::FindResourceId(directory, pe::kResourceTypeVersion);
    ASSERT_NE(type, nullptr);
    ASSERT_TRUE(type->IsDirectory());
    ASSERT_TRUE(
        pe::ReadResourceDirectory(image.data(), image.size(), root, type->Offset(), &directory));
    const pe::ResourceEntry* name = pe::FindResourceId(directory, 1);
    ASSERT_NE(name, nullptr);
    ASSERT_TRUE(
        pe::ReadResourceDirectory(image.data(), image.size(), root, name->Offset(), &directory));
    const pe::ResourceEntry* language = pe::FindResourceId(directory, 0x804);
    ASSERT_NE(language, nullptr);
    EXPECT_FALSE(language->IsDirectory());
    uint32_t rva = 0;
    uint32_t size = 0;
    ASSERT_TRUE(
        pe::ReadResourceData(image.data(), image.size(), root, language->Offset(), &rva, &size));
    EXPECT_EQ(rva, 0x1060u);
    EXPECT_EQ(size, 8u);
}

TEST(PeImage, EveryShorterCopyIsRefusedWithinItsBytes) {
    const std::vector<uint8_t> image = SmallImage();
    // The resource's data ends at 0x268: every copy up to there lacks a part.
    for (size_t size = 0; size < 0x268; ++size) {
        // A copy of exactly size bytes, so that the sanitizer sees any read past it.
        const std::vector<uint8_t> cut(image.begin(), image.begin() + size);
        pe::Headers headers;
        std::vector<pe::Section> sections;
        uint64_t root = 0;
        pe::ResourceDirectory directory;
        uint32_t rva = 0;
        uint32_t length = 0;
        uint64_t offset = 0;
        const bool whole =
            pe::ParseHeaders(cut.data(), cut.size(), &headers) &&
            pe::ReadSections(cut.data(), cut.size(), headers, &sections) &&
            pe::FindResourceRoot(cut.data(), cut.size(), headers, sections, &root) &&
            pe::ReadResourceDirectory(cut.data(), cut.size(), root, 0x30, &directory) &&
            pe::ReadResourceData(cut.data(), cut.size(), root, 0x48, &rva, &length) &&
            pe::RvaToOffset(sections, cut.size(), rva, length, &offset);
        EXPECT_FALSE(whole) << size;
    }
    // A wrong magic or an optional header too short for its directory count.
    std::vector<uint8_t> wrong = image;
    wrong[0x58] = 0x0c;
    pe::Headers headers;
    EXPECT_FALSE(pe::ParseHeaders(wrong.data(), wrong.size(), &headers));
    wrong = image;
    Write16(100, wrong.data() + 0x44 + 16);
    EXPECT_FALSE(pe::ParseHeaders(wrong.data(), wrong.size(), &headers));
}

}  // namespace
