// The driver service's creation parameters and the check of its image path
// before creation: path shape, drive type, and a file that opens for reading.
#include <gtest/gtest.h>

#include <vector>

#include "installer/dw_exception.h"
#include "installer/service_parameters.h"
#include "tests/support/api_override.h"
#include "tests/support/files.h"

namespace kg {
namespace {

using test::ApiOverride;
using test::TempDir;

const std::string NOT_FULLY_QUALIFIED =
    ": The fully qualified path name to the file must be given, and the drive letter must be for a fixed "
    "disk (e.g., not a network drive)";
const std::string STEP1 = "[Step1]" + NOT_FULLY_QUALIFIED;
const std::string STEP2 = "[Step2]" + NOT_FULLY_QUALIFIED;
const std::string STEP3 = "[Step3]" + NOT_FULLY_QUALIFIED;
const std::string NO_ROOT = "The root directory where the service is specified to be must exist";

// The text failure that the check of `path` throws; "(none)" when it passes.
std::string CheckFailure(const std::string& path) {
    const ServiceSpec serviceSpec(path);
    try {
        serviceSpec.ValidateImagePath();
    } catch (const CDWException& failure) {
        EXPECT_FALSE(failure.hasSystemError) << path;
        return failure.message;
    }
    return "(none)";
}

std::string PathError(const std::string& path, DWORD error) {
    return "[Step4]: Path error: " + path + " " + std::to_string(error);
}

// The drive type that the system reports, and the roots it was asked about.
UINT fakeDriveType;
std::vector<std::string> askedRoots;
UINT WINAPI FakeGetDriveType(LPCSTR root) {
    askedRoots.push_back(root != nullptr ? root : "(null)");
    return fakeDriveType;
}

std::string RootOf(const std::string& path) { return path.substr(0, 2) + "\\"; }

TEST(ServiceSpecFields, TheOneKernelDriverServiceStartedAutomatically) {
    const std::string path = "C:\\windows\\system32\\drivers\\kestgard.sys";
    ServiceSpec serviceSpec(path);
    EXPECT_EQ("Kestrelgard", serviceSpec.serviceName);
    EXPECT_EQ("Kestrelgard", serviceSpec.displayName);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_ALL_ACCESS), serviceSpec.desiredAccess);
    EXPECT_FALSE(serviceSpec.interactive);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_KERNEL_DRIVER), serviceSpec.serviceType);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_AUTO_START), serviceSpec.startType);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_ERROR_NORMAL), serviceSpec.errorControl);
    EXPECT_EQ(path, serviceSpec.imagePath);
    EXPECT_EQ(nullptr, serviceSpec.dependencies);
    EXPECT_EQ(nullptr, serviceSpec.serviceStartName);
    EXPECT_EQ(nullptr, serviceSpec.password);

    EXPECT_EQ(static_cast<DWORD>(SERVICE_KERNEL_DRIVER), serviceSpec.CreationType());
    serviceSpec.interactive = TRUE;
    EXPECT_EQ(static_cast<DWORD>(SERVICE_KERNEL_DRIVER | SERVICE_INTERACTIVE_PROCESS), serviceSpec.CreationType());
}

TEST(ImagePathCheck, PathWithoutDriveAndRootIsRefusedBeforeTheDriveIsAsked) {
    const ApiOverride driveType(sys.GetDriveTypeA, &FakeGetDriveType);
    fakeDriveType = DRIVE_FIXED;
    askedRoots.clear();
    for (const char* path : {"kestgard.sys", "drivers\\kestgard.sys", "\\\\server\\share\\x.sys", "\\x.sys",
                             "C:x.sys", "C:", "C", "", "C:/windows/x.sys", "CC\\x.sys"}) {
        EXPECT_EQ(STEP1, CheckFailure(path)) << path;
    }
    EXPECT_EQ(std::vector<std::string>{}, askedRoots);
}

TEST(ImagePathCheck, DriveTypesOtherThanFixedDiskAreRefused) {
    const ApiOverride driveType(sys.GetDriveTypeA, &FakeGetDriveType);
    const struct {
        UINT type;
        const std::string& failure;
    } cases[] = {
        {DRIVE_UNKNOWN, STEP2}, {DRIVE_NO_ROOT_DIR, NO_ROOT}, {DRIVE_REMOVABLE, STEP2}, {DRIVE_REMOTE, STEP2},
        {DRIVE_CDROM, STEP2},   {DRIVE_RAMDISK, STEP2},       {7, STEP3},               {8, STEP3},
        {0xFFFFFFFF, STEP3},
    };
    const std::string path = "D:\\drivers\\kestgard.sys";
    for (const auto& c : cases) {
        fakeDriveType = c.type;
        askedRoots.clear();
        EXPECT_EQ(c.failure, CheckFailure(path)) << "drive type " << c.type;
        EXPECT_EQ(std::vector<std::string>{"D:\\"}, askedRoots) << "drive type " << c.type;
    }
}

TEST(ImagePathCheck, DriveLetterWithoutADriveHasNoRootDirectory) {
    const std::string path = "Q:\\drivers\\kestgard.sys";
    ASSERT_EQ(static_cast<UINT>(DRIVE_NO_ROOT_DIR), ::GetDriveTypeA(RootOf(path).c_str()));
    EXPECT_EQ(NO_ROOT, CheckFailure(path));
}

class ImageFileCheck : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(static_cast<UINT>(DRIVE_FIXED), ::GetDriveTypeA(RootOf(dir_.Str()).c_str())) << dir_.Str();
    }
    TempDir dir_;
};

TEST_F(ImageFileCheck, MissingFileOrFolderIsAPathErrorWithTheSystemCode) {
    const std::string missingFile = dir_.Str("kestgard.sys");
    const std::string missingFolder = dir_.Str("drivers\\kestgard.sys");
    EXPECT_EQ(PathError(missingFile, ERROR_FILE_NOT_FOUND), CheckFailure(missingFile));
    EXPECT_EQ(PathError(missingFolder, ERROR_PATH_NOT_FOUND), CheckFailure(missingFolder));
}

TEST_F(ImageFileCheck, FileHeldOpenWithoutReadSharingIsASharingViolation) {
    const std::string path = dir_.Str("kestgard.sys");
    test::WriteBytes(path, "driver");
    const HANDLE writer = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, writer);
    const std::string failure = CheckFailure(path);
    ::CloseHandle(writer);
    EXPECT_EQ(PathError(path, ERROR_SHARING_VIOLATION), failure);
}

TEST_F(ImageFileCheck, ReadableFilePassesAndIsNotKeptOpen) {
    const std::string path = dir_.Str("kestgard.sys");
    test::WriteBytes(path, "driver");
    EXPECT_EQ("(none)", CheckFailure(path));
    EXPECT_TRUE(::DeleteFileA(path.c_str())) << ::GetLastError();
}

TEST_F(ImageFileCheck, FileThatOthersOnlyReadPasses) {
    const std::string path = dir_.Str("kestgard.sys");
    test::WriteBytes(path, "driver");
    const HANDLE reader =
        ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, reader);
    const std::string failure = CheckFailure(path);
    ::CloseHandle(reader);
    EXPECT_EQ("(none)", failure);
}

TEST_F(ImageFileCheck, PathErrorIsCutTo255Characters) {
    const std::string path = dir_.Str(std::string(300, 'k') + ".sys");
    const std::string failure = CheckFailure(path);
    EXPECT_EQ(255u, failure.size());
    EXPECT_EQ(("[Step4]: Path error: " + path).substr(0, 255), failure);
}

}  // namespace
}  // namespace kg
