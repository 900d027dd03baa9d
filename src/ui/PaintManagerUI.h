#pragma once
#include <filesystem>

// Where the program and its skins live. The entry fills it once; the
// windows read it to find their skin files and the update files.
class CPaintManagerUI {
public:
    // The program file's path; its folder becomes the instance path.
    void SetInstance(const std::filesystem::path& ProgramFile);
    // The program's folder, with a trailing separator.
    const std::filesystem::path& GetInstancePath() const { return m_InstancePath; }
    // Makes the folder the process's working folder, so relative names
    // ("ver.txt") are read from it.
    static bool SetCurrentPath(const std::filesystem::path& Folder);
    // The skin folder, relative to the instance path or absolute.
    void SetResourcePath(const std::filesystem::path& Folder);
    std::filesystem::path GetResourcePath() const;

private:
    std::filesystem::path m_InstancePath;
    std::filesystem::path m_ResourcePath;
};
