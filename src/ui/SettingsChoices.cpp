#include "SettingsChoices.h"

#include <QCoreApplication>

namespace {

// The device's own names, as its menu has them; the window's translation
// gives the regions and the modes in the driver's language.
constexpr const char* aRegions[] = {QT_TRANSLATE_NOOP("SettingsChoices", "俄罗斯"),
                                    QT_TRANSLATE_NOOP("SettingsChoices", "哈萨克斯坦"),
                                    QT_TRANSLATE_NOOP("SettingsChoices", "乌兹别克斯坦")};
constexpr const char* aModes[] = {
    QT_TRANSLATE_NOOP("SettingsChoices", "СМАРТ"),       QT_TRANSLATE_NOOP("SettingsChoices", "ТУРБО"),
    QT_TRANSLATE_NOOP("SettingsChoices", "ТРАССА"),      QT_TRANSLATE_NOOP("SettingsChoices", "ГОРОД"),
    QT_TRANSLATE_NOOP("SettingsChoices", "ТИХИЙ ГОРОД"), QT_TRANSLATE_NOOP("SettingsChoices", "МЕГАПОЛИС"),
    QT_TRANSLATE_NOOP("SettingsChoices", "УЛЬТРА К")};
constexpr const char* aLevels[] = {QT_TRANSLATE_NOOP("SettingsChoices", "Смарт"), "Auto", "0", "1", "2", "3", "4", "5",
                                   "6", "7", "8", "9"};
constexpr const char* aOnOff[] = {"On", "Off"};

constexpr CComboChoice OnOff(const char* szName, int nOffset) { return {szName, aOnOff, nullptr, 0, 0, 0, true, 0, nOffset}; }

constexpr CComboChoice Numbers(const char* szName, const char* szFormat, int nFirst, int nStep, int nCount, int nOffset,
                     bool bUserData = false)
{
    return {szName, {}, szFormat, nFirst, nStep, nCount, bUserData, 0, nOffset};
}

constexpr CComboChoice aChoices[] = {
    {"como_frame1_1", aRegions, nullptr, 0, 0, 0, true, 1, -1},
    {"como_frame1_2", aModes, nullptr, 0, 0, 0, true, 1, -1},
    {"como_frame1_3", aLevels, nullptr, 0, 0, 0, true, 0, -1},
    OnOff("como_frame1_content_1_1", 1),
    Numbers("como_frame1_content_1_2", "%dKM/h", 80, 5, 15, -1),
    OnOff("como_frame1_content_2_1", 6),
    Numbers("como_frame1_content_2_2", "%dM", 100, 100, 15, 26),
    OnOff("como_frame1_content_3_1", -1),
    Numbers("como_frame1_content_3_2", "%dKM/h", 1, 1, 20, 31),
    OnOff("como_frame1_content_4_1", 11),
    Numbers("como_frame1_content_4_2", "%dKM/h", 60, 10, 11, 36),
    OnOff("como_frame1_content_5_1", 16),
    Numbers("como_frame1_content_5_2", "%dKM/h", 0, 5, 15, 46),
    OnOff("como_frame1_content_6_1", 21),
    Numbers("como_frame1_content_6_2", "%dKM/h", 0, 5, 18, 51, true),
    Numbers("como_frame1_content_7_1", "%d", 1, 1, 9, -1),
    OnOff("como_frame1_content_7_2", 56),
    OnOff("como_frame1_gpsdata", -1),
};

constexpr const char* aCheckBoxes[] = {
    "checkbox_frame1_1_1", "checkbox_frame1_3_2", "checkbox_frame1_1_3", "checkbox_frame1_1_4",
    "checkbox_frame1_2_1", "checkbox_frame1_2_3", "checkbox_frame1_3_4", "checkbox_frame1_2_2",
    "checkbox_frame1_3_3", "checkbox_frame1_2_4", "checkbox_frame1_1_2", "checkbox_frame1_3_1",
};

} // namespace

QStringList CComboChoice::MakeTexts() const
{
    QStringList aTexts;
    for (const char* szText : aFixed)
        aTexts << QCoreApplication::translate("SettingsChoices", szText);
    for (int n = 0; n < nCount; ++n)
        aTexts << QString::asprintf(szFormat, nFirst + n * nStep);
    return aTexts;
}

std::span<const CComboChoice> GetComboChoices() { return aChoices; }

std::span<const char* const> GetCheckBoxNames() { return aCheckBoxes; }
