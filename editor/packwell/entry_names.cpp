#include "entry_names.h"

#include <QByteArray>
#include <QString>
#include <QTextCodec>

namespace packwell {

namespace {

bool IsAscii(const std::string& bytes) {
    for (const unsigned char c : bytes) {
        if (c >= 0x80)
            return false;
    }
    return true;
}

// Byte structure of GB18030: ASCII, two bytes (lead 81-FE, trail 40-7E or
// 80-FE) or four bytes (81-FE, 30-39, 81-FE, 30-39). Qt's converter drops a
// truncated sequence silently, so the structure is checked first.
bool IsWellFormedGb18030(const std::string& bytes) {
    const auto in = [](unsigned char c, unsigned char low, unsigned char high) {
        return c >= low && c <= high;
    };
    for (size_t i = 0; i < bytes.size();) {
        const unsigned char lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if (!in(lead, 0x81, 0xFE) || i + 1 >= bytes.size())
            return false;
        const unsigned char second = static_cast<unsigned char>(bytes[i + 1]);
        if (in(second, 0x40, 0x7E) || in(second, 0x80, 0xFE)) {
            i += 2;
            continue;
        }
        if (!in(second, 0x30, 0x39) || i + 3 >= bytes.size())
            return false;
        if (!in(static_cast<unsigned char>(bytes[i + 2]), 0x81, 0xFE) ||
            !in(static_cast<unsigned char>(bytes[i + 3]), 0x30, 0x39))
            return false;
        i += 4;
    }
    return true;
}

bool DecodeGb18030(const std::string& raw, std::string& name) {
    if (!IsWellFormedGb18030(raw))
        return false;
    const QTextCodec* codec = QTextCodec::codecForName("GB18030");
    if (!codec)
        return false;
    const QByteArray bytes(raw.data(), static_cast<int>(raw.size()));
    const QString text = codec->toUnicode(bytes);
    // Codes without a character come back as U+FFFD; the round trip makes sure
    // two different names never decode to the same text.
    if (text.contains(QChar::ReplacementCharacter) || codec->fromUnicode(text) != bytes)
        return false;
    name = text.toUtf8().toStdString();
    return true;
}

std::string DecodeCp437(const std::string& raw) {
    static const char16_t high[128] = {
        0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8,
        0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2,
        0x00FB, 0x00F9, 0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1,
        0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD,
        0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562,
        0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534,
        0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560,
        0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
        0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393,
        0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6,
        0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248, 0x00B0,
        0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0};
    QString text;
    text.reserve(static_cast<int>(raw.size()));
    for (const unsigned char c : raw)
        text.append(c < 0x80 ? QChar(c) : QChar(high[c - 0x80]));
    return text.toUtf8().toStdString();
}

}  // namespace

bool IsValidUtf8(const std::string& bytes) {
    const auto continuation = [&bytes](size_t at) {
        return at < bytes.size() && (static_cast<unsigned char>(bytes[at]) & 0xC0) == 0x80;
    };
    for (size_t i = 0; i < bytes.size();) {
        const unsigned char lead = static_cast<unsigned char>(bytes[i]);
        size_t length = 0;
        uint32_t code = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            code = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            code = lead & 0x07;
        } else {
            return false;
        }
        for (size_t k = 1; k < length; ++k) {
            if (!continuation(i + k))
                return false;
            code = (code << 6) | (static_cast<unsigned char>(bytes[i + k]) & 0x3F);
        }
        if ((length == 3 && code < 0x800) || (length == 4 && code < 0x10000) ||
            (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
            return false;
        i += length;
    }
    return true;
}

std::string DecodeUnflaggedName(const std::string& raw, Reading reading) {
    std::string name;
    if (reading == Reading::Gb18030First && DecodeGb18030(raw, name))
        return name;
    if (IsValidUtf8(raw))
        return raw;
    if (DecodeGb18030(raw, name))
        return name;
    return DecodeCp437(raw);
}

bool IsAmbiguousName(const std::string& raw) {
    std::string name;
    return !IsAscii(raw) && IsValidUtf8(raw) && DecodeGb18030(raw, name);
}

bool ReadRawName(zip_t* archive, zip_uint64_t index, std::string& raw, bool& flagged) {
    const char* stored = zip_get_name(archive, index, ZIP_FL_ENC_RAW);
    // Read strictly, libzip hands back the stored bytes only for a name that
    // carries the UTF-8 flag (or came from the Info-ZIP Unicode path field);
    // an unflagged name comes back converted from code page 437.
    const char* strict = zip_get_name(archive, index, ZIP_FL_ENC_STRICT);
    if (!stored || !strict)
        return false;
    raw = stored;
    flagged = raw == strict;
    return true;
}

bool ReadEntryName(zip_t* archive, zip_uint64_t index, EntryName& entry, Reading reading) {
    std::string bytes;
    bool flagged = false;
    if (!ReadRawName(archive, index, bytes, flagged))
        return false;
    // libzip refuses to open a flagged name that is not UTF-8, so a flagged
    // name is always valid UTF-8.
    entry.name = flagged ? bytes : DecodeUnflaggedName(bytes, reading);
    entry.rewrite = !IsAscii(bytes) && !(flagged && entry.name == bytes);
    entry.named = true;
    return true;
}

}  // namespace packwell
