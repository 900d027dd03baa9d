#include "SimOptions.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>

#include <CLI/CLI.hpp>

#include "TextCatalog.h"

namespace {

// A number as CLI11 reads every option's: decimal, or hexadecimal with 0x.
template <class T>
bool ParseInto(const std::string& strText, std::uint64_t uMin, std::uint64_t uMax, T& Out)
{
    std::uint64_t uValue = 0;
    if (!CLI::detail::lexical_cast(strText, uValue) || uValue < uMin || uValue > uMax)
        return false;
    Out = static_cast<T>(uValue);
    return true;
}

std::vector<std::string> SplitColons(const std::string& strText)
{
    // A value that ends in a colon lacks its last part.
    return strText.ends_with(':') ? std::vector<std::string>{} : CLI::detail::split(strText, ':');
}

// N or N:CMD.
bool ParsePoint(const std::string& strText, std::uint32_t nMin, CFramePoint& APoint)
{
    const std::vector<std::string> Parts = SplitColons(strText);
    std::uint8_t btCommand = 0;
    if (Parts.empty() || Parts.size() > 2 || !ParseInto(Parts[0], nMin, 0x7FFFFFFFu, APoint.nCount) ||
        (Parts.size() == 2 && !ParseInto(Parts[1], 1, 0xFF, btCommand)))
        return false;
    APoint.Command = Parts.size() == 2 ? std::optional<std::uint8_t>(btCommand) : std::nullopt;
    return true;
}

// CMD:K or CMD:K:STATUS, for a stage's block command.
bool ParseFailBlock(const std::string& strText, CFailBlock& ABlock)
{
    const std::vector<std::string> Parts = SplitColons(strText);
    const std::uint8_t kBlockCommands[] = {0x06, 0x23, 0x33, 0x43};
    return Parts.size() >= 2 && Parts.size() <= 3 && ParseInto(Parts[0], 0, 0xFF, ABlock.btCommand) &&
           std::find(std::begin(kBlockCommands), std::end(kBlockCommands), ABlock.btCommand) !=
               std::end(kBlockCommands) &&
           ParseInto(Parts[1], 1, 0xFFFFFFFFu, ABlock.nBlock) &&
           (Parts.size() == 2 || ParseInto(Parts[2], 0, 0xFF, ABlock.btStatus));
}

// 146 hex digits (spaces, colons and dashes between them are fine), or
// @FILE naming a file of exactly 73 bytes. Answers what is wrong, or "".
std::string ParseSettings(const std::string& strText, ELanguage eLanguage, CSimSettings& ASettings)
{
    std::string strBytes;
    if (strText.starts_with('@')) {
        std::ifstream AFile(strText.substr(1), std::ios::binary);
        if (!AFile)
            return FormatText(eLanguage, "не удаётся прочитать {1}", {strText.substr(1)});
        strBytes.assign(std::istreambuf_iterator<char>(AFile), std::istreambuf_iterator<char>());
    } else {
        std::string strDigits;
        std::copy_if(strText.begin(), strText.end(), std::back_inserter(strDigits),
                     [](char ch) { return ch != ' ' && ch != ':' && ch != '-'; });
        if (strDigits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos || strDigits.size() % 2 != 0)
            return std::string(GetText(eLanguage, "не пары шестнадцатеричных цифр"));
        for (std::size_t i = 0; i < strDigits.size(); i += 2)
            strBytes += static_cast<char>(std::stoi(strDigits.substr(i, 2), nullptr, 16));
    }
    if (strBytes.size() != kSimSettingsSize)
        return FormatText(eLanguage, "{1} байт, а не 73", {std::to_string(strBytes.size())});
    std::copy(strBytes.begin(), strBytes.end(), ASettings.begin());
    return "";
}

// An option whose value Store turns into fields of the options; it may be
// given more than once. Store answers what is wrong with a value, or "".
using AStore = std::function<std::string(const std::string&)>;
CLI::Option* AddStored(CLI::App& AApp, const std::string& strName, const char* szType, std::string_view szHelp,
                       const AStore& Store)
{
    const auto Apply = [strName, Store](const std::vector<std::string>& Values) {
        for (const std::string& strValue : Values)
            if (const std::string strWrong = Store(strValue); !strWrong.empty())
                throw CLI::ValidationError(strName, strWrong);
    };
    return AApp.add_option_function<std::vector<std::string>>(strName, Apply, std::string(szHelp))
        ->type_name(szType)
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

std::string Refused(bool bTaken, const std::string& strValue, ELanguage eLanguage)
{
    return bTaken ? "" : FormatText(eLanguage, "неверное значение {1}", {strValue});
}

template <class T>
AStore StorePoint(std::uint32_t nMin, std::uint32_t nMax, T& nCount, int& nCommand, ELanguage eLanguage)
{
    return [nMin, nMax, &nCount, &nCommand, eLanguage](const std::string& v) {
        CFramePoint APoint;
        const bool bTaken = ParsePoint(v, nMin, APoint) && APoint.nCount <= nMax;
        nCount = static_cast<T>(APoint.nCount);
        nCommand = APoint.Command ? *APoint.Command : -1;
        return Refused(bTaken, v, eLanguage);
    };
}

} // namespace

CSimSettings CSimOptions::DefaultSettingsG()
{
    // Every choice of the menu at its first or second item, alternating, so
    // a settings dialog shows a menu that is neither all on nor all off.
    CSimSettings ASettings{};
    for (std::size_t i = 0; i < ASettings.size(); ++i)
        ASettings[i] = static_cast<std::uint8_t>(i % 2);
    return ASettings;
}

CSimSettings CSimOptions::DefaultSettingsI()
{
    CSimSettings ASettings{};
    for (std::size_t i = 0; i < ASettings.size(); ++i)
        ASettings[i] = static_cast<std::uint8_t>((i + 1) % 2);
    return ASettings;
}

void CSimOptions::Declare(CLI::App& AApp)
{
    const ELanguage eLang = eLanguage;
    const auto Say = [eLang](CTextKey AKey) { return std::string(GetText(eLang, AKey)); };
    AApp.description(Say("Виртуальный радар-детектор на псевдотерминале. Создаёт DIR/COM<N> — ссылку\n"
                         "на подчинённую сторону терминала, печатает строку с её именем, отвечает по\n"
                         "протоколу обновления, как исправное устройство, и хранит то, что ему прислали.\n"
                         "Работает до SIGINT или SIGTERM, которые снова удаляют ссылку.\n\n"
                         "Числа десятичные или шестнадцатеричные с 0x (команды: 0x23).\n"));
    AApp.footer(Say("Кадры считаются по мере прихода, включая опрос."));
    const auto Range = [](std::uint64_t uMin, std::uint64_t uMax) { return CLI::Range(uMin, uMax).description(""); };
    const auto Option = [&AApp, &Say](const std::string& strName, auto& Field, const char* szType, CTextKey AHelp) {
        return AApp.add_option(strName, Field, Say(AHelp))->type_name(szType);
    };
    const auto VersionAfter = [&AApp, &Say](const std::string& strName, std::optional<std::uint16_t>& Version,
                                            CTextKey AHelp) {
        AApp.add_option_function<std::uint16_t>(strName, [&Version](std::uint16_t u) { Version = u; }, Say(AHelp))
            ->type_name("V");
    };
    const std::string strEmptyFolder = Say("пустое имя папки");

    AApp.option_defaults()->group(Say("Порт"));
    Option("--port-dir", strPortDir, "DIR", "папка ссылок COM<N>")
        ->envname("IAP_PORT_DIR")
        ->required()
        ->check([strEmptyFolder](const std::string& v) { return v.empty() ? strEmptyFolder : ""; });
    Option("--com", nCom, "N", "номер порта, от 1 до 255")->required()->check(Range(1, 255));

    AApp.option_defaults()->group(Say("Устройство"));
    Option("--firmware-version", uFirmwareVersion, "V", "версия ПО в ответе 0x46")->default_str("0x0102");
    Option("--data-version", uDataVersion, "V", "версия базы камер в 0x46")->default_str("0x0003");
    Option("--radar-version", uRadarVersion, "V", "версия радара в 0x46")->default_str("0x1a2b");
    VersionAfter("--firmware-version-after", FirmwareVersionAfter,
                 "версия ПО в 0x46 после этапа ПО (по\nумолчанию та, что пришла в его 0x1C)");
    VersionAfter("--data-version-after", DataVersionAfter,
                 "версия базы камер в 0x46 после этапа базы\nкамер (по умолчанию прежняя)");
    VersionAfter("--radar-version-after", RadarVersionAfter,
                 "версия радара в 0x46 после этапа радара\n(по умолчанию прежняя)");
    AddStored(AApp, "--settings-g", "HEX|@FILE",
              Say("блок настроек G в ответ на 0x47: 146\nшестнадцатеричных цифр (между ними можно\nпробелы, ':' и "
                  "'-') или файл из 73 байт;\nзапись 0x4A заменяет его"),
              [this](const std::string& v) { return ParseSettings(v, eLanguage, SettingsG); });
    AddStored(AApp, "--settings-i", "HEX|@FILE", Say("блок настроек I в ответ на 0x49"),
              [this](const std::string& v) { return ParseSettings(v, eLanguage, SettingsI); });
    AApp.add_flag("--accept-project-start", bAcceptProjectStart, Say("отвечать на 0x1C сначала 0x1C, затем 0x19"));

    AApp.option_defaults()->group(Say("Запись и время"));
    Option("--record", strRecordDir, "DIR",
           "записывать в DIR то, что устройство хранит,\nпо окончании каждого этапа: firmware.bin (от\nнаименьшего "
           "адреса, пропуски 0xFF) и\nfirmware.map по 0x1A, flagdata.bin по 0x20,\naudioHead.bin по 0x30, rdfw.bin "
           "и rdfw.size\n(совпал ли размер из 0x41?) по 0x40,\nsettings.bin по 0x4A; frames.log — каждый "
           "кадр\nвходящий (rx) и исходящий (tx), байты, из\nкоторых не сложился кадр (bad), и шум, с\nотметкой "
           "времени в миллисекундах, по мере\nпоступления");
    Option("--baud", dwBaud, "B", "вести линию со скоростью B бод, 10 бит на\nбайт в обе стороны (по умолчанию без\nограничения)")
        ->check(Range(50, 100000000));
    AddStored(AApp, "--answer-delay-ms", "D[:CMD]",
              Say("устройство работает D мс перед каждым\nответом (только на CMD, если она задана)"),
              StorePoint(0, 600000, dwAnswerDelayMs, nAnswerDelayCommand, eLang));
    Option("--seed", dwSeed, "S", "начальное число рваных ответов и шума")->capture_default_str();

    AApp.option_defaults()->group(Say("Неисправности"));
    AApp.add_flag("--silent", bSilent, Say("не отвечать ничего"));
    AApp.add_flag_callback("--probe-short", [this] { eProbeFault = EProbeFault::Short; },
                           Say("отвечать на 0x45 первыми 4 байтами его 0x46"));
    AddStored(AApp, "--probe-command", "CMD", Say("отвечать на 0x45 кадром CMD вместо 0x46"),
              [this](const std::string& v) {
                  eProbeFault = EProbeFault::OtherCommand;
                  return Refused(ParseInto(v, 1, 0xFF, btProbeCommand) && btProbeCommand != 0x46, v, eLanguage);
              });
    Option("--probe-fault-times", nProbeFaultTimes, "N", "неисправность опроса только у первых N 0x45")
        ->check(Range(1, 0xFFFFFFFFu));
    AddStored(AApp, "--lose-info", "N|all",
              Say("при каждом открытии порта ответить на опрос\n(первый 0x45) и потерять ответы на следующие\nN "
                  "0x45 (или на все), как линия, которая их\nтеряет"),
              [this](const std::string& v) {
                  return Refused(v == "all" ? (nLoseInfo = -1, true) : ParseInto(v, 1, 0x7FFFFFFF, nLoseInfo), v,
                                 eLanguage);
              });
    AddStored(AApp, "--stop-after", "N[:CMD]",
              Say("ответить на N кадров (или на N кадров CMD),\nзатем ничего; с этого момента и не хранить\nничего"),
              StorePoint(0, 0x7FFFFFFF, nStopAfter, nStopCommand, eLang));
    AddStored(AApp, "--fail-block", "CMD:K[:S]",
              Say("ответить на блок K этапа CMD (0x06, 0x23, 0x33\nили 0x43, считая от команды начала этапа)\nодин "
                  "раз статусом S (по умолчанию 3) и не\nхранить его; можно задать несколько раз"),
              [this](const std::string& v) {
                  return Refused(ParseFailBlock(v, FailBlocks.emplace_back()), v, eLanguage);
              });
    AApp.add_flag("--no-menu", bNoMenu, Say("никогда не отвечать на 0x47 и 0x49"));
    Option("--tear", eTear, "bytes|random", "писать ответы по одному байту или случайными\nкусками через --tear-gap-us")
        ->transform(CLI::CheckedTransformer(std::map<std::string, ETear>{{"bytes", ETear::Bytes},
                                                                         {"random", ETear::Random}})
                        .description(""));
    Option("--tear-gap-us", dwTearGapUs, "U", "пауза между кусками рваного ответа")
        ->capture_default_str()
        ->check(Range(0, 1000000));
    Option("--noise", nNoiseMax, "N",
           "после каждого отправленного кадра от 1 до N\nслучайных байтов; в шуме нет 0xAC, так что\nон не начинает кадр")
        ->check(Range(1, 255));
    AddStored(AApp, "--hangup-after", "N[:CMD]",
              Say("после ответа на N-й кадр (CMD) и его чтения\nзакрыть терминал и удалить ссылку, как\nотключённое "
                  "устройство; затем программа\nзавершается"),
              StorePoint(1, 0x7FFFFFFF, nHangupAfter, nHangupCommand, eLang));
    AddStored(AApp, "--device-request", "N[:CMD]",
              Say("послать запрос устройства 0x1B после ответа\nна N-й кадр (CMD); можно задать несколько\nраз"),
              [this](const std::string& v) {
                  return Refused(ParsePoint(v, 1, DeviceRequests.emplace_back()), v, eLanguage);
              });
    AddStored(AApp, "--unsolicited", "CMD:N[:C]",
              Say("послать кадр CMD без данных после ответа на\nN-й кадр (C): 0x13, 0x50 или любой другой\nкадр, "
                  "которого хост не просил; можно задать\nнесколько раз"),
              [this](const std::string& v) {
                  const std::size_t nColon = v.find(':');
                  CUnsolicited& AFrame = Unsolicited.emplace_back();
                  return Refused(nColon != std::string::npos &&
                                     ParseInto(v.substr(0, nColon), 1, 0xFF, AFrame.btCommand) &&
                                     ParsePoint(v.substr(nColon + 1), 1, AFrame.At),
                                 v, eLanguage);
              });
}
