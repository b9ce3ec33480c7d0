// End-to-end tests of the editor. The track store lies under a temporary
// XDG_DATA_HOME, so the user's profile is never touched.
//   reelwright_e2e_tests editor|player|work|keyboard|focus|dialogs|saveas|screens|pictures
//                        [Qt Test options]
#include <QApplication>
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <vector>

int runEditorTests(int argc, char** argv);
int runPlayerTests(int argc, char** argv);
int runKeepsWorkTests(int argc, char** argv);
int runKeyboardTests(int argc, char** argv);
int runScreensTests(int argc, char** argv);
int runFocusTests(int argc, char** argv);
int runPicturesTests(int argc, char** argv);
int runDialogsTests(int argc, char** argv);
int runSaveAsTests(int argc, char** argv);

int main(int argc, char** argv) {
    QTemporaryDir data;
    if (!data.isValid())
        return 2;
    qputenv("XDG_DATA_HOME", data.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", data.path().toUtf8());
    // As the program does: layouts in device-independent pixels, @2x pictures.
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QApplication application(argc, argv);
    // Settings (the dialogs' last folders) as the program keeps them, here
    // under the temporary XDG_CONFIG_HOME.
    QApplication::setApplicationName(QStringLiteral("Reelwright"));
    QApplication::setOrganizationName(QStringLiteral("Tideboard"));
    // Tests pick their group by the first argument; Qt Test gets the rest.
    if (argc < 2)
        return 2;
    std::vector<char*> rest{argv[0]};
    for (int i = 2; i < argc; ++i)
        rest.push_back(argv[i]);
    const int count = static_cast<int>(rest.size());
    if (std::strcmp(argv[1], "editor") == 0)
        return runEditorTests(count, rest.data());
    if (std::strcmp(argv[1], "player") == 0)
        return runPlayerTests(count, rest.data());
    if (std::strcmp(argv[1], "work") == 0)
        return runKeepsWorkTests(count, rest.data());
    if (std::strcmp(argv[1], "keyboard") == 0)
        return runKeyboardTests(count, rest.data());
    if (std::strcmp(argv[1], "focus") == 0)
        return runFocusTests(count, rest.data());
    if (std::strcmp(argv[1], "dialogs") == 0)
        return runDialogsTests(count, rest.data());
    if (std::strcmp(argv[1], "saveas") == 0)
        return runSaveAsTests(count, rest.data());
    if (std::strcmp(argv[1], "screens") == 0)
        return runScreensTests(count, rest.data());
    if (std::strcmp(argv[1], "pictures") == 0)
        return runPicturesTests(count, rest.data());
    return 2;
}
