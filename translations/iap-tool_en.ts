<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ru">
<context>
    <name>CFrame_Update</name>
    <message>
        <source>Устройство подключено. Нажмите «Обновить», чтобы начать.</source>
        <translation>Device connected. Press “Update” to start.</translation>
    </message>
    <message>
        <source>Устройство отключено. Поиск устройства...</source>
        <translation>Device disconnected. Looking for the device...</translation>
    </message>
    <message>
        <source>Последнее обновление: %1</source>
        <translation>Last update: %1</translation>
    </message>
    <message>
        <source>Нечего обновлять: файлы обновления не найдены, меню не менялось.</source>
        <translation>Nothing to update: no update files were found, and the menu is unchanged.</translation>
    </message>
    <message>
        <source>Устройство подключено. Выберите папку с файлами обновления («Папка…») или измените меню устройства.</source>
        <translation>Device connected. Choose the folder with the update files (“Folder…”) or change the device menu.</translation>
    </message>
    <message>
        <source>Папка не выбрана</source>
        <translation>No folder chosen</translation>
    </message>
    <message>
        <source> (такой папки нет)</source>
        <translation> (no such folder)</translation>
    </message>
    <message>
        <source>Папка с файлами обновления</source>
        <translation>Folder with the update files</translation>
    </message>
    <message>
        <source>Старт обновления...</source>
        <translation>Starting the update...</translation>
    </message>
    <message>
        <source>Сохранить отчёт</source>
        <translation>Save report</translation>
    </message>
    <message>
        <source>Текст (*.txt)</source>
        <translation>Text (*.txt)</translation>
    </message>
    <message>
        <source>Отчёт сохранён: %1</source>
        <translation>Report saved: %1</translation>
    </message>
    <message>
        <source>Отчёт не сохранён: %1</source>
        <translation>Report not saved: %1</translation>
    </message>
    <message>
        <source> (архив не принят)</source>
        <translation> (archive refused)</translation>
    </message>
    <message>
        <source>Архив обновления</source>
        <translation>Update archive</translation>
    </message>
    <message>
        <source>Архивы обновления (*.zip *.7z *.rar)</source>
        <translation>Update archives (*.zip *.7z *.rar)</translation>
    </message>
    <message>
        <source>Папка с файлами обновления…</source>
        <translation>Folder with the update files…</translation>
    </message>
    <message>
        <source>Архив обновления (.zip, .7z, .rar)…</source>
        <translation>Update archive (.zip, .7z, .rar)…</translation>
    </message>
    <message>
        <source>Отпустите здесь папку с файлами обновления или архив обновления</source>
        <translation>Drop the folder with the update files or the update archive here</translation>
    </message>
</context>
<context>
    <name>CProgram</name>
    <message>
        <source>Не найдено оформление окна (frame_Update.xml). Искали в папках:
%1
Установите программу заново.</source>
        <translation>The window layout (frame_Update.xml) was not found. Looked in the folders:
%1
Install the program again.</translation>
    </message>
</context>
<context>
    <name>CSkinLoader</name>
    <message>
        <source>файл не читается (%1).</source>
        <translation>the file cannot be read (%1).</translation>
    </message>
    <message>
        <source>файла нет.</source>
        <translation>there is no such file.</translation>
    </message>
    <message>
        <source>это не описание окна (%1).</source>
        <translation>it is not a window layout (%1).</translation>
    </message>
</context>
<context>
    <name>Frame_Set</name>
    <message>
        <source>Меню устройства</source>
        <translation>Device menu</translation>
    </message>
    <message>
        <source>Основные</source>
        <translation>General</translation>
    </message>
    <message>
        <source>Пороги по профилям</source>
        <translation>Thresholds per profile</translation>
    </message>
    <message>
        <source>Как в устройстве</source>
        <translation>As in the device</translation>
    </message>
    <message>
        <source>Заводские</source>
        <translation>Factory</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Сохранить</source>
        <translation>Save</translation>
    </message>
</context>
<context>
    <name>Frame_Set_Client_1</name>
    <message>
        <source>Регион</source>
        <translation>Region</translation>
    </message>
    <message>
        <source>Режим радара</source>
        <translation>Radar mode</translation>
    </message>
    <message>
        <source>Чувствительность</source>
        <translation>Sensitivity</translation>
    </message>
    <message>
        <source>Уровень «Смарт»</source>
        <translation>“Smart” level</translation>
    </message>
    <message>
        <source>Оповещения GPS</source>
        <translation>GPS alerts</translation>
    </message>
    <message>
        <source>Что сообщать</source>
        <translation>What to announce</translation>
    </message>
    <message>
        <source>Камеры скорости</source>
        <translation>Speed cameras</translation>
    </message>
    <message>
        <source>Камеры на светофорах</source>
        <translation>Traffic light cameras</translation>
    </message>
    <message>
        <source>Посты ДПС</source>
        <translation>Police posts</translation>
    </message>
    <message>
        <source>Контроль полосы</source>
        <translation>Lane control</translation>
    </message>
    <message>
        <source>Мобильные засады</source>
        <translation>Mobile speed traps</translation>
    </message>
    <message>
        <source>Камеры «в спину»</source>
        <translation>Rear-facing cameras</translation>
    </message>
    <message>
        <source>Средняя скорость</source>
        <translation>Average speed</translation>
    </message>
    <message>
        <source>Ж/д переезды</source>
        <translation>Railway crossings</translation>
    </message>
    <message>
        <source>Диапазон X</source>
        <translation>X band</translation>
    </message>
    <message>
        <source>Диапазон K</source>
        <translation>K band</translation>
    </message>
    <message>
        <source>Диапазон Ka</source>
        <translation>Ka band</translation>
    </message>
    <message>
        <source>Лазер</source>
        <translation>Laser</translation>
    </message>
