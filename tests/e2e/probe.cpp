// kgprobe: looks at and starts things on the Wine machine for the
// whole-program tests, which run on Linux and cannot call Win32 themselves.
// Output is plain "key=value" lines (binary data as hex) so that the tests
// parse it without guessing; "message" alone writes its text unchanged.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

int Usage() {
    std::fputs(
        "usage: kgprobe run OUTFILE PROGRAM [ARGS...]\n"
        "       kgprobe service NAME | stop NAME | active-drivers\n"
        "       kgprobe regvalues KEY | message CODE | paths | hold\n",
        stderr);
    return 2;
}

int Failed(const char* what) {
    std::printf("%s-error=%lu\n", what, GetLastError());
    return 1;
}

// Starts PROGRAM with standard output and error going to OUTFILE. The
// arguments are joined with single spaces and nothing else, so a caller
// passes one argument to give the exact argument text.
int Run(int argc, char** argv) {
    if (argc < 2) {
        return Usage();
    }
    std::string commandLine = std::string("\"") + argv[1] + "\"";
    for (int i = 2; i < argc; ++i) {
        commandLine += ' ';
        commandLine += argv[i];
    }
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    HANDLE output = CreateFileA(argv[0], GENERIC_WRITE, FILE_SHARE_READ, &inheritable, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (output == INVALID_HANDLE_VALUE) {
        return Failed("outfile");
    }
    HANDLE input = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING,
                               0, nullptr);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = output;
    startup.hStdError = output;
    PROCESS_INFORMATION process = {};
    std::vector<char> mutableLine(commandLine.begin(), commandLine.end());
    mutableLine.push_back('\0');
    const BOOL started =
        CreateProcessA(argv[1], mutableLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    const DWORD startError = GetLastError();
    CloseHandle(output);
    if (input != INVALID_HANDLE_VALUE) {
        CloseHandle(input);
    }
    if (!started) {
        SetLastError(startError);
        return Failed("start");
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::printf("exit=%lu\n", exitCode);
    return 0;
}

class ServiceHandle {
public:
    explicit ServiceHandle(SC_HANDLE handle) : handle_(handle) {}
    ~ServiceHandle() {
        if (handle_ != nullptr) {
            CloseServiceHandle(handle_);
        }
    }
    ServiceHandle(const ServiceHandle&) = delete;
    ServiceHandle& operator=(const ServiceHandle&) = delete;
    SC_HANDLE Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    SC_HANDLE handle_;
};

int Service(const char* name) {
    const ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) {
        return Failed("manager");
    }
    const ServiceHandle service(OpenServiceA(manager.Get(), name, SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS));
    if (!service) {
        return Failed("open");
    }
    DWORD needed = 0;
    QueryServiceConfigA(service.Get(), nullptr, 0, &needed);
    std::vector<char> buffer(needed + sizeof(QUERY_SERVICE_CONFIGA));
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
    if (!QueryServiceConfigA(service.Get(), config, static_cast<DWORD>(buffer.size()), &needed)) {
        return Failed("config");
    }
    SERVICE_STATUS status = {};
    if (!QueryServiceStatus(service.Get(), &status)) {
        return Failed("status");
    }
    std::printf("type=%lu\nstart=%lu\nerror-control=%lu\nimage=%s\nstate=%lu\n", config->dwServiceType,
                config->dwStartType, config->dwErrorControl,
                config->lpBinaryPathName != nullptr ? config->lpBinaryPathName : "", status.dwCurrentState);
    return 0;
}

// Stops the service and waits (up to 10 s) until it says it has stopped.
int Stop(const char* name) {
    const ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) {
        return Failed("manager");
    }
    const ServiceHandle service(OpenServiceA(manager.Get(), name, SERVICE_STOP | SERVICE_QUERY_STATUS));
    if (!service) {
        return Failed("open");
    }
    SERVICE_STATUS status = {};
    if (!ControlService(service.Get(), SERVICE_CONTROL_STOP, &status)) {
        return Failed("stop");
    }
    for (int tries = 0; status.dwCurrentState != SERVICE_STOPPED && tries < 100; ++tries) {
        Sleep(100);
        if (!QueryServiceStatus(service.Get(), &status)) {
            return Failed("status");
        }
    }
    std::printf("state=%lu\n", status.dwCurrentState);
    return status.dwCurrentState == SERVICE_STOPPED ? 0 : 1;
}

