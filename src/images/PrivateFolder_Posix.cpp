// mkdtemp makes the folder with mode 0700 under a name it chooses and no
// other process can take in between.
#include "PrivateFolder.h"

#include <cstdlib>
#include <string>

std::filesystem::path CPrivateFolder::Make(const std::filesystem::path& Parent)
{
    std::string strTemplate = (Parent / (std::string(kPrefix) + "XXXXXX")).native();
    if (mkdtemp(strTemplate.data()) == nullptr)
        return {};
    return strTemplate;
}
