#pragma once
#include <string>

// A temporary port folder, set as IAP_PORT_DIR while the object lives, so
// COM<n> entries in it are the only ports the program can see.
class CTempPortDir {
public:
    CTempPortDir();
    ~CTempPortDir();
    CTempPortDir(const CTempPortDir&) = delete;
    CTempPortDir& operator=(const CTempPortDir&) = delete;

    const std::string& GetPath() const { return m_strPath; }
    std::string PortPath(unsigned nCom) const { return m_strPath + "/COM" + std::to_string(nCom); }

private:
    std::string m_strPath;
};
