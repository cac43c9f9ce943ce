// kgprobe: the Windows side of the whole-program tests, which run on Linux.
//   kgprobe run OUTFILE PROGRAM ARGUMENTS
//       Runs PROGRAM with exactly the argument text ARGUMENTS, its standard
//       output into OUTFILE; prints its full 32-bit exit code and whether the
//       installer's temporary folder is left.
//   kgprobe message CODE
//       Writes the system's text for CODE as the installer asks for it.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "message" && argc == 3) {
        char text[4096];
        const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, std::strtoul(argv[2], nullptr, 0),
                                            MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, sizeof text, nullptr);
        DWORD written = 0;
        return !WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, length, &written, nullptr) || length == 0;
    }
    if (command != "run" || argc != 5) {
        std::fputs("usage: kgprobe run OUTFILE PROGRAM ARGUMENTS | kgprobe message CODE\n", stderr);
        return 2;
    }
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = CreateFileA(argv[2], GENERIC_WRITE, FILE_SHARE_READ, &inheritable, CREATE_ALWAYS, 0, nullptr);
    std::string commandLine = std::string("\"") + argv[3] + "\" " + argv[4];
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(argv[3], &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        std::printf("start-error=%lu\n", GetLastError());
        return 1;
    }
    CloseHandle(startup.hStdOutput);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    char temp[MAX_PATH + 8];
    GetTempPathA(MAX_PATH, temp);
    const bool left = GetFileAttributesA((std::string(temp) + "kginst").c_str()) != INVALID_FILE_ATTRIBUTES;
    std::printf("exit=%lu, temporary folder %s\n", exitCode, left ? "left" : "gone");
    return 0;
}
