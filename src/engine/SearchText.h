#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "AdapterFinding.h"
#include "PortFinding.h"

// The languages the tool speaks to a driver.
enum class ELanguage { Russian, English };

// What a search that found no device says, in one language, made once for
// both front ends: the window shows the headline when a device answered
// without its information, and the line of the finding that tells most;
// iap-cli prints the headline and every port's line.
struct CSearchText {
    std::string strHeadline;
    std::vector<std::string> PortLines; // one for each finding, in order (empty for a silent port in Russian)
    std::string strMostUseful;          // the line of GetMostUseful's finding; empty when there is none
    bool bNoInfo = false;               // a device answered, but never its information request
};

// Searched: the COM numbers probed, in order (COM1 to COM49 first, then the
// system's further ports, or the one port given).
CSearchText DescribeSearch(const std::vector<CPortFinding>& Findings, const std::vector<std::uint8_t>& Searched,
                           ELanguage eLanguage);

// The adapter findings' lines in one language, with the fixes of eSystem.
std::vector<std::string> DescribeAdapters(const std::vector<CAdapterFinding>& Findings, EHostSystem eSystem,
                                          ELanguage eLanguage);

// After a successful update the device is asked what it now is: a line when
// what it answered needs saying (it did not answer: no FirmwareNow; its
// firmware is not strSent, the version written), "" otherwise. UTF-8.
std::string DescribeDeviceAfter(const std::optional<std::wstring>& FirmwareNow, const std::wstring& strSent,
                                ELanguage eLanguage);
