#pragma once
#include <cstdint>
#include <filesystem>
#include <shared_mutex>
#include <vector>

#include "File_EDogMusic.h"
#include "File_Project.h"
#include "File_Radar.h"
#include "ImageSource.h"
#include "LoadState.h"
#include "Stages.h"

// The four update images and what an update makes of them: the frames each
// stage sends, their totals, the start commands' payloads, and whether a
// file is damaged. Every rule about an image kind is here, once. Each frame
// is made when it is asked for: the file's bytes are kept once.
//
// Threads: any. One lock guards the four images: shared for the readers
// below, alone for Load and Clear. It is never held while calling out of
// this object: what leaves it (payloads, faults) leaves as copies.
class CUpdateImages final : public CImageSource {
public:
    CUpdateImages();

    // Reads the update files of Folder (the names joined to it as text, in
    // the path's own encoding; a folder without its trailing separator
    // names files beside it); an empty folder reads nothing and empties them.
    void Load(const std::filesystem::path& Folder);
    void Clear();

    // Records of the firmware file, blocks of the others; 0 for the menu.
    std::uint32_t GetCount(EImage eImage) const;
    // The units of a stage the device answers: the firmware's data frames,
    // the other images' blocks; none for the menu.
    std::uint32_t GetTotal(EImage eImage) const override;
    bool HasData(EImage eImage) const { return GetTotal(eImage) > 0; }
    // Whether the image's file is damaged (unreadable, or a firmware that
    // could not be programmed), and where.
    bool FindDamage(EImage eImage, CLoadFault& AFault) const override;
    // The firmware's version trailer.
    std::uint16_t GetFirmwareVersion() const override;
    // The payload of a stage's start command: the firmware's version (high
    // byte first), the radar file's size (low byte first); none otherwise.
    CPayload GetStartPayload(EImage eImage) const override;
    // The payload of a data frame: for the firmware one data record (its
    // 32-bit address low byte first, its length, its bytes), for the others
    // one block.
    CPayload GetPayload(EImage eImage, std::uint32_t nIndex) const override;
    // The sizes of the data frames' payloads, in order (for a plan of the
    // bytes on the line; no payload is copied).
    std::vector<std::uint32_t> GetPayloadSizes(EImage eImage) const;

private:
    // The one place that tells the image kinds apart: calls Do with the
    // image of eImage (the images' lock held by the caller); the menu has
    // none, and gets ANone.
    template <class TSelf, class TDo, class TResult>
    static TResult Visit(TSelf& ASelf, EImage eImage, TDo Do, TResult ANone);
    // Calls Take for each data record with its index among the records and
    // its full 32-bit address. A file whose first record is no extended
    // linear address gives none.
    template <class TTake>
    static void ForEachDataRecord(std::span<const CPacket_Hex> Records, TTake Take);
    static bool IsProgrammable(std::span<const CPacket_Hex> Records);
    void ClearLocked();

    mutable std::shared_mutex m_Lock;
    CFile_Project m_Project;
    CFile_EDogMusic m_EDog;
    CFile_EDogMusic m_Music;
    CFile_Radar m_Radar;
    // The firmware's data frames: each one's record and full address.
    struct CProjectFrame {
        std::uint32_t nRecord = 0;
        std::uint32_t dwAddress = 0;
    };
    std::vector<CProjectFrame> m_ProjectFrames;
};
