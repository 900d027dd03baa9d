#include "PaintManagerUI.h"

#include <system_error>

void CPaintManagerUI::SetInstance(const std::filesystem::path& ProgramFile)
{
    std::error_code AError;
    std::filesystem::path AFolder = std::filesystem::absolute(ProgramFile, AError).parent_path();
    m_InstancePath = AFolder / "";  // keeps the trailing separator
}

bool CPaintManagerUI::SetCurrentPath(const std::filesystem::path& Folder)
{
    std::error_code AError;
    std::filesystem::current_path(Folder, AError);
    return !AError;
}

void CPaintManagerUI::SetResourcePath(const std::filesystem::path& Folder) { m_ResourcePath = Folder; }

std::filesystem::path CPaintManagerUI::GetResourcePath() const
{
    return m_ResourcePath.is_absolute() ? m_ResourcePath : m_InstancePath / m_ResourcePath;
}
