#include "UpdateSource.h"

#include <algorithm>
#include <array>
#include <fstream>

#include "ArchiveReader.h"
#include "ImageFile.h"
#include "PrivateFolder.h"
#include "TextCatalog.h"
#include "TextCodec.h"

namespace {

using ERefusal = CUpdateSource::ERefusal;
using EStep = CArchiveReader::EStep;

// Why an archive is refused. {1} is the archive, {2} and {3} what the
// reason names: an entry, a bound, the folders.
struct CRefusalText {
    ERefusal eWhy;
    CTextKey AText;
};
constexpr CRefusalText kRefusalTexts[] = {
    {ERefusal::Unreadable, "Архив {1} не удаётся открыть для чтения."},
    {ERefusal::Damaged, "Архив {1} повреждён, не полон или упакован так, что его не прочитать."},
    {ERefusal::Encrypted, "Архив {1} защищён паролем: распакуйте его сами и выберите папку."},
    {ERefusal::AbsoluteName, "В архиве {1} есть запись с именем от корня диска ({2}): архив не распакован."},
    {ERefusal::ClimbingName, "В архиве {1} есть запись, имя которой выводит из него через .. ({2}): архив не распакован."},
    {ERefusal::Link, "В архиве {1} есть ссылка ({2}): архив не распакован, файлы обновления — обычные файлы."},
    {ERefusal::TooManyEntries, "В архиве {1} больше {2} записей, куда больше, чем в обновлении: архив не распакован."},
    {ERefusal::TooLarge, "Архив {1} распаковывается больше чем в {2} МиБ, куда больше обновления: архив не распакован."},
    {ERefusal::TwoFolders, "В архиве {1} файлы обновления лежат в двух папках, {2} и {3}: распакуйте его и выберите одну из них."},
    {ERefusal::NotUnpacked, "Архив {1} не распаковать: во временную папку {2} не удаётся записать."},
};

// A name as one line shows it: control characters, which an archive may
// put into a name to rewrite a terminal, become '?'.
std::string Printable(std::string str)
{
    std::replace_if(str.begin(), str.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; },
                    '?');
    return str;
}

std::string Utf8(const std::filesystem::path& Path) { return WideToUtf8(PathToWide(Path)); }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view szA, std::string_view szB)
{
    return std::equal(szA.begin(), szA.end(), szB.begin(), szB.end(),
                      [](char a, char b) { return Lower(a) == Lower(b); });
}

// From the root of a disk: "/x", "\x", "C:x", "C:\x".
bool IsAbsoluteName(std::string_view szName)
{
    return !szName.empty() && (szName[0] == '/' || szName[0] == '\\' ||
                               (szName.size() >= 2 && szName[1] == ':' && Lower(szName[0]) >= 'a' && Lower(szName[0]) <= 'z'));
}

// The parts of an entry's name. A backslash separates too (some Windows
// tools write it into zips), and empty and "." parts are no parts.
std::vector<std::string> SplitName(std::string_view szName)
{
    std::vector<std::string> Parts;
    std::size_t nFrom = 0;
    for (std::size_t n = 0; n <= szName.size(); ++n) {
        if (n < szName.size() && szName[n] != '/' && szName[n] != '\\')
            continue;
        const std::string_view szPart = szName.substr(nFrom, n - nFrom);
        if (!szPart.empty() && szPart != ".")
            Parts.emplace_back(szPart);
        nFrom = n + 1;
    }
    return Parts;
}

// Which update file a name's last part is: its index in Names, or Names.size().
std::size_t FindUpdateFile(std::span<const std::string_view> Names, const std::vector<std::string>& Parts)
{
    if (Parts.empty())
        return Names.size();
    const auto pName = std::find_if(Names.begin(), Names.end(),
                                    [&](std::string_view szName) { return SameName(szName, Parts.back()); });
    return static_cast<std::size_t>(pName - Names.begin());
}

} // namespace

