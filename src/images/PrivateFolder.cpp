#include "PrivateFolder.h"

CPrivateFolder::CPrivateFolder(const std::filesystem::path& Parent) : m_Path(Make(Parent)) {}

CPrivateFolder::~CPrivateFolder()
{
    if (m_Path.empty())
        return;
    std::error_code AError;
    std::filesystem::remove_all(m_Path, AError);
}
