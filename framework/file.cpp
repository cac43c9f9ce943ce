#include "framework/file.h"

#include <utility>

#include "framework/system_text.h"

namespace kg {

CFileException::CFileException(Cause cause, long osError, std::string fileName)
    : m_cause(cause), m_lOsError(osError), m_strFileName(std::move(fileName)) {}

std::string CFileException::GetErrorMessage() const {
    const std::string text = RemoveLineBreaks(FormatSystemMessage(static_cast<unsigned long>(m_lOsError)));
    return text.empty() ? "Error " + std::to_string(m_lOsError) : text;
}

}  // namespace kg