struct CUpdateSource::CChoice {
    bool bAny = false;     // the archive holds update files at all
    std::string strFolder; // their top folder; empty: the root
};

CUpdateSource::CUpdateSource(std::filesystem::path Given, std::span<const std::string_view> Names,
                             const std::filesystem::path& TempRoot)
    : m_Given(std::move(Given))
{
    std::error_code AError;
    if (!IsArchive(m_Given) || std::filesystem::is_directory(m_Given, AError)) {
        m_Folder = m_Given;
        return;
    }
    Unpack(Names, TempRoot);
}

CUpdateSource::~CUpdateSource() = default;

bool CUpdateSource::IsArchive(const std::filesystem::path& Path)
{
    const std::string strExtension = Utf8(Path.extension());
    return SameName(strExtension, ".zip") || SameName(strExtension, ".7z") || SameName(strExtension, ".rar");
}

std::string CUpdateSource::DescribeRefusal(ELanguage eLanguage) const
{
    const auto pText = std::find_if(std::begin(kRefusalTexts), std::end(kRefusalTexts),
                                    [&](const CRefusalText& A) { return A.eWhy == m_eRefusal; });
    if (pText == std::end(kRefusalTexts))
        return {};
    return FillIn(GetText(eLanguage, pText->AText),
                  {Printable(Utf8(m_Given)), Printable(m_strFirst), Printable(m_strSecond)});
}

void CUpdateSource::Unpack(std::span<const std::string_view> Names, const std::filesystem::path& TempRoot)
{
    if (!OpenImageFile(m_Given)) {
        Refuse(ERefusal::Unreadable);
        return;
    }
    CChoice AChoice;
    if (!Survey(Names, AChoice))
        return;
    std::error_code AError;
    const std::filesystem::path Root = TempRoot.empty() ? std::filesystem::temp_directory_path(AError) : TempRoot;
    // Never a folder of the working directory for want of a temporary one.
    if (!Root.empty())
        m_pPrivate = std::make_unique<CPrivateFolder>(Root);
    if (!m_pPrivate || m_pPrivate->GetPath().empty()) {
        Refuse(ERefusal::NotUnpacked, Utf8(Root));
        return;
    }
    if (AChoice.bAny && !TakeOut(Names, AChoice))
        return;
    m_Folder = m_pPrivate->GetPath();
}

// The first pass: every entry's header checked, and where the update files
// are. Nothing is written.
bool CUpdateSource::Survey(std::span<const std::string_view> Names, CChoice& AChoice)
{
    CArchiveReader AReader(m_Given);
    CArchiveReader::CEntry AEntry;
    std::uint32_t nEntries = 0;
    std::uint64_t uDeclared = 0;
    bool bRoot = false;
    std::vector<std::string> Folders;
    for (EStep eStep = AReader.Next(AEntry); eStep != EStep::End; eStep = AReader.Next(AEntry)) {
        m_strDetail = AReader.GetError();
        if (eStep != EStep::Entry || AEntry.bEncrypted)
            return Refuse(eStep == EStep::Damaged ? ERefusal::Damaged : ERefusal::Encrypted);
        if (++nEntries > kMaxEntries)
            return Refuse(ERefusal::TooManyEntries, std::to_string(kMaxEntries));
        const std::vector<std::string> Parts = SplitName(AEntry.strName);
        if (IsAbsoluteName(AEntry.strName))
            return Refuse(ERefusal::AbsoluteName, AEntry.strName);
        if (std::find(Parts.begin(), Parts.end(), "..") != Parts.end())
            return Refuse(ERefusal::ClimbingName, AEntry.strName);
        if (AEntry.bLink)
            return Refuse(ERefusal::Link, AEntry.strName);
        uDeclared += AEntry.bFile ? AEntry.Size.value_or(0) : 0;
        if (uDeclared > kMaxUnpacked)
            return Refuse(ERefusal::TooLarge, std::to_string(kMaxUnpacked >> 20));
        if (!AEntry.bFile || Parts.size() > 2 || FindUpdateFile(Names, Parts) == Names.size())
            continue;
        if (Parts.size() == 1)
            bRoot = true;
        else if (std::find(Folders.begin(), Folders.end(), Parts.front()) == Folders.end())
            Folders.push_back(Parts.front());
    }
    // Files in the root are the update, whatever folders hold besides.
    if (!bRoot && Folders.size() > 1)
        return Refuse(ERefusal::TwoFolders, Folders[0], Folders[1]);
    AChoice.bAny = bRoot || !Folders.empty();
    AChoice.strFolder = bRoot || Folders.empty() ? std::string() : Folders.front();
    return true;
}

