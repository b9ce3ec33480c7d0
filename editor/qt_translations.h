// Qt's own texts in the user's language: the file dialogs' labels and buttons
// come from Qt's translation catalogue for the locale (Debian: package
// qttranslations5-l10n). Header-only, so the program and its window tests
// load them the same way.
#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <QTranslator>

// Where the catalogue is looked for, in order: a "translations" folder beside
// the program (the Windows build ships it there), then Qt's own.
inline QStringList qtTranslationFolders() {
    return {QCoreApplication::applicationDirPath() + QStringLiteral("/translations"),
            QLibraryInfo::location(QLibraryInfo::TranslationsPath)};
}

// Installs the first catalogue found for the locale ("qt_<locale>.qm", which
// pulls in the module catalogues beside it, else "qtbase_<locale>.qm") and
// returns the folder it came from; empty when none has one (English texts).
inline QString installQtTranslations(const QLocale& locale,
                                     const QStringList& folders = qtTranslationFolders()) {
    for (const QString& folder : folders) {
        for (const QString& name : {QStringLiteral("qt"), QStringLiteral("qtbase")}) {
            auto* translator = new QTranslator(QCoreApplication::instance());
            if (translator->load(locale, name, QStringLiteral("_"), folder) &&
                QCoreApplication::installTranslator(translator))
                return QDir::cleanPath(folder);
            delete translator;
        }
    }
    return {};
}
