// The installation engine's one object: its paths, the driver's status found
// at construction, the payload extracted into its temporary folder, and the
// install, upgrade and uninstall operations. Every operation tells the user
// its outcome itself (message boxes or standard output, by the mode fixed at
// construction) and returns whether it succeeded.
#pragma once

#include <windows.h>

#include <string>

#include "installer/place_file.h"
#include "installer/temp_folder.h"
#include "payload/archive.h"

namespace kg {

class CDWException;

enum InstallStatus : LONG {
    INSTALL_STATUS_INSTALLED = 0,      // the driver service is running
    INSTALL_STATUS_NOT_INSTALLED = 1,  // it is not, or the query failed
};

// Every message is composed in a buffer of this many bytes.
constexpr std::size_t MESSAGE_BUFFER_SIZE = 1024;

class DriverInstaller : public PayloadArchive {
public:
    // Builds the paths, queries the driver's status and extracts the
    // payload; each failure is shown and construction goes on. A 32-bit
    // installer on 64-bit Windows does none of it: it says that the 64-bit
    // installer is needed, and is not supported there.
    explicit DriverInstaller(BOOL toStandardOutput);
    // Removes the temporary folder.
    ~DriverInstaller() override;

    InstallStatus GetInstallStatus() const { return installStatus; }
    // False for a 32-bit installer on 64-bit Windows: nothing may run then.
    bool IsSupported() const { return supported; }
    void ShowUsage();

    bool Install();
    bool Upgrade();
    bool Uninstall();

    bool RegisterEventLogSource();
    LONG UnregisterEventLogSource();

    // The four ways of telling the user something.
    void ShowMessage(UINT id, bool information);
    void ShowMessageWithText(UINT id, const std::string& text);
    void ShowSystemError(UINT id, DWORD code);
    void ShowTextSystemError(const std::string& text, DWORD code);

    // Makes the temporary folder anew for this run (whatever had its name is
    // moved aside first) and extracts the payload into it, reading the
    // program file through one handle.
    bool ExtractPayload();
    // Deletes the files this run extracted and its temporary folder; nothing
    // else, whatever else the folder holds. Whether the run had a folder.
    bool RemoveTempFolder();

    const std::string& GetTempFolderPath() const { return tempFolderPath; }
    const std::string& GetDriverSourcePath() const { return driverSourcePath; }
    const std::string& GetDriverDestinationPath() const { return driverDestinationPath; }
    const std::string& GetMessageFileSourcePath() const { return messageFileSourcePath; }
    const std::string& GetMessageFileDestinationPath() const { return messageFileDestinationPath; }

private:
    void BuildPaths();
    bool UpdateInstallStatus();
    bool QueryDriverStatus();

    // Checks the extracted driver, then puts both files in place.
    bool CopyProductFiles(InUse inUse);
    bool CopyProductFile(const std::string& name, const std::string& destination, InUse inUse);
    void ReportServiceFailure(UINT id, const CDWException& failure);
    // The last steps of Install and Upgrade: the event-log registration, then
    // message `successId`, or the registration's failure.
    bool RegisterAndReport(UINT successId);
    // String `id` with its "%s" replaced by `argument`, cut to the message
    // buffer.
    static std::string FormatString(UINT id, const std::string& argument);
    // Writes or shows a composed text, by the mode.
    void Tell(const char* text);
    // Composes `prefix`, ":", a line feed and the system's text for `code`.
    void TellSystemError(const char* prefix, DWORD code);

    InstallStatus installStatus = INSTALL_STATUS_NOT_INSTALLED;
    BOOL commandLineMode;
    bool supported = true;
    std::string messageFileSourcePath;
    std::string messageFileDestinationPath;
    std::string driverSourcePath;
    std::string driverDestinationPath;
    std::string tempFolderPath;
    // The temporary folder and the extracted files, held from their creation
    // to their removal.
    TempFolder tempFolder;
};

}  // namespace kg
