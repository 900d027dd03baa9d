#include "SystemInfo.h"

#include <cstdio>
#include <ctime>

std::string FormatLocalTime(std::chrono::system_clock::time_point tWhen, bool bMilliseconds)
{
    std::tm ATime{};
    if (!ToLocalTime(std::chrono::system_clock::to_time_t(tWhen), ATime))
        return "?";
    char szText[40];
    std::strftime(szText, sizeof szText, "%Y-%m-%d %H:%M:%S", &ATime);
    std::string strText = szText;
    if (bMilliseconds) {
        const auto nMs =
            std::chrono::duration_cast<std::chrono::milliseconds>(tWhen.time_since_epoch()).count() % 1000;
        std::snprintf(szText, sizeof szText, ".%03d", static_cast<int>(nMs));
        strText += szText;
    }
    return strText;
}
