#pragma once
#include <cstdint>
#include <string>

#include "Language.h"
#include "LoadState.h"

// Why the last update failed, kept by the worker from the moment it reports
// the failure, so that the window and the terminal can say more than the
// stage's failure text.
struct CUpdateFailure {
    enum class EKind {
        None,          // the last update did not fail (or none ran)
        Damaged,       // an update file is damaged: nothing was sent
        Silent,        // the device stopped answering within the stall limit
        Lost,          // the device was disconnected
        WriteFailed,   // a stage's end command could not be written
        NothingToSend, // a stage's image had nothing to send when it began
        Incomplete,    // a stage's end was written with blocks the device never answered
    };
    EKind eKind = EKind::None;
    std::int32_t nStage = 0;   // the stage that failed, 1 to 5
    std::wstring strFile;      // Damaged: the update file's name
    CLoadFault AFault;         // Damaged: where in the file
    std::wstring strStatus;    // Silent: the device's last failing status, as its text

    // What failed and why, for the line below the whole update's failure
    // text; empty when nothing failed.
    std::wstring Describe(ELanguage eLanguage) const;
};

// "Файл <name> повреждён в строке 12": a damaged update file and where, as
// the update and the check of the files say it.
std::wstring DescribeDamage(const std::wstring& strFile, const CLoadFault& AFault, ELanguage eLanguage);
