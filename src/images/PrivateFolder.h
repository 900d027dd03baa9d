#pragma once
#include <filesystem>

// A folder of this user's alone (no other user may list or open it), made
// under Parent with a name no other folder there has, and removed with all
// it holds when the object goes. One thread uses an object; it owns the
// folder, not the parent.
class CPrivateFolder {
public:
    explicit CPrivateFolder(const std::filesystem::path& Parent);
    ~CPrivateFolder();
    CPrivateFolder(const CPrivateFolder&) = delete;
    CPrivateFolder& operator=(const CPrivateFolder&) = delete;

    // The folder; empty when it could not be made.
    const std::filesystem::path& GetPath() const { return m_Path; }

    static constexpr const char* kPrefix = "iap-update-";

private:
    // Makes the folder with the platform's own rights for one user; answers
    // its path, or an empty one.
    static std::filesystem::path Make(const std::filesystem::path& Parent);

    std::filesystem::path m_Path;
};
