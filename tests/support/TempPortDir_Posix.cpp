#include "TempPortDir.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

CTempPortDir::CTempPortDir()
{
    std::string strTemplate = (std::filesystem::temp_directory_path() / "iap-ports-XXXXXX").string();
    if (::mkdtemp(strTemplate.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    m_strPath = strTemplate;
    ::setenv("IAP_PORT_DIR", m_strPath.c_str(), 1);
}

CTempPortDir::~CTempPortDir()
{
    ::unsetenv("IAP_PORT_DIR");
    std::error_code ec;
    std::filesystem::remove_all(m_strPath, ec);
}
