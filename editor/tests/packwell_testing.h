// Shared pieces of the Packwell suites: files read and written in one call,
// paths as Packwell takes them, packages named the way Windows archivers
// write them, and the test program started again in a role of its own.
#pragma once

#include "windowszip.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>

#include <string>
#include <vector>

inline QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

inline std::string local(const QString& path) {
    return path.toStdString();
}

inline std::vector<std::string> locals(const QStringList& paths) {
    std::vector<std::string> result;
    for (const QString& path : paths)
        result.push_back(local(path));
    return result;
}

// Every file below root with its bytes, by relative path.
inline QMap<QString, QByteArray> filesOf(const QString& root) {
    QMap<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(path.mid(root.size()), readFile(path));
    }
    return files;
}

inline QByteArray randomBytes(int size) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(size);
    generator.fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    return bytes;
}

// Packages as Windows archivers write them, with each file holding its own name.
inline RawEntry file(const QByteArray& name, bool flag = false) {
    return {name, "bytes of " + name, flag};
}
inline RawEntry folder(const QByteArray& name) {
    return {name, {}, false};
}

// Starts this test program again with PACKWELL_TEST_ROLE set to role.
inline QProcess* startRole(QObject* parent, const QByteArray& role, const QStringList& arguments) {
    auto* process = new QProcess(parent);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("PACKWELL_TEST_ROLE", role);
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(QCoreApplication::applicationFilePath(), arguments);
    return process;
}
