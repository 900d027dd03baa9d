#pragma once
#include <QString>
#include <QStringList>
#include <cstddef>
#include <span>

// The combos of the device settings dialog, in the order they are filled,
// and where each one's choice lives in the 73-byte device menu.
struct CComboChoice {
    const char* szName;
    // Either a fixed list (UTF-8 texts, shown translated into the window's
    // language where the translation has them, context SettingsChoices) ...
    std::span<const char* const> aFixed;
    // ... or numbers from nFirst in steps of nStep, each formatted with szFormat.
    const char* szFormat = nullptr;
    int nFirst = 0;
    int nStep = 0;
    int nCount = 0;
    bool bUserData = false;  // each item's data is its text
    int nPreselect = 0;
    // First byte of the four a per-page combo owns (page p uses
    // nOffset + p - 1); -1 when the choice is stored nowhere.
    int nOffset = -1;

    bool IsPerPage() const { return nOffset >= 0; }
    QStringList MakeTexts() const;
};

std::span<const CComboChoice> GetComboChoices();

// The twelve check boxes; the n-th owns byte kCheckBoxOffset + n, which is
// 0 when the box is checked and 1 when it is not.
inline constexpr std::size_t kCheckBoxOffset = 61;
std::span<const char* const> GetCheckBoxNames();
