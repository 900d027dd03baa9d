#include "CliOptions.h"

#include <CLI/CLI.hpp>

#include "TextCatalog.h"

void CCliOptions::Declare(CLI::App& AApp)
{
    const auto Say = [this](CTextKey AKey) { return std::string(GetText(eLanguage, AKey)); };
    AApp.description(Say("Обновляет радар-детектор на первом ответившем COM-порту файлами обновления\nиз папки или из "
                         "архива обновления (.zip, .7z, .rar) в том виде, в каком его\nвыпустили: AC7811_project.hex, "
                         "flagdata.bin, audioHead.bin, rdfw.bin; версии\nдля показа берутся из ver.txt.\n"));
    AApp.footer(Say("Окружение (Linux):\n"
                    "  IAP_PORT_DIR              папка ссылок COM<N>, которые заменяют\n"
                    "                            последовательные порты\n"
                    "  IAP_SYSFS_ROOT            откуда читать sysfs о подключённых\n"
                    "                            USB-адаптерах (/sys)\n\n"
                    "Код выхода: 0 обновлено (или нечего обновлять; с --check: обновление\n"
                    "началось бы), 1 обновление не удалось (с --check: файл повреждён),\n"
                    "2 устройство не ответило, 64 ошибка в командной строке."));
    // Whole seconds, as a person types them; a day and a half at most.
    const CLI::Validator ASeconds = CLI::Range(1u, 999999u).description("");
    const std::string strNeedsPort = Say("нужен номер COM или путь к устройству");
    const std::string strNeedsFile = Say("нужно имя файла");

    AApp.option_defaults()->group(Say("Обновление"));
    AApp.add_option("--folder", strFolder, Say("папка файлов обновления (по умолчанию\nтекущая папка) или архив обновления .zip, .7z\nили "
                                               ".rar: его файлы, в корне или в единственной\nверхней папке, распаковываются "
                                               "на время\nработы в личную временную папку"))
        ->type_name("DIR|ARCHIVE");
    AApp.add_option("--settings", strSettings,
                    Say("меню устройства (73 байта), которое записать,\nесли оно отличается от меню в устройстве"))
        ->type_name("FILE");
    AApp.add_option("--port", strPort,
                    Say("только этот порт: номер COM (5 или COM5) или\nпуть к устройству, например /dev/ttyUSB0;\n"
                        "других не опрашивать"))
        ->type_name("N|PATH")
        ->check([strNeedsPort](const std::string& str) { return str.empty() ? strNeedsPort : ""; });
    AApp.add_option("--stall-timeout", nStallSeconds, Say("прервать обновление, которое не продвигается\nS секунд"))
        ->type_name("S")->capture_default_str()->check(ASeconds);
    AApp.add_option("--wait", nWaitSeconds, Say("искать устройство на портах не дольше S секунд"))
        ->type_name("S")->capture_default_str()->check(ASeconds);
    AApp.add_option("--report", strReport,
                    Say("в конце, чем бы ни кончилось, записать в FILE\nотчёт для поддержки: версии, порт и адаптер,\n"
                        "хеши файлов, каждый этап, итог и журнал\n(ничего никуда не отправляется)"))
        ->type_name("FILE")
        ->check([strNeedsFile](const std::string& str) { return str.empty() ? strNeedsFile : ""; });
    AApp.add_flag("--trace", bTrace, Say("писать отладочный журнал в стандартный поток\nошибок"));

    AApp.option_defaults()->group(Say("Без устройства"));
    CLI::Option* pCheck = AApp.add_flag("--check", bCheck,
                                        Say("не открывать порт: прочитать каждый файл\nобновления так, как его читает "
                                            "обновление, и\nсказать по этапам, что будет отправлено и сколько\nэто "
                                            "займёт"));
    AApp.add_flag("--json", bJson, Say("с --check: то же одним объектом JSON"))->needs(pCheck);
    AApp.add_flag("--list-ports", bListPorts, Say("вывести таблицу COM-портов и выйти"));
}
