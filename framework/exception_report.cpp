#include "framework/exception_report.h"

#include <new>
#include <string>

#include "framework/file.h"
#include "framework/resource_exception.h"
#include "framework/winapp.h"

namespace kg {
namespace {

constexpr char OUT_OF_MEMORY[] = "Out of memory.";
constexpr char INTERNAL_ERROR[] = "An internal error occurred; the last action was not completed.";

bool reporting = false;

class Reporting {
public:
    Reporting() { reporting = true; }
    Reporting(const Reporting&) = delete;
    Reporting& operator=(const Reporting&) = delete;
    ~Reporting() { reporting = false; }
};

}  // namespace

void ReportCurrentException() noexcept {
    if (reporting) {
        return;
    }
    try {
        std::string text;
        try {
            throw;
        } catch (const CResourceException& e) {
            text = e.what();
        } catch (const std::bad_alloc&) {
            text = OUT_OF_MEMORY;
        } catch (const CFileException& e) {
            text = e.m_strFileName.empty() ? e.GetErrorMessage() : e.m_strFileName + ": " + e.GetErrorMessage();
        } catch (...) {
            text = INTERNAL_ERROR;
        }
        const Reporting guard;
        AfxMessageBox(text.c_str(), MB_OK | MB_ICONSTOP);
    } catch (...) {
        // Nothing more can be told; the message has had its processing.
    }
}

}  // namespace kg
