// The installation engine's one object: its paths, the driver's status found
// at construction, the payload extracted into its temporary folder, and the
// install, upgrade and uninstall operations. Every operation tells the user
// its outcome itself (message boxes or standard output, by the mode fixed at
// construction) and returns whether it succeeded.
#pragma once

#include <windows.h>

#include <string>

#include "framework/handle.h"
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
    // payload; each failure is shown and construction goes on.
    explicit DriverInstaller(BOOL commandLineMode);
    // Removes the temporary folder.
    ~DriverInstaller() override;

    InstallStatus GetInstallStatus() const { return installStatus; }
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
    // removed first) and extracts the payload into it.
    bool ExtractPayload();
    // Deletes the files of the temporary folder and the folder, if this run
    // made it; any other folder of that name is not the run's to touch.
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

    // Creates and holds the temporary folder; ERROR_SUCCESS or the error.
    DWORD MakeTempFolder();
    bool CopyProductFiles();
    bool CopyProductFile(const std::string& source, const std::string& destination, const std::string& name);
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
    std::string messageFileSourcePath;
    std::string messageFileDestinationPath;
    std::string driverSourcePath;
    std::string driverDestinationPath;
    std::string tempFolderPath;
    // The temporary folder, held open from its creation to its removal; no
    // handle when this run did not make it.
    FileHandle tempFolder;
};

}  // namespace kg
