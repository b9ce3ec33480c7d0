#include "version_tree.h"

#include <algorithm>

#include "pe/little_endian.h"
#include "version_stamp.h"

namespace ferrylift_pack {

using little_endian::Read16;
using little_endian::Read32;
using little_endian::Write16;
using little_endian::Write32;

size_t Align(size_t value, size_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

namespace {

// One block of a VS_VERSIONINFO tree.
struct VersionNode {
    std::u16string key;
    uint16_t type = 0;  // 1: the value is text
    std::vector<uint8_t> value;
    std::vector<VersionNode> children;
};

// Offsets are relative to the resource's start, which is 4-byte aligned in every container.
bool ParseNode(const uint8_t* blob, size_t begin, size_t limit, VersionNode* node, size_t* end) {
    if (begin + 6 > limit) {
        return false;
    }
    size_t length = Read16(blob + begin);
    if (length < 6 || begin + length > limit) {
        return false;
    }
    *end = begin + length;
    uint16_t valueLength = Read16(blob + begin + 2);
    node->type = Read16(blob + begin + 4);
    size_t p = begin + 6;
    for (;;) {
        if (p + 2 > *end) {
            return false;
        }
        char16_t c = Read16(blob + p);
        p += 2;
        if (c == 0) {
            break;
        }
        node->key += c;
    }
    size_t valueBegin = std::min(Align(p, 4), *end);
    size_t valueBytes = node->type == 1 ? size_t{valueLength} * 2 : valueLength;
    valueBytes = std::min(valueBytes, *end - valueBegin);
    node->value.assign(blob + valueBegin, blob + valueBegin + valueBytes);
    size_t child = Align(valueBegin + valueBytes, 4);
    while (child + 6 <= *end) {
        VersionNode next;
        size_t childEnd = 0;
        if (!ParseNode(blob, child, *end, &next, &childEnd)) {
            return false;
        }
        node->children.push_back(std::move(next));
        child = Align(childEnd, 4);
    }
    return true;
}

}  // namespace

void Pad(std::vector<uint8_t>* out) {
    out->resize(Align(out->size(), 4), 0);
}

namespace {

void WriteNode(const VersionNode& node, std::vector<uint8_t>* out) {
    size_t begin = out->size();
    out->resize(begin + 6, 0);
    for (char16_t c : node.key) {
        out->push_back(static_cast<uint8_t>(c));
        out->push_back(static_cast<uint8_t>(c >> 8));
    }
    out->push_back(0);
    out->push_back(0);
    Pad(out);
    out->insert(out->end(), node.value.begin(), node.value.end());
    for (const VersionNode& child : node.children) {
        Pad(out);
        WriteNode(child, out);
    }
    size_t valueLength = node.type == 1 ? node.value.size() / 2 : node.value.size();
    Write16(static_cast<uint16_t>(out->size() - begin), out->data() + begin);
    Write16(static_cast<uint16_t>(valueLength), out->data() + begin + 2);
    Write16(node.type, out->data() + begin + 4);
}

std::vector<uint8_t> TextValue(const std::string& ascii) {
    std::vector<uint8_t> value;
    for (char c : ascii) {
        value.push_back(static_cast<uint8_t>(c));
        value.push_back(0);
    }
    value.push_back(0);
    value.push_back(0);
    return value;
}

bool Versions(const std::string& carried, const std::string& lowest, uint16_t product[4],
              uint16_t file[4], std::string* reason) {
    if (!ParseVersionText(carried, product)) {
        *reason = "the version " + carried + " is not one to four numbers of 0 to 65535";
        return false;
    }
    if (!ParseVersionText(lowest, file)) {
        *reason = "the version " + lowest + " is not one to four numbers of 0 to 65535";
        return false;
    }
    return true;
}

}  // namespace

bool Restamp(const uint8_t* blob, size_t size, const std::string& carried,
             const std::string& lowest, std::vector<uint8_t>* out, std::string* reason) {
    uint16_t product[4];
    uint16_t file[4];
    if (!Versions(carried, lowest, product, file, reason)) {
        return false;
    }
    VersionNode root;
    size_t end = 0;
    if (!ParseNode(blob, 0, size, &root, &end) || root.key != u"VS_VERSION_INFO" ||
        root.value.size() < 24 || Read32(root.value.data()) != 0xfeef04bd) {
        *reason = "its version resource is damaged";
        return false;
    }
    Write32(static_cast<uint32_t>(file[0]) << 16 | file[1], root.value.data() + 8);
    Write32(static_cast<uint32_t>(file[2]) << 16 | file[3], root.value.data() + 12);
    Write32(static_cast<uint32_t>(product[0]) << 16 | product[1], root.value.data() + 16);
    Write32(static_cast<uint32_t>(product[2]) << 16 | product[3], root.value.data() + 20);
    bool productText = false;
    for (VersionNode& info : root.children) {
        if (info.key != u"StringFileInfo") {
            continue;
        }
        for (VersionNode& table : info.children) {
            for (VersionNode& entry : table.children) {
                if (entry.key == u"ProductVersion") {
                    entry.type = 1;
                    entry.value = TextValue(carried);
                    productText = true;
                } else if (entry.key == u"FileVersion") {
                    entry.type = 1;
                    entry.value = TextValue(lowest);
                }
            }
        }
    }
    if (!productText) {
        *reason = "its version resource has no ProductVersion text";
        return false;
    }
    out->clear();
    WriteNode(root, out);
    if (out->size() > 0xffff) {
        *reason = "the version resource would grow beyond 64 KiB";
        return false;
    }
    return true;
}

}  // namespace ferrylift_pack