</context>
<context>
    <name>Frame_Set_Client_2</name>
    <message>
        <source>Обзор</source>
        <translation>Overview</translation>
    </message>
    <message>
        <source>Профиль 1</source>
        <translation>Profile 1</translation>
    </message>
    <message>
        <source>Профиль 2</source>
        <translation>Profile 2</translation>
    </message>
    <message>
        <source>Профиль 3</source>
        <translation>Profile 3</translation>
    </message>
    <message>
        <source>Профиль 4</source>
        <translation>Profile 4</translation>
    </message>
    <message>
        <source>Превышение скорости</source>
        <translation>Speeding</translation>
    </message>
    <message>
        <source>Камеры: дальность</source>
        <translation>Cameras: range</translation>
    </message>
    <message>
        <source>Допуск превышения</source>
        <translation>Speeding tolerance</translation>
    </message>
    <message>
        <source>Радар выше скорости</source>
        <translation>Radar above speed</translation>
    </message>
    <message>
        <source>Тихий режим ниже</source>
        <translation>Quiet mode below</translation>
    </message>
    <message>
        <source>Оповещать от скорости</source>
        <translation>Alert from speed</translation>
    </message>
    <message>
        <source>Голосовые подсказки</source>
        <translation>Voice prompts</translation>
    </message>
</context>
<context>
    <name>SettingsChoices</name>
    <message>
        <source>俄罗斯</source>
        <translation>Russia</translation>
    </message>
    <message>
        <source>哈萨克斯坦</source>
        <translation>Kazakhstan</translation>
    </message>
    <message>
        <source>乌兹别克斯坦</source>
        <translation>Uzbekistan</translation>
    </message>
    <message>
        <source>СМАРТ</source>
        <translation>SMART</translation>
    </message>
    <message>
        <source>ТУРБО</source>
        <translation>TURBO</translation>
    </message>
    <message>
        <source>ТРАССА</source>
        <translation>HIGHWAY</translation>
    </message>
    <message>
        <source>ГОРОД</source>
        <translation>CITY</translation>
    </message>
    <message>
        <source>ТИХИЙ ГОРОД</source>
        <translation>QUIET CITY</translation>
    </message>
    <message>
        <source>МЕГАПОЛИС</source>
        <translation>METROPOLIS</translation>
    </message>
    <message>
        <source>УЛЬТРА К</source>
        <translation>ULTRA K</translation>
    </message>
    <message>
        <source>Смарт</source>
        <translation>Smart</translation>
    </message>
</context>
<context>
    <name>WindowImplBase</name>
    <message>
        <source>Не удалось загрузить оформление окна из файла
%1:
%2</source>
        <translation>The window layout could not be loaded from the file
%1:
%2</translation>
    </message>
</context>
<context>
    <name>frame_Update</name>
    <message>
        <source>IAP Tool — обновление устройства</source>
        <translation>IAP Tool — device update</translation>
    </message>
    <message>
        <source>Модель устройства</source>
        <translation>Device model</translation>
    </message>
    <message>
        <source>В устройстве</source>
        <translation>In the device</translation>
    </message>
    <message>
        <source>В файлах обновления</source>
        <translation>In the update files</translation>
    </message>
    <message>
        <source>ПО</source>
        <translation>Firmware</translation>
    </message>
    <message>
        <source>База камер</source>
        <translation>Camera database</translation>
    </message>
    <message>
        <source>ПО радара</source>
        <translation>Radar firmware</translation>
    </message>
    <message>
        <source>Файлы обновления</source>
        <translation>Update files</translation>
    </message>
    <message>
        <source>Папка…</source>
        <translation>Folder…</translation>
    </message>
    <message>
        <source>Программа</source>
        <translation>Program</translation>
    </message>
    <message>
        <source>Поиск устройства... Подключите устройство к компьютеру.</source>
        <translation>Looking for the device... Connect it to the computer.</translation>
    </message>
    <message>
        <source>Время обновления: 00:00:00</source>
        <translation>Elapsed time: 00:00:00</translation>
    </message>
    <message>
        <source>Осталось</source>
        <translation>Time left</translation>
    </message>
    <message>
        <source>Меню устройства</source>
        <translation>Device menu</translation>
    </message>
    <message>
        <source>Сохранить отчёт…</source>
        <translation>Save report…</translation>
    </message>
    <message>
        <source>Выход</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>Обновить</source>
        <translation>Update</translation>
    </message>
</context>
</TS>
