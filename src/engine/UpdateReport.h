#pragma once
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "Language.h"
#include "UpdateJournal.h"
#include "UsbAdapters.h"

class CWork_BK;

// The trace's last lines a report carries.
inline constexpr std::size_t kReportTraceLines = 2000;

// What a report for support tells, gathered by the front end that offers
// it: one text a support person reads top to bottom, so that a driver
// whose update failed can send what happened instead of describing it.
// Nothing in it is sent anywhere.
struct CReportFacts {
    ELanguage eLanguage = ELanguage::Russian; // the headings' language: the front end's
    std::vector<std::string> Program;       // "IAP Tool 1.0.0", "Qt 6.4.2"
    std::uint8_t btPort = 0;                // 0: no device was found
    std::string strPortPath;
    std::vector<CUsbAdapter> Adapters;      // the adapters plugged in
    std::vector<std::string> SearchLines;   // what the search met, as the front end said it
    std::filesystem::path Folder;           // the update folder (empty: none chosen)
    std::filesystem::path Archive;          // the archive unpacked into Folder (empty: none)
    std::optional<std::array<std::wstring, 3>> DeviceBefore;
    std::optional<std::array<std::wstring, 3>> DeviceAfter;
    bool bAfterUnanswered = false;          // asked after the update, the device did not answer
    bool bMenuHandedOver = false;
    std::optional<CUpdateJournal> Journal;  // the update, when one ran
    std::wstring strResult;                 // the whole update's result as the window shows it
    std::wstring strWhy;                    // the line below it after a failure
    std::vector<std::string> Trace;         // the trace's last lines
};

// The connection's part of the facts from the worker: its port, the device's
// versions now and the adapters plugged in. The front end's thread.
void GatherConnection(const CWork_BK& AWork, CReportFacts& AFacts);

// The report's text, UTF-8, with the user's home folder written "~". It
// reads the update files to hash them.
std::string MakeReport(const CReportFacts& AFacts);

// "iap-tool-report-20261208-114002.txt" for a report made now.
std::string MakeReportFileName();

// Writes the text to File; answers how far it got.
enum class EReportWrite { Written, NotCreated, NotWritten };
EReportWrite WriteReport(const std::filesystem::path& File, const std::string& strText);
