#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "AdapterFinding.h"
#include "Language.h"
#include "PortFinding.h"

// What a search that found no device says, in one language, made once for
// both front ends: the window shows the headline when a device answered
// without its information, and the line of the finding that tells most,
// worded for a search that goes on; iap-cli prints the headline and every
// port's line, worded for a search that has ended.
struct CSearchText {
    std::string strHeadline;
    std::vector<std::string> PortLines; // one for each finding, in order
    std::string strMostUseful;          // the window's line of GetMostUseful's finding; empty when there is none
    bool bNoInfo = false;               // a device answered, but never its information request
};

// Searched: the COM numbers probed, in order (COM1 to COM49 first, then the
// system's further ports, or the one port given).
CSearchText DescribeSearch(const std::vector<CPortFinding>& Findings, const std::vector<std::uint8_t>& Searched,
                           ELanguage eLanguage);

// After a successful update the device is asked what it now is: a line when
// what it answered needs saying (it did not answer: no FirmwareNow; its
// firmware is not strSent, the version written), "" otherwise. UTF-8.
std::string DescribeDeviceAfter(const std::optional<std::wstring>& FirmwareNow, const std::wstring& strSent,
                                ELanguage eLanguage);