int ActiveDrivers() {
    const ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE));
    if (!manager) {
        return Failed("manager");
    }
    // A zero-sized first call is the only one that reports the needed size
    // reliably under Wine.
    DWORD needed = 0, returned = 0, resume = 0;
    if (!EnumServicesStatusA(manager.Get(), SERVICE_DRIVER, SERVICE_ACTIVE, nullptr, 0, &needed, &returned,
                             &resume) &&
        GetLastError() != ERROR_MORE_DATA) {
        return Failed("enum");
    }
    std::vector<char> buffer(needed + 4096);
    resume = 0;
    auto* services = reinterpret_cast<ENUM_SERVICE_STATUSA*>(buffer.data());
    if (!EnumServicesStatusA(manager.Get(), SERVICE_DRIVER, SERVICE_ACTIVE, services,
                             static_cast<DWORD>(buffer.size()), &needed, &returned, &resume)) {
        return Failed("enum");
    }
    for (DWORD i = 0; i < returned; ++i) {
        std::printf("%s\n", services[i].lpServiceName);
    }
    return 0;
}

// One line per value, tab-separated: name, type, size, data as hex and, for
// a string or a number, its value.
int RegValues(const char* keyPath) {
    HKEY key = nullptr;
    const LONG opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key);
    if (opened != ERROR_SUCCESS) {
        std::printf("open-error=%ld\n", opened);
        return 1;
    }
    int result = 0;
    for (DWORD index = 0;; ++index) {
        char name[16384];
        DWORD nameLength = sizeof name;
        BYTE data[65536];
        DWORD size = sizeof data;
        DWORD type = 0;
        const LONG read = RegEnumValueA(key, index, name, &nameLength, nullptr, &type, data, &size);
        if (read == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (read != ERROR_SUCCESS) {
            std::printf("enum-error=%ld\n", read);
            result = 1;
            break;
        }
        std::printf("%s\t%lu\t%lu\t", name, type, size);
        for (DWORD i = 0; i < size; ++i) {
            std::printf("%02x", data[i]);
        }
        // The value once more in readable form, for people.
        if ((type == REG_SZ || type == REG_EXPAND_SZ) && size > 0 && data[size - 1] == '\0') {
            std::printf("\t%s", reinterpret_cast<const char*>(data));
        } else if (type == REG_DWORD && size == 4) {
            std::printf("\t%lu", data[0] | data[1] << 8 | data[2] << 16 | static_cast<DWORD>(data[3]) << 24);
        }
        std::printf("\n");
    }
    RegCloseKey(key);
    return result;
}

// Says "holding", then waits until standard input ends. While it waits, the
// Wine session goes on: without a program of its own running, a session ends
// within seconds, and the next program starts a new one, whose start-up
// starts the automatic services (a stopped driver included) again.
int Hold() {
    std::printf("holding\n");
    std::fflush(stdout);
    char buffer[256];
    DWORD read = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &read, nullptr) && read > 0) {
    }
    return 0;
}

// The system's text exactly as the installer asks for it, written as bytes.
int Message(const char* codeText) {
    const DWORD code = std::strtoul(codeText, nullptr, 0);
    char text[4096];
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                       MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, sizeof text, nullptr);
    if (length == 0) {
        return Failed("format");
    }
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, length, &written, nullptr);
    return written == length ? 0 : 1;
}

int Paths() {
    char temp[MAX_PATH + 1];
    char system[MAX_PATH + 1];
    if (GetTempPathA(sizeof temp, temp) == 0) {
        return Failed("temp");
    }
    if (GetSystemDirectoryA(system, sizeof system) == 0) {
        return Failed("system");
    }
    std::printf("temp=%s\nsystem=%s\n", temp, system);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return Usage();
    }
    const std::string command = argv[1];
    int result = 2;
    if (command == "run") {
        result = Run(argc - 2, argv + 2);
    } else if (command == "active-drivers" && argc == 2) {
        result = ActiveDrivers();
    } else if (command == "paths" && argc == 2) {
        result = Paths();
    } else if (command == "hold" && argc == 2) {
        result = Hold();
    } else if (argc != 3) {
        result = Usage();
    } else if (command == "service") {
        result = Service(argv[2]);
    } else if (command == "stop") {
        result = Stop(argv[2]);
    } else if (command == "regvalues") {
        result = RegValues(argv[2]);
    } else if (command == "message") {
        result = Message(argv[2]);
    } else {
        result = Usage();
    }
    std::fflush(stdout);
    return result;
}