// The second pass: the update files of the chosen place written into the
// private folder under their own names, the first of each name only.
bool CUpdateSource::TakeOut(std::span<const std::string_view> Names, const CChoice& AChoice)
{
    CArchiveReader AReader(m_Given);
    CArchiveReader::CEntry AEntry;
    std::vector<bool> Taken(Names.size());
    std::uint64_t uTotal = 0;
    for (EStep eStep = AReader.Next(AEntry); eStep != EStep::End; eStep = AReader.Next(AEntry)) {
        m_strDetail = AReader.GetError();
        if (eStep != EStep::Entry)
            return Refuse(eStep == EStep::Damaged ? ERefusal::Damaged : ERefusal::Encrypted);
        const std::vector<std::string> Parts = SplitName(AEntry.strName);
        const bool bHere = AChoice.strFolder.empty() ? Parts.size() == 1
                                                     : Parts.size() == 2 && Parts.front() == AChoice.strFolder;
        const std::size_t nName = FindUpdateFile(Names, Parts);
        if (!AEntry.bFile || !bHere || nName == Names.size() || Taken[nName])
            continue;
        Taken[nName] = true;
        const std::filesystem::path Target = m_pPrivate->GetPath() / PathFromUtf8(Names[nName]);
        const ERefusal eWhy = CopyEntry(AReader, Target, AEntry.Size, uTotal);
        m_strDetail = AReader.GetError();
        if (eWhy != ERefusal::None)
            return Refuse(eWhy, eWhy == ERefusal::TooLarge ? std::to_string(kMaxUnpacked >> 20)
                                                            : Utf8(m_pPrivate->GetPath().parent_path()));
    }
    return true;
}

// Writes the current entry's data to Target, counting it as it comes, so
// that an entry that unpacks past the size it declared, or the whole past
// kMaxUnpacked, is stopped there and not written to the end: a bomb of
// zeros never fills the disk.
CUpdateSource::ERefusal CUpdateSource::CopyEntry(CArchiveReader& AReader, const std::filesystem::path& Target,
                                                 std::optional<std::uint64_t> Declared, std::uint64_t& uTotal)
{
    std::ofstream AOut(Target, std::ios::binary);
    std::vector<std::uint8_t> Buffer(64 * 1024);
    std::uint64_t uWritten = 0;
    while (AOut) {
        const std::ptrdiff_t nRead = AReader.Read(Buffer);
        if (nRead <= 0)
            return nRead < 0 ? ERefusal::Damaged : (AOut.close(), AOut ? ERefusal::None : ERefusal::NotUnpacked);
        uWritten += static_cast<std::uint64_t>(nRead);
        uTotal += static_cast<std::uint64_t>(nRead);
        if (Declared && uWritten > *Declared)
            return ERefusal::Damaged;
        if (uTotal > kMaxUnpacked)
            return ERefusal::TooLarge;
        AOut.write(reinterpret_cast<const char*>(Buffer.data()), nRead);
    }
    return ERefusal::NotUnpacked;
}

bool CUpdateSource::Refuse(ERefusal eWhy, std::string strFirst, std::string strSecond)
{
    m_eRefusal = eWhy;
    m_strFirst = std::move(strFirst);
    m_strSecond = std::move(strSecond);
    m_Folder.clear();
    m_pPrivate.reset(); // the private folder goes with all that was written
    return false;
}
