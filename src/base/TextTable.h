#pragma once
// The rows of the text catalogue (TextCatalog.h): {Russian, English}. The
// Russian column is the key and is never changed for a translation's sake:
// the stage texts and the elapsed time are the device update's own words,
// which drivers and their support know. A new language is one more column
// in every row (and one more ELanguage). Grouped by who speaks them.
#include <string_view>

inline constexpr CTextRow kTextTable[] = {
    // ---- The stages of an update (the stage table's texts) and the whole update.
    {"Обновление ПО...", "Updating the firmware..."},
    {"Обновление ПО прошло успешно!", "The firmware was updated!"},
    {"Не удалось обновить ПО!", "The firmware could not be updated!"},
    {"Обновление базы камер...", "Updating the camera database..."},
    {"Обновление базы камер прошло успешно!", "The camera database was updated!"},
    {"Не удалось обновить базу камер!", "The camera database could not be updated!"},
    {"Обновление звуковых файлов...", "Updating the sound files..."},
    {"Обновление звуковых файлов прошло успешно!", "The sound files were updated!"},
    {"Не удалось обновить звуковые файлы!", "The sound files could not be updated!"},
    {"Обновление ПО радарной части...", "Updating the radar firmware..."},
    {"Обновление ПО радарной части прошло успешно!", "The radar firmware was updated!"},
    {"Не удалось обновить ПО радарной части!", "The radar firmware could not be updated!"},
    {"Обновление меню устройства...", "Updating the device menu..."},
    {"Меню устройства обновлено успешно!", "The device menu was updated!"},
    {"Не удалось обновить меню устройства!", "The device menu could not be updated!"},
    {"Успешно обновлено!", "Updated successfully!"},
    {"Ошибка обновления!", "The update failed!"},
    // {1} hh:mm:ss
    {"Время обновления: {1}", "Elapsed time: {1}"},
    {"Осталось около {1} с", "About {1} s left"},
    {"Осталось около {1} мин", "About {1} min left"},

    // ---- Why an update failed: the stage's failure text, then one of these.
    {"Файл {1} повреждён в строке {2}", "The file {1} is damaged at line {2}"},
    {"Файл {1} повреждён по смещению {2}", "The file {1} is damaged at offset {2}"},
    {"Файл {1} повреждён: его размер {2} байт, больше 256 МиБ", "The file {1} is damaged: its size, {2} bytes, is over 256 MiB"},
    {"Файл {1} повреждён", "The file {1} is damaged"},
    {"{1}. В устройство ничего не отправлено.", "{1}. Nothing was sent to the device."},
    {"Устройство перестало отвечать.", "The device stopped answering."},
    {"Устройство не приняло данные. Последний ответ устройства: «{1}».",
     "The device did not accept the data. Its last answer: \"{1}\"."},
    {"Устройство отключено.", "The device was disconnected."},
    {"Команду не удалось записать в порт.", "A command could not be written to the port."},
    {"В файле нечего отправлять.", "The file has nothing to send."},
    {"Не все блоки дошли до устройства: передача прервалась.",
     "Not every block reached the device: the transfer broke off."},

    // ---- Why an update archive is refused. {1} is the archive, {2} and {3} what the reason names.
    {"Архив {1} не удаётся открыть для чтения.",
     "The archive {1} cannot be opened for reading."},
    {"Архив {1} повреждён, не полон или упакован так, что его не прочитать.",
     "The archive {1} is damaged or cut short, or packed in a way that cannot be read."},
    {"Архив {1} защищён паролем: распакуйте его сами и выберите папку.",
     "The archive {1} is protected by a password: unpack it yourself and choose the folder."},
    {"В архиве {1} есть запись с именем от корня диска ({2}): архив не распакован.",
     "The archive {1} holds an entry named from the root of a disk ({2}): it is not unpacked."},
    {"В архиве {1} есть запись, имя которой выводит из него через .. ({2}): архив не распакован.",
     "The archive {1} holds an entry whose name leads out of it with .. ({2}): it is not unpacked."},
    {"В архиве {1} есть ссылка ({2}): архив не распакован, файлы обновления — обычные файлы.",
     "The archive {1} holds a link ({2}): it is not unpacked, update files are plain files."},
    {"В архиве {1} больше {2} записей, куда больше, чем в обновлении: архив не распакован.",
     "The archive {1} holds more than {2} entries, far more than an update: it is not unpacked."},
    {"Архив {1} распаковывается больше чем в {2} МиБ, куда больше обновления: архив не распакован.",
     "The archive {1} unpacks to more than {2} MiB, far more than an update: it is not unpacked."},
    {"В архиве {1} файлы обновления лежат в двух папках, {2} и {3}: распакуйте его и выберите одну из них.",
     "The archive {1} holds update files in two folders, {2} and {3}: unpack it and choose one of them."},
    {"Архив {1} не распаковать: во временную папку {2} не удаётся записать.",
     "The archive {1} cannot be unpacked: the temporary folder {2} cannot be written."},

    // ---- What a search that found no device met. {1} is "COM3 (/dev/ttyUSB0)".
    {"Устройство не ответило ни на одном порту: {1}.", "No device answered on {1}."},
    {"COM{1}–COM{2}", "COM{1} to COM{2}"},
    {"Устройство на COM{1} ответило, но не прислало сведений о себе.",
     "A device answered on COM{1} but sent no information."},
    // Every port, as iap-cli lists them after its one search.
    {"Порт {1} не открыть: нет прав доступа. Если IAP Tool установлен из пакета, отключите адаптер и подключите его "
     "снова; иначе (или при работе через ssh) добавьте пользователя в группу, которой принадлежит порт (в Debian это "
     "dialout), и войдите в систему заново.",
     "{1} may not be opened: permission denied. If IAP Tool was installed from its package, unplug the adapter and "
     "plug it back in; otherwise (or over ssh) add your user to the group that owns it (dialout on Debian) and log in "
     "again."},
    {"Порт {1} держит открытым другая программа (занят). Закройте её и попробуйте снова.",
     "{1} is held open by another program (busy). Close that program and try again."},
    {"Порт {1} открылся, но никто не ответил.", "{1} opened, but nothing answered."},
    {"На порту {1} ответили, но не так, как отвечает устройство: ответ слишком короткий.",
     "{1} answered, but not as the device does: its answer is too short."},
    {"На порту {1} ответили, но не так, как отвечает устройство: команда {2} вместо 0x46.",
     "{1} answered, but not as the device does: command {2} instead of 0x46."},
    {"На порту {1} устройство ответило на опрос, но ни на один запрос сведений. Отключите устройство, подключите снова "
     "и попробуйте ещё раз.",
     "{1} answered the probe, but not one of its information requests. Unplug the device, plug it back in and try "
     "again."},
    // The one line the window shows while it searches on.
    {"Отключите устройство от компьютера, подключите снова и подождите: поиск продолжается.",
     "Unplug the device from the computer, plug it back in and wait: the search goes on."},
    {"Порт {1} закрыт для этого пользователя: нет прав доступа. Если программа установлена из пакета, отключите "
     "адаптер и подключите его снова. Иначе добавьте пользователя в группу dialout и войдите в систему заново.",
     "Port {1} is closed to this user: permission denied. If the program was installed from its package, unplug the "
     "adapter and plug it back in. Otherwise add the user to the dialout group and log in again."},
    {"Порт {1} занят другой программой. Закройте её: поиск продолжается.",
     "Port {1} is held by another program. Close it: the search goes on."},
    {"На порту {1} отвечает не это устройство.", "Something other than the device answers on port {1}."},
    // After an update the device is asked again what it is.
    {"Устройство не сообщило свои версии после обновления.", "The device did not report its versions after the update."},
    {"После обновления устройство сообщает версию ПО {1}, а записана {2}.",
     "Note: the device reports firmware {1}, not {2} as written."},

    // ---- What the USB serial adapters plugged in tell. {1} the adapter, {2}
    // the kernel module or driver, {3} the problem code.
    {"Адаптер {1} ({2})", "The {1} adapter ({2})"},
    {"{1} подключён, но драйвера для него нет: модуль ядра {2} не загружен. Загрузите его: sudo modprobe {2}.",
     "{1} is plugged in, but no driver serves it: the kernel module {2} is not loaded. Load it with sudo modprobe "
     "{2}."},
    {"{1} подключён, но драйвер для него не установлен, и COM-порта нет. Установите драйвер производителя адаптера или "
     "найдите его через Центр обновления Windows (Диспетчер устройств, «Обновить драйвер»).",
     "{1} is plugged in, but its driver is not installed, so it has no COM port. Install the driver from the adapter's "
     "maker, or let Windows Update find it (Device Manager, Update driver)."},
    {"{1} подключён, но его заняла программа (usbfs), и порта нет. Обычно это brltty: удалите его (sudo apt remove "
     "brltty) или скопируйте /usr/lib/udev/rules.d/85-brltty.rules в /etc/udev/rules.d/ и закомментируйте там строки "
     "с 1a86 и 10c4. Затем отключите адаптер и подключите снова.",
     "{1} is plugged in, but a program holds it (usbfs), so it has no serial port. That is usually brltty: remove it "
     "(sudo apt remove brltty), or copy /usr/lib/udev/rules.d/85-brltty.rules to /etc/udev/rules.d/ and comment out "
     "its lines with 1a86 and 10c4 there. Then unplug the adapter and plug it back in."},
    {"{1} подключён, но у него драйвер {2} вместо драйвера COM-порта, и порта нет. Удалите этот драйвер в Диспетчере "
     "устройств, установите драйвер производителя адаптера и подключите адаптер снова.",
     "{1} is plugged in, but it has the driver {2} instead of a serial driver, so it has no COM port. Uninstall that "
     "driver in Device Manager, install the adapter maker's driver and plug the adapter in again."},
    {"{1} подключён, но система сообщает о неполадке (код {3}). Отключите его и подключите снова.",
     "{1} is plugged in, but the system reports a problem with it (code {3}). Unplug it and plug it back in."},
    {"{1} подключён, но Windows сообщает о неполадке (код {3}). Отключите его и подключите снова; если не поможет, "
     "переустановите драйвер.",
     "{1} is plugged in, but Windows reports a problem with it (code {3}). Unplug it and plug it back in; if that "
     "does not help, reinstall its driver."},
    {"USB-адаптер ({1}) не подключён: компьютер не видит устройство. Подключите его; если оно подключено, возьмите "
     "другой кабель: кабель только для зарядки не передаёт данные.",
     "No USB serial adapter ({1}) is plugged in: the computer does not see the device. Plug it in; if it is plugged "
     "in, try another cable: a charge-only cable carries no data."},

    // ---- The report for support.
    {"Отчёт IAP Tool", "IAP Tool report"},
    {"Составлен", "Made"},
    {"Программа", "Program"},
    {"Система", "System"},
    {"Порт", "Port"},
    {"устройство не найдено", "no device found"},
    {"Адаптер", "Adapter"},
    {"не опознан", "not recognised"},
    {", драйвер {1}", ", driver {1}"},
    {"Поиск", "Search"},
    {"Устройство (по ver.txt)", "Device (as ver.txt names it)"},
    {"До обновления", "Before the update"},
    {"После обновления", "After the update"},
    {"не сообщило свои версии", "did not report its versions"},
    {"ПО {1}, база {2}, радар {3}", "firmware {1}, data {2}, radar {3}"},
    {"Папка обновления", "Update folder"},
    {"не выбрана", "none chosen"},
    {"нет файла", "missing"},
    {"не читается", "cannot be read"},
    {"{1} байт", "{1} bytes"},
    {"Меню устройства", "Device menu"},
    {"передано для записи", "handed over to be written"},
    {"не менялось", "unchanged"},
    {"Этапы", "Stages"},
    {"обновление не запускалось", "no update was started"},
    // {1} the start, {2} the stage, {3} seconds, {4} of {5} units answered
    {"{1}  этап {2}  {3} с  ответов {4} из {5}  ", "{1}  stage {2}  {3} s  {4} of {5} answered  "},
    {"не завершён", "did not end"},
    {"Итог", "Result"},
    {"Журнал (последние строки)", "Trace (last lines)"},

    // ---- Why the computer is kept awake (logind shows it to whoever asks it to sleep).
    {"Идёт обновление устройства: сон прервал бы запись", "A device update is writing; sleep would interrupt it"},

    // ---- The command lines of iap-cli and iap-sim: CLI11's help layout and
    // the options every program has. CLI11's own error wording stays English.
    {"Использование", "Usage"},
    {"ПАРАМЕТРЫ", "OPTIONS"},
    {"ОБЯЗАТЕЛЬНО", "REQUIRED"},
    {"Окружение", "Env"},
    {"Нужен", "Needs"},
    {"вывести этот текст и выйти", "print this text and exit"},
    {"вывести версию программы и выйти", "print the program's version and exit"},
    {"язык текстов: ru или en (по умолчанию язык\nсистемы)", "the language of the texts: ru or en (default:\nthe system's)"},
    {" (см. {1} --help)", " (see {1} --help)"},

    // ---- iap-cli's help.
    {"Обновляет радар-детектор на первом ответившем COM-порту файлами обновления\nиз папки или из архива "
     "обновления (.zip, .7z, .rar) в том виде, в каком его\nвыпустили: AC7811_project.hex, flagdata.bin, "
     "audioHead.bin, rdfw.bin; версии\nдля показа берутся из ver.txt.\n",
     "Updates the radar detector on the first COM port that answers, with the update\nfiles of a folder, or of "
     "the update's .zip, .7z or .rar archive as published:\nAC7811_project.hex, flagdata.bin, audioHead.bin, "
     "rdfw.bin; ver.txt gives the\nversions shown.\n"},
    {"Окружение (Linux):\n"
     "  IAP_PORT_DIR              папка ссылок COM<N>, которые заменяют\n"
     "                            последовательные порты\n"
     "  IAP_SYSFS_ROOT            откуда читать sysfs о подключённых\n"
     "                            USB-адаптерах (/sys)\n\n"
     "Код выхода: 0 обновлено (или нечего обновлять; с --check: обновление\n"
     "началось бы), 1 обновление не удалось (с --check: файл повреждён),\n"
     "2 устройство не ответило, 64 ошибка в командной строке.",
     "Environment (Linux):\n"
     "  IAP_PORT_DIR              a folder of COM<N> links that stand for the\n"
     "                            serial ports\n"
     "  IAP_SYSFS_ROOT            where sysfs is read for the USB adapters\n"
     "                            plugged in (/sys)\n\n"
     "Exit status: 0 updated (or nothing to update; with --check: an update would\n"
     "start), 1 the update failed (with --check: a file is damaged), 2 no device\n"
     "answered, 64 usage error."},
    {"Обновление", "Update"},
    {"Без устройства", "Without a device"},
    {"папка файлов обновления (по умолчанию\nтекущая папка) или архив обновления .zip, .7z\nили .rar: его файлы, "
     "в корне или в единственной\nверхней папке, распаковываются на время\nработы в личную временную папку",
     "the update files' folder (default: the current\nfolder), or the update's .zip, .7z or .rar\narchive: its "
     "files, in its root or its one top\nfolder, are unpacked into a private temporary\nfolder for the run"},
    {"меню устройства (73 байта), которое записать,\nесли оно отличается от меню в устройстве",
     "73-byte device menu to write when it differs\nfrom the device's"},
    {"только этот порт: номер COM (5 или COM5) или\nпуть к устройству, например /dev/ttyUSB0;\nдругих не опрашивать",
     "use this port alone: a COM number (5 or COM5), or a\ndevice path such as /dev/ttyUSB0; probe no other"},
    {"нужен номер COM или путь к устройству", "needs a COM number or a device path"},
    {"прервать обновление, которое не продвигается\nS секунд", "fail an update that makes no progress for S seconds"},
    {"искать устройство на портах не дольше S секунд", "search the ports for at most S seconds"},
    {"в конце, чем бы ни кончилось, записать в FILE\nотчёт для поддержки: версии, порт и адаптер,\nхеши файлов, каждый "
     "этап, итог и журнал\n(ничего никуда не отправляется)",
     "at the end, whatever the outcome, write a report\nfor support to FILE: versions, the port and\nadapter, the "
     "files' hashes, each stage, the\nresult and the trace (nothing is sent)"},
    {"нужно имя файла", "needs a file name"},
    {"писать отладочный журнал в стандартный поток\nошибок", "write the debug trace to standard error"},
    {"не открывать порт: прочитать каждый файл\nобновления так, как его читает обновление, и\nсказать по этапам, что "
     "будет отправлено и сколько\nэто займёт",
     "open no port: read every update file as an update\nwould and say per stage what it sends and how\nlong that "
     "takes"},
    {"с --check: то же одним объектом JSON", "with --check: the same as one JSON object"},
    {"вывести таблицу COM-портов и выйти", "print the COM port table and exit"},

    // ---- iap-cli's own lines.
    {"iap-cli: папки обновления {1} нет", "iap-cli: the update folder {1} does not exist"},
    {"iap-cli: папка обновления {1} не читается: {2}", "iap-cli: the update folder {1} cannot be read: {2}"},
    {"iap-cli: {1} — не папка и не архив .zip, .7z или .rar, а нужна папка обновления",
     "iap-cli: the update folder {1} is not a folder, nor a .zip, .7z or .rar archive"},
    {"iap-cli: файл меню устройства {1} — это папка, а не файл меню",
     "iap-cli: the device menu file {1} is a folder, not a device menu file"},
    {"iap-cli: файл меню устройства {1} не читается: {2}", "iap-cli: the device menu file {1} cannot be read: {2}"},
    {"iap-cli: в файле меню устройства {1} байт: {2}, а в меню устройства их {3}",
     "iap-cli: the device menu file {1} holds {2} bytes; a device menu has {3}"},
    {"iap-cli: в файле меню устройства {1} байт: {2} или больше, а в меню устройства их {3}",
     "iap-cli: the device menu file {1} holds {2} or more bytes; a device menu has {3}"},
    {"iap-cli: отчёт {1} не удаётся создать", "iap-cli: the report {1} cannot be created"},
    {"iap-cli: отчёт {1} не удаётся записать", "iap-cli: the report {1} cannot be written"},
    {"Нет такого порта: {1} не входит в последовательные порты этой системы (см. iap-cli --list-ports).",
     "No such port: {1} is none of this system's serial ports (see iap-cli --list-ports)."},
    {"Устройство на COM{1}: ПО {2}, база {3}, радар {4}", "Device on COM{1}: firmware {2}, data {3}, radar {4}"},
    {"Устройство на COM{1} теперь: ПО {2}, база {3}, радар {4}",
     "Device on COM{1} now: firmware {2}, data {3}, radar {4}"},
    {"Файлы (ver.txt): устройство {1}, ПО {2}, база {3}, радар {4}",
     "Files (ver.txt): device {1}, firmware {2}, data {3}, radar {4}"},
    {"Нечего обновлять: в файлах {1} из папки {2} нечего отправлять, а меню устройства не менялось.",
     "Nothing to update: {1} in {2} have nothing to send, and the device menu is unchanged."},
    {"Устройство отключено до начала обновления.", "The device was disconnected before the update could start."},
    {"Нечего обновлять: в папке {1} нет ни одного из файлов {2}, а меню устройства не задано (--settings).",
     "Nothing to update: {1} holds none of {2}, and no device menu was given (--settings)."},

    // ---- iap-cli --check.
    {"ПО", "firmware"},
    {"база камер", "camera database"},
    {"звуковые файлы", "sound data"},
    {"ПО радара", "radar firmware"},
    {"меню устройства", "device menu"},
    {"Файлы обновления в папке {1}:", "Update files in {1}:"},
    {"Файлы обновления в архиве {1}:", "Update files in {1}:"},
    {"нет: этап пропускается", "absent: skipped"},
    {"ПОВРЕЖДЁН: {1}", "DAMAGED: {1}"},
    {"{1} байт, нечего отправлять: этап пропускается", "{1} bytes, nothing to send: skipped"},
    {"{1} байт, записей данных: {2}, на линии {3}", "{1} bytes, {2} data records, {3} on the line"},
    {"{1} байт, блоков: {2}, на линии {3}", "{1} bytes, {2} blocks, {3} on the line"},
    {"{1} байт, кадров: {2}, на линии {3}", "{1} bytes, {2} frame, {3} on the line"},
    {" и перезапуск устройства {1}", " and the device's {1} restart"},
    {"{1} с", "{1} s"},
    {"Версии (ver.txt): устройство {1}, ПО {2}, база {3}, радар {4}",
     "Versions (ver.txt): device {1}, firmware {2}, data {3}, radar {4}"},
    {"Версия в самом файле ПО: {1}", "The firmware file's own version: {1}"},
    {"Внимание: {1}", "Warning: {1}"},
    {"нет ver.txt: окно не покажет версий этих файлов", "there is no ver.txt: the window shows no versions for these files"},
    {"в ver.txt версия ПО {1}, а в самом файле ПО — {2}",
     "ver.txt gives the firmware as {1}, but the firmware file's own version is {2}"},
    {"Обновление не началось бы: файл повреждён, и ничего не было бы отправлено.",
     "No update would start: a file is damaged, and nothing would be sent."},
    {"Нечего обновлять: ни одному этапу нечего отправлять.", "Nothing to update: no stage has anything to send."},
    {"Обновление началось бы: {1} на линии при 256000 бод.", "An update would start: {1} on the line at 256000 baud."},
    {"Обновление началось бы: {1} на линии при 256000 бод, с перезапуском {2}.",
     "An update would start: {1} on the line at 256000 baud, {2} with the restart."},

    // ---- iap-tool's lines on the terminal (the window's own are Qt's).
    {"Использование: iap-tool [--lang ru|en] [ПАПКА]\n"
     "Обновляет радар-детектор на первом ответившем COM-порту, в окне.\n"
     "В ПАПКЕ лежат файлы обновления (AC7811_project.hex, flagdata.bin, audioHead.bin,\n"
     "rdfw.bin) и ver.txt; вместо папки можно дать архив обновления (.zip, .7z, .rar),\n"
     "другой файл означает свою папку. Без неё установленная программа\n"
     "читает папку, выбранную в прошлый раз, а программа рядом со своей папкой Skin, —\n"
     "свою папку.\n"
     "  --lang ru|en  язык окна (по умолчанию язык системы); запоминается\n"
     "                до следующего запуска\n"
     "  --help        этот текст\n"
     "  --version     версия программы\n",
     "Usage: iap-tool [--lang ru|en] [FOLDER]\n"
     "Updates the radar detector on the first COM port that answers, in a window.\n"
     "FOLDER holds the update files (AC7811_project.hex, flagdata.bin, audioHead.bin,\n"
     "rdfw.bin) and ver.txt; the update's archive (.zip, .7z, .rar) may be given\n"
     "instead, another file stands for its folder. Without it an installed\n"
     "program reads the folder chosen last time, and a program beside its Skin folder\n"
     "reads its own folder.\n"
     "  --lang ru|en  the window's language (default: the system's); remembered\n"
     "                for the next start\n"
     "  --help        this text\n"
     "  --version     the program's version\n"},
    {"iap-tool: не больше одной папки и никаких параметров, кроме --help, --version и --lang",
     "iap-tool: one folder at most, no options but --help, --version and --lang"},

    // ---- iap-sim's help and lines.
    {"Виртуальный радар-детектор на псевдотерминале. Создаёт DIR/COM<N> — ссылку\n"
     "на подчинённую сторону терминала, печатает строку с её именем, отвечает по\n"
     "протоколу обновления, как исправное устройство, и хранит то, что ему прислали.\n"
     "Работает до SIGINT или SIGTERM, которые снова удаляют ссылку.\n\n"
     "Числа десятичные или шестнадцатеричные с 0x (команды: 0x23).\n",
     "A virtual radar detector on a pseudo-terminal. It creates DIR/COM<N> as a\n"
     "link to the terminal's slave side, prints one line naming it, answers the\n"
     "update protocol as a healthy device would and keeps what it is sent. It runs\n"
     "until SIGINT or SIGTERM, which remove the link again.\n\n"
     "Numbers are decimal, or hexadecimal with 0x (commands: 0x23).\n"},
    {"Кадры считаются по мере прихода, включая опрос.", "Frames are counted as they arrive, the probe included."},
    {"Устройство", "The device"},
    {"Запись и время", "Recording and timing"},
    {"Неисправности", "Faults"},
    {"папка ссылок COM<N>", "folder of the COM<N> links"},
    {"пустое имя папки", "an empty folder name"},
    {"номер порта, от 1 до 255", "port number, 1 to 255"},
    {"версия ПО в ответе 0x46", "firmware version reported in 0x46"},
    {"версия базы камер в 0x46", "camera-database version in 0x46"},
    {"версия радара в 0x46", "radar version in 0x46"},
    {"версия ПО в 0x46 после этапа ПО (по\nумолчанию та, что пришла в его 0x1C)",
     "firmware version in 0x46 once a firmware stage\nended (default: the version its 0x1C was sent)"},
    {"версия базы камер в 0x46 после этапа базы\nкамер (по умолчанию прежняя)",
     "camera-database version in 0x46 once a camera\ndatabase stage ended (default: unchanged)"},
    {"версия радара в 0x46 после этапа радара\n(по умолчанию прежняя)",
     "radar version in 0x46 once a radar stage ended\n(default: unchanged)"},
    {"блок настроек G в ответ на 0x47: 146\nшестнадцатеричных цифр (между ними можно\nпробелы, ':' и '-') или файл "
     "из 73 байт;\nзапись 0x4A заменяет его",
     "settings block G answered to 0x47: 146 hex digits\n(spaces, ':' and '-' allowed between them) or a\nfile of 73 "
     "bytes; a 0x4A write replaces it"},
    {"блок настроек I в ответ на 0x49", "settings block I answered to 0x49"},
    {"отвечать на 0x1C сначала 0x1C, затем 0x19", "answer 0x1C with 0x1C first, then with 0x19"},
    {"записывать в DIR то, что устройство хранит,\nпо окончании каждого этапа: firmware.bin (от\nнаименьшего адреса, "
     "пропуски 0xFF) и\nfirmware.map по 0x1A, flagdata.bin по 0x20,\naudioHead.bin по 0x30, rdfw.bin и rdfw.size\n(совпал "
     "ли размер из 0x41?) по 0x40,\nsettings.bin по 0x4A; frames.log — каждый кадр\nвходящий (rx) и исходящий (tx), "
     "байты, из\nкоторых не сложился кадр (bad), и шум, с\nотметкой времени в миллисекундах, по мере\nпоступления",
     "write what the device now holds into DIR as each\nstage ends: firmware.bin (from the lowest address,\ngaps 0xFF) "
     "and firmware.map on 0x1A, flagdata.bin\non 0x20, audioHead.bin on 0x30, rdfw.bin and\nrdfw.size (did the size "
     "of 0x41 match?) on 0x40,\nsettings.bin on 0x4A; frames.log, every frame in\n(rx) and out (tx), the bytes that "
     "made no frame\n(bad) and the noise, with a millisecond time\nstamp, as it happens"},
    {"вести линию со скоростью B бод, 10 бит на\nбайт в обе стороны (по умолчанию без\nограничения)",
     "pace the line at B baud, 10 bits a byte in both\ndirections (default: no pacing)"},
    {"устройство работает D мс перед каждым\nответом (только на CMD, если она задана)",
     "the device works D ms before each answer (to\nCMD only, when it is given)"},
    {"начальное число рваных ответов и шума", "seed of torn answers and noise"},
    {"не отвечать ничего", "answer nothing at all"},
    {"отвечать на 0x45 первыми 4 байтами его 0x46", "answer 0x45 with the first 4 bytes of its 0x46"},
    {"отвечать на 0x45 кадром CMD вместо 0x46", "answer 0x45 with a frame of CMD instead of 0x46"},
    {"неисправность опроса только у первых N 0x45", "only the first N 0x45 get the probe fault"},
    {"при каждом открытии порта ответить на опрос\n(первый 0x45) и потерять ответы на следующие\nN 0x45 (или на все), "
     "как линия, которая их\nтеряет",
     "each time the port is opened, answer the probe (the\nfirst 0x45) and lose the answers to the next N 0x45\n(or to "
     "all of them), as a line that drops them"},
    {"ответить на N кадров (или на N кадров CMD),\nзатем ничего; с этого момента и не хранить\nничего",
     "answer N frames (or N frames of CMD), then nothing;\nfrom then on nothing more is stored either"},
    {"ответить на блок K этапа CMD (0x06, 0x23, 0x33\nили 0x43, считая от команды начала этапа)\nодин раз статусом S "
     "(по умолчанию 3) и не\nхранить его; можно задать несколько раз",
     "answer block K of the stage of CMD (0x06, 0x23,\n0x33 or 0x43, counted from the stage's start\ncommand) once with "
     "status S (default 3) and do not\nstore it; may be given more than once"},
    {"никогда не отвечать на 0x47 и 0x49", "never answer 0x47 or 0x49"},
    {"писать ответы по одному байту или случайными\nкусками через --tear-gap-us",
     "write answers one byte at a time, or in random\nchunks, --tear-gap-us apart"},
    {"пауза между кусками рваного ответа", "pause between the pieces of a torn answer"},
    {"после каждого отправленного кадра от 1 до N\nслучайных байтов; в шуме нет 0xAC, так что\nон не начинает кадр",
     "after each frame sent, 1 to N random bytes; noise\nnever holds 0xAC, so it can never start a frame"},
    {"после ответа на N-й кадр (CMD) и его чтения\nзакрыть терминал и удалить ссылку, как\nотключённое устройство; "
     "затем программа\nзавершается",
     "after the N-th frame (of CMD) is answered and read,\nclose the terminal and remove the link, as an\nunplugged "
     "device; the program then ends"},
    {"послать запрос устройства 0x1B после ответа\nна N-й кадр (CMD); можно задать несколько\nраз",
     "send the device request 0x1B after answering the\nN-th frame (of CMD); may be given more than once"},
    {"послать кадр CMD без данных после ответа на\nN-й кадр (C): 0x13, 0x50 или любой другой\nкадр, которого хост не "
     "просил; можно задать\nнесколько раз",
     "send a frame of CMD, without payload, after\nanswering the N-th frame (of C): 0x13, 0x50 or\nany other frame a "
     "host did not ask for; may be\ngiven more than once"},
    {"неверное значение {1}", "bad value {1}"},
    {"не удаётся прочитать {1}", "cannot read {1}"},
    {"не пары шестнадцатеричных цифр", "not pairs of hex digits"},
    {"{1} байт, а не 73", "{1} bytes, not 73"},
    {"iap-sim: COM{1} — это {2} -> {3}", "iap-sim: COM{1} is {2} -> {3}"},
    {"iap-sim: COM{1} отключён", "iap-sim: COM{1} unplugged"},
    {"устройство уже работало", "the device has already run"},
    {"не удалось создать eventfd", "eventfd failed"},
    {"{1} занят другим устройством", "{1} is taken by another device"},
    {"не удаётся записать {1}", "cannot write {1}"},
};
