#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// How the virtual device behaves, from the command line or set by a test.
struct CSimOptions {
    std::string strPortDir;
    unsigned nCom = 0;
    std::string strRecordDir;
    std::uint16_t uFirmwareVersion = 0x0102;
    std::uint16_t uDataVersion = 0x0003;
    std::uint16_t uRadarVersion = 0x1a2b;
    std::array<std::uint8_t, 73> SettingsG{};
    std::array<std::uint8_t, 73> SettingsI{};
    bool bAcceptProjectFirst = false;  // answer 0x1C with 0x1C, then 0x19
    std::uint32_t dwBaud = 0;          // 0: no line pacing
    std::uint32_t dwAnswerDelayMs = 0;
    // Faults.
    bool bSilent = false;
    bool bProbeFourBytes = false;
    bool bProbeOtherCommand = false;
    long nStopAfter = -1;              // stop answering after this many frames...
    int nStopCommand = -1;             // ...counting only this command when set
    long nFailBlock = -1;              // answer this block (from 0) of a stage once with status 3
    bool bNoMenu = false;              // never answer 0x47/0x49
    bool bTearAnswers = false;         // answers in single bytes
    bool bNoise = false;               // noise bytes (never 0xAC) before every answer
    long nHangupAfter = -1;            // close the line after this many frames
    long nRequestAt = -1;              // send the device request 0x1B after this many frames
    bool bHelp = false;

    static std::optional<CSimOptions> Parse(const std::vector<std::string>& Args, std::string& strError);
    static const char* Usage();
};
