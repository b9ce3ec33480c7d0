// Packages written byte by byte the way Windows archivers write them (the
// built-in compressed folders, 7-Zip and WinRAR in their default settings):
// names in the ANSI code page without the UTF-8 flag, folders as entries of
// their own, MS-DOS attributes. And the raw names and flags of a package.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <QTextCodec>

struct RawEntry {
    QByteArray name;  // as stored; folders end in "/"
    QByteArray data;  // as stored: the bytes, or a raw deflate stream (method 8)
    bool utf8Flag = false;
    quint16 method = 0;        // 0 stored, 8 deflated
    qint64 declaredSize = -1;  // the unpacked size the headers claim; -1: the data's size
    qint64 crc = -1;           // CRC-32 of the unpacked bytes; -1: of data
};

struct RawName {
    QByteArray name;
    quint16 flags = 0;
};

inline QByteArray gbk(const QString& text) {
    return QTextCodec::codecForName("GBK")->fromUnicode(text);
}

inline quint32 crc32Of(const QByteArray& data) {
    quint32 crc = 0xFFFFFFFFu;
    for (const char c : data) {
        crc ^= static_cast<unsigned char>(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

namespace windowszip_detail {
inline void put16(QByteArray& out, quint32 value) {
    out.append(static_cast<char>(value & 0xFF));
    out.append(static_cast<char>((value >> 8) & 0xFF));
}
inline void put32(QByteArray& out, quint32 value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}
inline quint32 get16(const QByteArray& in, int at) {
    return static_cast<unsigned char>(in[at]) | static_cast<unsigned char>(in[at + 1]) << 8;
}
inline quint32 get32(const QByteArray& in, int at) {
    return get16(in, at) | get16(in, at + 2) << 16;
}
}  // namespace windowszip_detail

// A deflated entry of plain whose headers claim declaredSize unpacked bytes
// (-1: the truth).
inline RawEntry deflatedEntry(const QByteArray& name, const QByteArray& plain,
                              qint64 declaredSize = -1) {
    // qCompress adds a 4-byte length and the zlib header and trailer.
    const QByteArray zlib = qCompress(plain, 9);
    return {name,
            zlib.mid(6, zlib.size() - 10),
            false,
            8,
            declaredSize >= 0 ? declaredSize : plain.size(),
            crc32Of(plain)};
}

// Entries stored unless method says otherwise, "version made by" MS-DOS, 2019-07-20 08:44:36 as DOS
// time.
inline bool writeWindowsZip(const QString& path, const QList<RawEntry>& entries) {
    using namespace windowszip_detail;
    const quint32 dosTime = (8 << 11) | (44 << 5) | (36 / 2);
    const quint32 dosDate = ((2019 - 1980) << 9) | (7 << 5) | 20;
    QByteArray body, directory;
    for (const RawEntry& entry : entries) {
        const bool folder = entry.name.endsWith('/');
        const quint32 flags = entry.utf8Flag ? 0x0800 : 0;
        const quint32 crc = entry.crc >= 0 ? static_cast<quint32>(entry.crc) : crc32Of(entry.data);
        const quint32 packed = static_cast<quint32>(entry.data.size());
        const quint32 size =
            static_cast<quint32>(entry.declaredSize >= 0 ? entry.declaredSize : entry.data.size());
        const quint32 offset = static_cast<quint32>(body.size());
        put32(body, 0x04034b50);
        put16(body, folder ? 10 : 20);
        put16(body, flags);
        put16(body, entry.method);
        put16(body, dosTime);
        put16(body, dosDate);
        put32(body, crc);
        put32(body, packed);
        put32(body, size);
        put16(body, static_cast<quint32>(entry.name.size()));
        put16(body, 0);
        body += entry.name;
        body += entry.data;

        put32(directory, 0x02014b50);
        put16(directory, 20);  // made by MS-DOS, version 2.0
        put16(directory, folder ? 10 : 20);
        put16(directory, flags);
        put16(directory, entry.method);
        put16(directory, dosTime);
        put16(directory, dosDate);
        put32(directory, crc);
        put32(directory, packed);
        put32(directory, size);
        put16(directory, static_cast<quint32>(entry.name.size()));
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put32(directory, folder ? 0x10 : 0x20);  // FILE_ATTRIBUTE_DIRECTORY / _ARCHIVE
        put32(directory, offset);
        directory += entry.name;
    }
    QByteArray end;
    put32(end, 0x06054b50);
    put16(end, 0);
    put16(end, 0);
    put16(end, static_cast<quint32>(entries.size()));
    put16(end, static_cast<quint32>(entries.size()));
    put32(end, static_cast<quint32>(directory.size()));
    put32(end, static_cast<quint32>(body.size()));
    put16(end, 0);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(body + directory + end) == body.size() + directory.size() + end.size();
}

// The names and general-purpose flags of a package's central directory, in
// order; empty when the package has no end record.
inline QList<RawName> readRawNames(const QString& path) {
    using namespace windowszip_detail;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    const int end = bytes.lastIndexOf(QByteArray("PK\x05\x06", 4));
    if (end < 0 || end + 22 > bytes.size())
        return {};
    const quint32 count = get16(bytes, end + 10);
    int at = static_cast<int>(get32(bytes, end + 16));
    QList<RawName> names;
    for (quint32 i = 0; i < count; ++i) {
        if (at + 46 > bytes.size() || get32(bytes, at) != 0x02014b50)
            return {};
        const int nameLength = static_cast<int>(get16(bytes, at + 28));
        const int extraLength = static_cast<int>(get16(bytes, at + 30));
        const int commentLength = static_cast<int>(get16(bytes, at + 32));
        names.append({bytes.mid(at + 46, nameLength), static_cast<quint16>(get16(bytes, at + 8))});
        at += 46 + nameLength + extraLength + commentLength;
    }
    return names;
}
