// The install operations: find the installed client, compare versions, unpack the carried
// archive over the installation, record the new version in the registry, start the client.
//
// Package layout (the installer's own file; integers are unsigned 32-bit little-endian):
//   [installer program][ZIP archive: dataSize bytes][dataSize][total file length]
//
// Nothing is cached: every operation that needs the installation folder reads the client's
// configuration file again, with its log lines. All log lines go to g_logFile.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace Update {

// Update::CheckVersion
constexpr int kVersionUnknown = 0;       // carried or installed version could not be read
constexpr int kVersionUpdate = 1;        // older than carried, not older than the lowest one
constexpr int kVersionIncompatible = 2;  // older than the lowest updatable version
constexpr int kVersionLatest = 3;        // not older than the carried version

// Update::CopyFileA
constexpr int kCopied = 1;
constexpr int kCopyFailed = 2;
constexpr int kCopiedRestart = 3;  // files in use were moved aside; a restart is needed

// Update::StartProcess
constexpr int kStarted = 1;
constexpr int kNotFound = 2;
constexpr int kStartFailed = 3;

// The client's main program: written last, started at the end.
constexpr char kClientProgramName[] = "tideboard3.exe";

// Local application data + "tideboard3\tideboard_update_config.txt".
std::string GetConfigName();

// The installation folder: the configuration file's text before its first comma (leading
// commas skipped, nothing trimmed). Empty when the file is missing, empty or unreadable.
std::string GetDestinationRoot();

// Root joined with "tideboard3.exe".
std::string GetDestinationVersionFileName();

// ProductVersion of the installed client; empty when it cannot be read.
std::u16string GetDestinationVersion();

// ProductVersion (the carried suite) and fixed file version text (the lowest installed
// version this package may update) of the installer's own file.
void GetSourceVersion(std::u16string* productVersion, std::u16string* fixedFileVersion);

// Size of the installer's own file; 0 when its status cannot be read.
int32_t GetModuleSize();

// The temporary archive's name in the temporary folder.
constexpr char kTempArchiveName[] = "TideboardFerrylift.zip";

// Temporary folder + "TideboardFerrylift.zip".
std::string GetTempFileNameA();

// Reads the archive out of the installer's own file, opened for binary reading, via the
// trailer. The trailer is checked against the real file size before anything is allocated.
bool ReadFileToData(std::FILE* file, std::vector<uint8_t>* data);

// kVersionUnknown .. kVersionLatest.
int CheckVersion();

// Writes the archive to the temporary file and unpacks it over the installation: every file
// but the client's main program first (moving files in use aside), then the main program;
// then the registry entries. kCopied, kCopyFailed or kCopiedRestart.
int CopyFileA();

// When the installed main program has exactly the carried version, writes the uninstall values
// and the App Path again if they differ from what a completed update writes (with a log
// line): a run killed between the main program's rename and the registry writes heals.
void MendRegistry();

// Shell "open" of root joined with name. kStarted, kNotFound or kStartFailed.
int StartProcess(const std::string& name);

// Where the operations find the installer's own file. The program keeps the default
// (GetModulePath); tests point it at a package they built. Not thread-safe; set it before use.
using ModulePathSource = std::string (*)();
void SetModulePathSource(ModulePathSource source);
std::string ModulePath();

}  // namespace Update

// Refreshes "DisplayName" and "DisplayVersion" of the client's uninstall entry when the key
// exists; never creates it.
void RegEdit();

// Creates or opens the client's App Paths key and sets its default value to the installed
// main program's path.
void SetRegAppPath();
