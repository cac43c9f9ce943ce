// The Windows entry points that the program's own code calls, gathered in one
// table that points at the real functions. A test swaps an entry for its own
// duration (see tests/support/api_override.h) to produce a failure that the
// real system cannot be made to produce; nothing else ever changes the table.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include "framework/later_api.h"

namespace kg {

#define KG_SYSTEM_API(name) decltype(&::name) name = &::name

struct SystemApi {
    // Files and folders
    KG_SYSTEM_API(CreateFileA);
    KG_SYSTEM_API(ReadFile);
    KG_SYSTEM_API(WriteFile);
    KG_SYSTEM_API(SetFilePointer);
    KG_SYSTEM_API(GetFileSize);
    KG_SYSTEM_API(CloseHandle);
    KG_SYSTEM_API(FlushFileBuffers);
    KG_SYSTEM_API(GetFileInformationByHandle);
    KG_SYSTEM_API(MoveFileExA);
    KG_SYSTEM_API(DeleteFileA);
    KG_SYSTEM_API(CreateDirectoryA);
    KG_SYSTEM_API(GetFileAttributesA);
    KG_SYSTEM_API(GetVolumeInformationA);
    KG_SYSTEM_API(GetDriveTypeA);
    KG_SYSTEM_API(GetTempPathA);
    KG_SYSTEM_API(GetSystemDirectoryA);
    KG_SYSTEM_API(GetModuleFileNameA);
    // Whether a 32-bit program runs on 64-bit Windows: looked up, since only
    // Windows XP SP2 and later have it.
    using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, PBOOL);
    IsWow64ProcessFunction IsWow64Process =
        LaterSystemFunction<IsWow64ProcessFunction>("kernel32.dll", "IsWow64Process");
    // Security
    KG_SYSTEM_API(OpenProcessToken);
    KG_SYSTEM_API(GetTokenInformation);
    KG_SYSTEM_API(GetKernelObjectSecurity);
    // System texts
    KG_SYSTEM_API(FormatMessageA);
    KG_SYSTEM_API(LocalFree);
    // Service control manager
    KG_SYSTEM_API(OpenSCManagerA);
    KG_SYSTEM_API(EnumServicesStatusA);
    KG_SYSTEM_API(CreateServiceA);
    KG_SYSTEM_API(OpenServiceA);
    KG_SYSTEM_API(StartServiceA);
    KG_SYSTEM_API(DeleteService);
    KG_SYSTEM_API(CloseServiceHandle);
    // Registry
    KG_SYSTEM_API(RegCreateKeyExA);
    KG_SYSTEM_API(RegSetValueExA);
    KG_SYSTEM_API(RegCloseKey);
    KG_SYSTEM_API(RegDeleteKeyA);
    // User interface
    KG_SYSTEM_API(MessageBoxA);
    KG_SYSTEM_API(MessageBeep);
    KG_SYSTEM_API(SendMessageA);
    KG_SYSTEM_API(PostMessageA);
    // Drawing
    KG_SYSTEM_API(CreateSolidBrush);
    KG_SYSTEM_API(CreateFontIndirectA);
    KG_SYSTEM_API(GetObjectA);
    // Shell
    KG_SYSTEM_API(ShellExecuteA);
};

#undef KG_SYSTEM_API

extern SystemApi sys;

}  // namespace kg
