// On Windows COM numbers are the system's own ("\\.\COMn"): the folder is
// made and named, and IAP_PORT_DIR set, but no port is looked up in it.
#include "TempPortDir.h"

#include <cstdlib>
#include <filesystem>
#include <random>

CTempPortDir::CTempPortDir()
{
    std::random_device ARandom;
    const std::filesystem::path Path =
        std::filesystem::temp_directory_path() / ("iap-ports-" + std::to_string(ARandom()));
    std::filesystem::create_directory(Path);
    m_strPath = Path.string();
    _putenv_s("IAP_PORT_DIR", m_strPath.c_str());
}

CTempPortDir::~CTempPortDir()
{
    _putenv_s("IAP_PORT_DIR", "");
    std::error_code ec;
    std::filesystem::remove_all(m_strPath, ec);
}
