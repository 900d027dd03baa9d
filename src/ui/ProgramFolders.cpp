#include "ProgramFolders.h"

#include <QSettings>
#include <QString>
#include <system_error>

#include "TextCodec.h"
#include "UpdateSource.h"

namespace {

// A folder or an update archive; the name is older than archives.
const char* const kFolderKey = "updateFolder";

bool IsFolder(const std::filesystem::path& Path)
{
    std::error_code AError;
    return std::filesystem::is_directory(Path, AError);
}

} // namespace

CProgramFolders CProgramFolders::Find(const std::filesystem::path& ProgramFolder)
{
    CProgramFolders AFolders;
    const std::filesystem::path Beside = (ProgramFolder / "Skin").lexically_normal();
    const std::filesystem::path Shared = (ProgramFolder / ".." / "share" / "iap-tool" / "Skin").lexically_normal();
    AFolders.m_Candidates = {Beside, Shared};
    AFolders.m_TranslationFolder = Shared.parent_path() / "translations";
    if (IsFolder(Beside)) {
        AFolders.m_SkinFolder = Beside;
        AFolders.m_TranslationFolder = Beside.parent_path() / "translations";
    } else if (IsFolder(Shared)) {
        AFolders.m_SkinFolder = Shared;
        AFolders.m_bInstalled = true;
    }
    return AFolders;
}

std::filesystem::path CProgramFolders::ChooseUpdateFolder(const std::filesystem::path& ProgramFolder,
                                                          const std::optional<std::filesystem::path>& Argument,
                                                          const std::optional<std::filesystem::path>& Remembered) const
{
    if (Argument && !Argument->empty()) {
        std::error_code AError;
        std::filesystem::path Folder = std::filesystem::absolute(*Argument, AError).lexically_normal();
        // A file dropped on the program (its firmware, say) names its
        // folder; an update archive is read as it is.
        if (std::filesystem::is_regular_file(Folder, AError) && !CUpdateSource::IsArchive(Folder))
            Folder = Folder.parent_path();
        return Folder;
    }
    if (!m_bInstalled)
        return ProgramFolder.has_filename() ? ProgramFolder : ProgramFolder.parent_path();
    if (Remembered && Remembered->is_absolute())
        return *Remembered;
    return {};
}

std::optional<std::filesystem::path> CProgramFolders::RecallUpdateFolder()
{
    const QString strFolder = QSettings().value(kFolderKey).toString();
    if (strFolder.isEmpty())
        return std::nullopt;
    return PathFromWide(strFolder.toStdWString());
}

void CProgramFolders::RememberUpdateFolder(const std::filesystem::path& Folder)
{
    QSettings().setValue(kFolderKey, QString::fromStdWString(PathToWide(Folder)));
}
