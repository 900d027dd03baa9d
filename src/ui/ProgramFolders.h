#pragma once
#include <filesystem>
#include <optional>
#include <vector>

// Where the program finds its skins, its windows' translations and its
// update files.
// A program whose "Skin" folder stands beside it (the Windows zip, a
// portable copy, the build tree) reads its update files from the folder or
// archive given as its argument (what Explorer gives when one is dropped on
// it), else from its own folder. An installed one finds its skins in
// <prefix>/share/iap-tool/Skin, relative to <prefix>/bin, so that a moved
// prefix still works; it reads the update files from a folder or archive
// the driver chooses (the one argument, else the one chosen last time),
// never from the folder of the program itself.
class CProgramFolders {
public:
    // The skin folder of a program in ProgramFolder; see IsFound.
    static CProgramFolders Find(const std::filesystem::path& ProgramFolder);

    bool IsFound() const { return !m_SkinFolder.empty(); }
    const std::filesystem::path& GetSkinFolder() const { return m_SkinFolder; }
    bool IsInstalled() const { return m_bInstalled; }
    // The windows' translation files: "translations" beside the program, or
    // <prefix>/share/iap-tool/translations for an installed one.
    const std::filesystem::path& GetTranslationFolder() const { return m_TranslationFolder; }
    // The folders looked in, in order, to name when none was found.
    const std::vector<std::filesystem::path>& GetSkinCandidates() const { return m_Candidates; }

    // Where the update files are read from at start, a folder or an update
    // archive: the argument (an archive as it is, another file for its
    // folder), for every program, else the program's own folder for a
    // portable program, else the remembered one, else none (empty).
    std::filesystem::path ChooseUpdateFolder(const std::filesystem::path& ProgramFolder,
                                             const std::optional<std::filesystem::path>& Argument,
                                             const std::optional<std::filesystem::path>& Remembered) const;

    // The folder or archive chosen last time, kept in the user's settings
    // (installed programs only). The GUI thread, with the application's
    // name set.
    static std::optional<std::filesystem::path> RecallUpdateFolder();
    static void RememberUpdateFolder(const std::filesystem::path& Folder);

private:
    std::filesystem::path m_SkinFolder;
    std::filesystem::path m_TranslationFolder;
    bool m_bInstalled = false;
    std::vector<std::filesystem::path> m_Candidates;
};
