<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="bg_BG">
<context>
    <name>ExecExtern</name>
    <message>
        <location filename="../../shell/base/ExecExtern.cpp" line="+17"/>
        <source>Cannot open &quot;%1&quot;: %2</source>
        <translation>Не може да се отвори „%1“: %2</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>there is no desktop session to open it.</source>
        <translation>няма работна среда, която да го отвори.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>no program is set up to open it.</source>
        <translation>няма настроена програма, която да го отвори.</translation>
    </message>
</context>
<context>
    <name>Globals</name>
    <message>
        <location filename="../../calls/Globals.cpp" line="+129"/>
        <source>d</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>h</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>m</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+583"/>
        <source>Cannot open file %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Cannot read file %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TAccess</name>
    <message>
        <location filename="../../shell/AccessLevel.cpp" line="+37"/>
        <source>Locked mode</source>
        <translation>Заключен режим</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>User mode</source>
        <translation>Потребителски режим</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Admin mode</source>
        <translation>Администраторски режим</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>Setting access level...</source>
        <translation>Смяна на нивото на достъп...</translation>
    </message>
</context>
<context>
    <name>TCallFieldInfo</name>
    <message>
        <location filename="../../calls/CallFieldInfo.cpp" line="+183"/>
        <source>Call ID</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Archive ID</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Received time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>End time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Start time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Duration</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>PBX number</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Extension</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>PIN code</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Extra code</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Phone</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Circuit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Trunk</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Call type</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Raw charge</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>VAT</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Charge</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Pulses</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Text</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Archive name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>PBX name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Extension name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>PIN name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <location line="+2"/>
        <source>Extension group</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="-1"/>
        <location line="+2"/>
        <source>PIN group</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <location line="+2"/>
        <source>Extension limit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="-1"/>
        <location line="+2"/>
        <source>PIN limit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Call count</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Total duration</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Total raw charge</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Total VAT</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Total charge</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Total pulses</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+99"/>
        <source>missing</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>or missing</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+23"/>
        <source>from %1 to %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+87"/>
        <source>between %1 and %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>at most %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>at least %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TChildFormQueue</name>
    <message>
        <location filename="../../shell/ChildQueue.cpp" line="+30"/>
        <source>Command queue</source>
        <translation>Опашка от команди</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>Delete</source>
        <translation>Изтриване</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Delete selected command.</source>
        <translation>Изтриване на избраната команда.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Delete all</source>
        <translation>Изтриване на всички</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Clear command queue.</source>
        <translation>Изчистване на опашката от команди.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Post</source>
        <translation>Изпращане</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Queues the command for execution.</source>
        <translation>Поставя командата в опашката за изпълнение.</translation>
    </message>
    <message>
        <location line="+18"/>
        <source>Command</source>
        <translation>Команда</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Retry</source>
        <translation>Опити</translation>
    </message>
    <message>
        <location line="+30"/>
        <source>Custom command:</source>
        <translation>Собствена команда:</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>The format of the commands is described in the options window.</source>
        <translation>Форматът на командите е описан в прозореца с настройки.</translation>
    </message>
    <message>
        <location line="+92"/>
        <source>Delete ALL pending commands?</source>
        <translation>Изтриване на ВСИЧКИ чакащи команди?</translation>
    </message>
</context>
<context>
    <name>TClientLog</name>
    <message>
        <location filename="../../shell/base/ClientLogs.cpp" line="+29"/>
        <source>This may be a bug - please report exact steps to reproduce.</source>
        <translation>Това може да е грешка в програмата - моля, опишете точните стъпки за повторението ѝ.</translation>
    </message>
</context>
<context>
    <name>TClientMainDM</name>
    <message>
        <location filename="../../shell/DMClientMain.cpp" line="+74"/>
        <source>The port %1 is not valid.</source>
        <translation>Портът %1 не е валиден.</translation>
    </message>
    <message>
        <location line="+41"/>
        <source>Telvane Server rejected the connection.</source>
        <translation>Telvane Server отказа връзката.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Telvane Client version %1 cannot connect to Telvane Server version %2.</source>
        <translation>Telvane Client версия %1 не може да се свърже с Telvane Server версия %2.</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>Select a data format.</source>
        <translation>Изберете формат на данните.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Configure tariff rules.</source>
        <translation>Настройте тарифните правила.</translation>
    </message>
</context>
<context>
    <name>TClientMainForm</name>
    <message>
        <location filename="../../shell/FormClientMain.cpp" line="+154"/>
        <source>Telvane Control</source>
        <translation>Telvane Control</translation>
    </message>
    <message>
        <location line="+25"/>
        <source>Reports...</source>
        <translation>Справки...</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Call reports</source>
        <translation>Справки за разговорите</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Administration...</source>
        <translation>Администрация...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Manage extensions, PINs, limits, tariffs etc.</source>
        <translation>Управление на вътрешни номера, PIN кодове, лимити, тарифи и др.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Archives...</source>
        <translation>Архиви...</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Create and import archives</source>
        <translation>Създаване и възстановяване на архиви</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Receiver</source>
        <translation>Приемник</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Start/Stop receiver</source>
        <translation>Пускане/спиране на приемника</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Queue</source>
        <translation>Опашка</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Enable/Disable command queue</source>
        <translation>Включване/изключване на опашката от команди</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Show queue...</source>
        <translation>Опашка от команди...</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>View command queue</source>
        <translation>Преглед на опашката от команди</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Access level...</source>
        <translation>Ниво на достъп...</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Change access level</source>
        <translation>Смяна на нивото на достъп</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Logs...</source>
        <translation>Журнали...</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>View and print log reports</source>
        <translation>Преглед и печат на журнали</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Options...</source>
        <translation>Настройки...</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Configure Telvane Control</source>
        <translation>Настройки на Telvane Control</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Contents...</source>
        <translation>Съдържание...</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>About...</source>
        <translation>За програмата...</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>About Telvane Control</source>
        <translation>За Telvane Control</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Exit</source>
        <translation>Изход</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Cascade</source>
        <translation>&amp;Каскадно</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Cascade</source>
        <translation>Каскадно</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Tile horizontally</source>
        <translation>Подреждане хоризонтално</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Tile horizontal</source>
        <translation>Хоризонтално</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&amp;Tile vertically</source>
        <translation>&amp;Подреждане вертикално</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Tile vertical</source>
        <translation>Вертикално</translation>
    </message>
    <message>
        <location line="+2"/>
        <location line="+2"/>
        <source>Clear</source>
        <translation>Изчистване</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>File</source>
        <translation>Файл</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>PBX</source>
        <translation>Централа</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Tools</source>
        <translation>Инструменти</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Window</source>
        <translation>Прозорец</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Help</source>
        <translation>Помощ</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>About Telvane Control...</source>
        <translation>За Telvane Control...</translation>
    </message>
    <message>
        <location line="+108"/>
        <source>Input buffer. Prevents data overflow.</source>
        <translation>Входен буфер. Предпазва от препълване с данни.</translation>
    </message>
    <message>
        <location line="+356"/>
        <source>Stop receiver</source>
        <translation>Спиране на приемника</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Start receiver</source>
        <translation>Пускане на приемника</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Disable queue</source>
        <translation>Изключване на опашката</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Enable queue</source>
        <translation>Включване на опашката</translation>
    </message>
    <message>
        <location line="+49"/>
        <source>Not available in this version.</source>
        <translation>Не е налично в тази версия.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>%1 - not available in this version.</source>
        <translation>%1 - не е налично в тази версия.</translation>
    </message>
    <message>
        <location line="+71"/>
        <source>Select a data format.</source>
        <translation>Изберете формат на данните.</translation>
    </message>
</context>
<context>
    <name>TClientReceiver</name>
    <message>
        <location filename="../../shell/ClientReceiver.cpp" line="+54"/>
        <source>Dropped %1 bytes.</source>
        <translation>Изгубени %1 байта.</translation>
    </message>
</context>
<context>
    <name>TDlgFormAccessLevel</name>
    <message>
        <location filename="../../shell/DlgAccessLevel.cpp" line="+53"/>
        <source>Access Level</source>
        <translation>Ниво на достъп</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Change access level</source>
        <translation>Смяна на нивото на достъп</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Apply</source>
        <translation>Прилагане</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Cancel</source>
        <translation>Отказ</translation>
    </message>
    <message>
        <location line="+35"/>
        <source> Select new access level </source>
        <translation> Изберете ново ниво на достъп </translation>
    </message>
    <message>
        <location line="+4"/>
        <source>&amp;Lock program</source>
        <translation>&amp;Заключване на програмата</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>&amp;Standard user</source>
        <translation>&amp;Обикновен потребител</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Administrator</source>
        <translation>&amp;Администратор</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>Password:</source>
        <translation>Парола:</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>Change level</source>
        <translation>Смяна на нивото</translation>
    </message>
    <message>
        <location line="+8"/>
        <source> Change password for </source>
        <translation> Смяна на паролата на </translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Standard user</source>
        <translation>Обикновен потребител</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Administrator</source>
        <translation>Администратор</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>Current password</source>
        <translation>Текуща парола</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>New password</source>
        <translation>Нова парола</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Confirm password</source>
        <translation>Потвърждаване на паролата</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>Change password</source>
        <translation>Смяна на паролата</translation>
    </message>
    <message>
        <location line="+45"/>
        <source>Invalid password.</source>
        <translation>Невалидна парола.</translation>
    </message>
    <message>
        <location line="+33"/>
        <source>Change password for standard user?</source>
        <translation>Смяна на паролата на обикновения потребител?</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Change administrator password?</source>
        <translation>Смяна на паролата на администратора?</translation>
    </message>
</context>
<context>
    <name>TExtPinFrame</name>
    <message>
        <location filename="../../reportconfig/FrameExtPin.cpp" line="+73"/>
        <source>On/Off</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Enables or disables the filter.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>All</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Select all</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>None</source>
        <translation>Няма</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Select none</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+6"/>
        <source>+ Missing value</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Total</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Total items selected.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Selected</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Selected items in this group.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source> Filter </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Show all</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>By PBX</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>By group</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>By limit plan</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+10"/>
        <source>#</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>PBX</source>
        <translation>Централа</translation>
    </message>
</context>
<context>
    <name>TFrameCallsReportGrid</name>
    <message>
        <location filename="../../reports/CallsPrintTexts.cpp" line="+62"/>
        <source>Totals</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>rows</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>calls</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+15"/>
        <source>pulses</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+8"/>
        <source>from &quot;%1&quot; group</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+14"/>
        <location line="+14"/>
        <source>missing</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TFrameChargeLimit</name>
    <message>
        <location filename="../../reportconfig/FrameCharge.cpp" line="+23"/>
        <source> Apply filter to: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Raw charge</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>VAT</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Charge</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TFrameDateTimeSelect</name>
    <message>
        <location filename="../../reportconfig/FrameDateTime.cpp" line="+75"/>
        <source> Show calls within this interval </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>From:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Span:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+8"/>
        <source>To:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Calc</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+19"/>
        <source> Apply interval to </source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TFrameListChoice</name>
    <message>
        <location filename="../../reportconfig/FrameList.cpp" line="+71"/>
        <source>On/Off</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Enable/Disable the filter.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Add</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Add the values typed, separated by commas.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Delete</source>
        <translation>Изтриване</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Delete the current value.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>All</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Select all items in list.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>None</source>
        <translation>Няма</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Unselect all items in list</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Invert</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Invert selection in list.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+15"/>
        <source>+ Missing value</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TFrameQuantityDoubleLimit</name>
    <message>
        <location filename="../../reportconfig/FrameQuantityDouble.cpp" line="+24"/>
        <location line="+4"/>
        <source>On/Off</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="-4"/>
        <source>Enable/Disable filter.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TFrameQuantityLimit</name>
    <message>
        <location filename="../../reportconfig/FrameQuantity.cpp" line="+35"/>
        <source>Select filter type.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>At least</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Between</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>At most</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Missing value</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TFrameReportGrid</name>
    <message>
        <location filename="../../reports/FrameRepGrid.cpp" line="+373"/>
        <source>Loading all data...</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TFrameSimpleModeCalls</name>
    <message>
        <location filename="../../reportconfig/FrameSimpleMode.cpp" line="+88"/>
        <source>Interval :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Extension</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>PIN code</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Phone</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Call type</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Trunk</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Circuit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Values separated by commas; &quot;-&quot; for a missing value.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Charge</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Duration</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Pulses</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>at least</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+58"/>
        <source>&lt;All&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+15"/>
        <source>%1@%2 (%3 from %4 group)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+10"/>
        <source>Error loading table %1 to list %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+21"/>
        <source>Filters (simple)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Filters (advanced)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TIniFile32</name>
    <message>
        <location filename="../../shell/base/IniFiles32.cpp" line="+236"/>
        <source>Cannot write the settings file %1: %2</source>
        <translation>Файлът с настройки %1 не може да бъде записан: %2</translation>
    </message>
</context>
<context>
    <name>TLog</name>
    <message>
        <location filename="../../shell/base/Log.cpp" line="+22"/>
        <source>Cannot write the log file %1: %2</source>
        <translation>Журналният файл %1 не може да бъде записан: %2</translation>
    </message>
</context>
<context>
    <name>TOptionsForm</name>
    <message>
        <location filename="../../options/FormOptions.cpp" line="+138"/>
        <source>Options</source>
        <translation>Настройки</translation>
    </message>
    <message>
        <location line="+46"/>
        <source> Help </source>
        <translation> Помощ </translation>
    </message>
    <message>
        <location line="+13"/>
        <source>Apply</source>
        <translation>Прилагане</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Cancel</source>
        <translation>Отказ</translation>
    </message>
    <message>
        <location line="+21"/>
        <source>Language</source>
        <translation>Език</translation>
    </message>
    <message>
        <location line="+4"/>
        <source> User interface language: </source>
        <translation> Език на потребителския интерфейс: </translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Bulgarian (Български)</source>
        <translation>Български (Bulgarian)</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>English (Английски)</source>
        <translation>Английски (English)</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Receiver</source>
        <translation>Приемник</translation>
    </message>
    <message>
        <location line="+1"/>
        <source> The PBX sends data over a... </source>
        <translation> Централата изпраща данни по... </translation>
    </message>
    <message>
        <location line="+1"/>
        <source>RS-232 serial connection</source>
        <translation>серийна връзка RS-232</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>TCP/IP connection</source>
        <translation>връзка TCP/IP</translation>
    </message>
    <message>
        <location line="+4"/>
        <location line="+263"/>
        <source>Serial port</source>
        <translation>Сериен порт</translation>
    </message>
    <message>
        <location line="-258"/>
        <source>TCP/IP</source>
        <translation>TCP/IP</translation>
    </message>
    <message>
        <location line="+3"/>
        <source> Application acts as a </source>
        <translation> Програмата работи като </translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Server (The PBX connects to it)</source>
        <translation>Сървър (централата се свързва към нея)</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Client (Connects to the PBX)</source>
        <translation>Клиент (свързва се към централата)</translation>
    </message>
    <message>
        <location line="+3"/>
        <source> Server settings </source>
        <translation> Настройки на сървъра </translation>
    </message>
    <message>
        <location line="+3"/>
        <location line="+205"/>
        <source>Port:</source>
        <translation>Порт:</translation>
    </message>
    <message>
        <location line="-203"/>
        <source>Connections:</source>
        <translation>Връзки:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>max.</source>
        <translation>макс.</translation>
    </message>
    <message>
        <location line="+5"/>
        <location line="+200"/>
        <source>IP Address:</source>
        <translation>IP адрес:</translation>
    </message>
    <message>
        <location line="-190"/>
        <source>Buffer</source>
        <translation>Буфер</translation>
    </message>
    <message>
        <location line="+2"/>
        <source> Input buffer settings </source>
        <translation> Настройки на входния буфер </translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Pause receiver when buffer grows above:</source>
        <translation>Пауза на приемника, когато буферът надхвърли:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Resume receiver when buffer drops below:</source>
        <translation>Продължаване, когато буферът спадне под:</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>KBytes.</source>
        <translation>KB.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source> Deferred database access </source>
        <translation> Отложен запис в базата данни </translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Maximum data before writing to database:</source>
        <translation>Най-много данни преди запис в базата:</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>calls.</source>
        <translation>разговора.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Maximum delay before writing to database:</source>
        <translation>Най-голямо забавяне преди запис в базата:</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Restart receiver after</source>
        <translation>Рестартиране на приемника след</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>of inactivity.</source>
        <translation>бездействие.</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Reports</source>
        <translation>Справки</translation>
    </message>
    <message>
        <location line="+2"/>
        <source> Change default formatting </source>
        <translation> Промяна на форматирането по подразбиране </translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Date/time format:</source>
        <translation>Формат на дата/час:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Duration format:</source>
        <translation>Формат на продължителност:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source> Auto refresh report on </source>
        <translation> Автоматично опресняване на справката при </translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Opening the reports window.</source>
        <translation>Отваряне на прозореца за справки.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Selecting a report.</source>
        <translation>Избиране на справка.</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>Archives</source>
        <translation>Архиви</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Enable automatic archiving.</source>
        <translation>Автоматично архивиране.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source> Next archive will span the following interval: </source>
        <translation> Следващият архив ще обхване интервала: </translation>
    </message>
    <message>
        <location line="+11"/>
        <source> Automatic archive options: </source>
        <translation> Настройки на автоматичното архивиране: </translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Archive period:</source>
        <translation>Период на архива:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Keep data for last:</source>
        <translation>Пазене на данните за последните:</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Next archve on:</source>
        <translation>Следващ архив на:</translation>
    </message>
    <message>
        <location line="+18"/>
        <source>Limits</source>
        <translation>Лимити</translation>
    </message>
    <message>
        <location line="+2"/>
        <source> Charge Extension: </source>
        <translation> Таксуване на вътрешен номер: </translation>
    </message>
    <message>
        <location line="+1"/>
        <location line="+6"/>
        <source>Never</source>
        <translation>Никога</translation>
    </message>
    <message>
        <location line="-6"/>
        <source>When no PIN  is used</source>
        <translation>Когато не е ползван PIN</translation>
    </message>
    <message>
        <location line="+0"/>
        <location line="+6"/>
        <source>Always</source>
        <translation>Винаги</translation>
    </message>
    <message>
        <location line="-4"/>
        <source>Automatic extension blocking</source>
        <translation>Автоматично блокиране на вътрешни номера</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Extensions will be blocked when their limit is over</source>
        <translation>Вътрешните номера ще се блокират при изчерпан лимит</translation>
    </message>
    <message>
        <location line="+1"/>
        <location line="+6"/>
        <source>and unblocked when their recharge period expires.</source>
        <translation>и ще се деблокират при изтичане на периода им на зареждане.</translation>
    </message>
    <message>
        <location line="-5"/>
        <source> Charge PIN: </source>
        <translation> Таксуване на PIN: </translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Automatic PIN blocking</source>
        <translation>Автоматично блокиране на PIN кодове</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Codes will be blocked when their limit is over</source>
        <translation>Кодовете ще се блокират при изчерпан лимит</translation>
    </message>
    <message>
        <location line="+3"/>
        <source> Control protocol: </source>
        <translation> Протокол за управление: </translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Avaya Definity</source>
        <translation>Avaya Definity</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Siemens HiPath</source>
        <translation>Siemens HiPath</translation>
    </message>
    <message>
        <location line="+0"/>
        <location line="+76"/>
        <source>Modem</source>
        <translation>Модем</translation>
    </message>
    <message>
        <location line="-76"/>
        <location line="+95"/>
        <source>Direct commands</source>
        <translation>Директни команди</translation>
    </message>
    <message>
        <location line="-92"/>
        <source>VAT:</source>
        <translation>ДДС:</translation>
    </message>
    <message>
        <location line="+25"/>
        <location line="+64"/>
        <location line="+7"/>
        <source>Connect:</source>
        <translation>Свързване:</translation>
    </message>
    <message>
        <location line="-71"/>
        <source>Login/Init:</source>
        <translation>Вход/инициализация:</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Command:</source>
        <translation>Команда:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Avaya</source>
        <translation>Avaya</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Blocking and unblocking of PIN codes is acheived through changing their CORs (Codes of Restriction)</source>
        <translation>Блокирането и деблокирането на PIN кодове става чрез смяна на техните COR (кодове на ограничение)</translation>
    </message>
    <message>
        <location line="+2"/>
        <location line="+31"/>
        <location line="+25"/>
        <source> Control Strings </source>
        <translation> Управляващи низове </translation>
    </message>
    <message>
        <location line="-55"/>
        <location line="+30"/>
        <source>Username:</source>
        <translation>Потребител:</translation>
    </message>
    <message>
        <location line="-30"/>
        <location line="+30"/>
        <source>Password:</source>
        <translation>Парола:</translation>
    </message>
    <message>
        <location line="-30"/>
        <source>Block COR:</source>
        <translation>COR за блокиране:</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Default un- block COR:</source>
        <translation>COR за деблокиране:</translation>
    </message>
    <message>
        <location line="+7"/>
        <location line="+29"/>
        <location line="+21"/>
        <source> Response Delays (ms) </source>
        <translation> Закъснения на отговорите (ms) </translation>
    </message>
    <message>
        <location line="-48"/>
        <source>Use PIN code blocking simulation</source>
        <translation>Симулация на блокирането на PIN кодове</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Definity port</source>
        <translation>Порт на Definity</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Siemens</source>
        <translation>Siemens</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Blocking and unblocking of PIN codes is acheived through assigning codes to PBX slots.</source>
        <translation>Блокирането и деблокирането на PIN кодове става чрез присвояване на кодовете на слотове на централата.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source> The PBX acts as a TCP server at: </source>
        <translation> Централата е TCP сървър на: </translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Max. list No:</source>
        <translation>Макс. номер на списък:</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>List iteration:</source>
        <translation>Обхождане на списък:</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Block extension:</source>
        <translation>Блокиране на вътрешен номер:</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Unblock extension:</source>
        <translation>Деблокиране на вътрешен номер:</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Block PIN code:</source>
        <translation>Блокиране на PIN код:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Unblock PIN code:</source>
        <translation>Деблокиране на PIN код:</translation>
    </message>
    <message>
        <location line="+3"/>
        <source> DTMF commands: </source>
        <translation> DTMF команди: </translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Modem port</source>
        <translation>Порт на модема</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Advanced</source>
        <translation>Допълнителни</translation>
    </message>
    <message>
        <location line="+2"/>
        <source> Device Answers </source>
        <translation> Отговори на устройството </translation>
    </message>
    <message>
        <location line="+1"/>
        <location line="+5"/>
        <source>Confirmation:</source>
        <translation>Потвърждение:</translation>
    </message>
    <message>
        <location line="-5"/>
        <source>Success:</source>
        <translation>Успех:</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Failure:</source>
        <translation>Неуспех:</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Reserved:</source>
        <translation>Резервиран:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Init:</source>
        <translation>Инициализация:</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Send:</source>
        <translation>Изпращане:</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Stop:</source>
        <translation>Спиране:</translation>
    </message>
    <message>
        <location line="+0"/>
        <location line="+3"/>
        <source>Recover:</source>
        <translation>Възстановяване:</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Answer:</source>
        <translation>Отговор:</translation>
    </message>
    <message>
        <location line="+5"/>
        <source> Direct, one-way commands: </source>
        <translation> Директни еднопосочни команди: </translation>
    </message>
    <message>
        <location line="+2"/>
        <source> Delays (ms) </source>
        <translation> Закъснения (ms) </translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Between commands:</source>
        <translation>Между командите:</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Share the port of the serial receiver</source>
        <translation>Споделяне на порта на серийния приемник</translation>
    </message>
    <message>
        <location line="+39"/>
        <source>Loading options...</source>
        <translation>Зареждане на настройките...</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Telvane Server runs in English language.</source>
        <translation>Telvane Server работи на английски език.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Telvane Server runs in Bulgarian language.</source>
        <translation>Telvane Server работи на български език.</translation>
    </message>
    <message>
        <location line="+139"/>
        <source>for receiver.</source>
        <translation>за приемника.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>for Definity.</source>
        <translation>за Definity.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>for modem.</source>
        <translation>за модема.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>for direct commands.</source>
        <translation>за директните команди.</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Applying and saving options...</source>
        <translation>Прилагане и запис на настройките...</translation>
    </message>
</context>
<context>
    <name>TPreviewWindow</name>
    <message>
        <location filename="../../printing/PreviewWindow.cpp" line="+79"/>
        <source>Preview</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+25"/>
        <location line="+225"/>
        <source>Page %1 of %2+</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="-220"/>
        <source>Page width</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+40"/>
        <location line="+220"/>
        <source>Laying out pages...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="-194"/>
        <source>First page</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Previous page</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Next page</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Last page</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Zoom in</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Zoom out</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Print...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Save as PDF...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Close</source>
        <translation>Затваряне</translation>
    </message>
    <message>
        <location line="+118"/>
        <source>Laying out...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+0"/>
        <source>No pages</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Page %1 of %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+74"/>
        <source>Save as PDF</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>report</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>PDF files (*.pdf)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TPrintProgress</name>
    <message>
        <location filename="../../printing/ProgressDialog.cpp" line="+36"/>
        <source>Cancel</source>
        <translation>Отказ</translation>
    </message>
</context>
<context>
    <name>TReport</name>
    <message>
        <location filename="../../printing/Report.cpp" line="+32"/>
        <source>TReport: a group or child band belongs to its group or parent band, not to the report.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TReportControlPanel</name>
    <message>
        <location filename="../../reportconfig/ReportControlPanel.cpp" line="+52"/>
        <source>TReportControlPanel: Line break in the state of page %1.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TReportDM</name>
    <message>
        <location filename="../../calls/DMReport.cpp" line="+26"/>
        <source>Report name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+39"/>
        <source>The object invoked has disconnected from its clients.</source>
        <translation>Извиканият обект е прекъснал връзката с клиентите си.</translation>
    </message>
    <message>
        <location filename="../../calls/ReportResults.cpp" line="+113"/>
        <source>TReportDM: Null equality field.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+93"/>
        <source>Export of TAB separated file failed.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TSerialPortFrame</name>
    <message>
        <location filename="../../options/SerialPortFrame.cpp" line="+23"/>
        <source> Serial port: </source>
        <translation> Сериен порт: </translation>
    </message>
    <message>
        <location line="+11"/>
        <location line="+2"/>
        <source>None</source>
        <translation>Няма</translation>
    </message>
    <message>
        <location line="-2"/>
        <source>Odd</source>
        <translation>Нечетност</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Even</source>
        <translation>Четност</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Mark</source>
        <translation>Маркер</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Space</source>
        <translation>Интервал</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>RTS on only</source>
        <translation>Само RTS</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>RTS/CTS</source>
        <translation>RTS/CTS</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Software flow (XON/XOFF)</source>
        <translation>Програмен контрол (XON/XOFF)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Enable DTR control</source>
        <translation>Управление на DTR</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Device check</source>
        <translation>Проверка на устройството</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Port name:</source>
        <translation>Име на порта:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Baud rate:</source>
        <translation>Скорост (бод):</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Data bits:</source>
        <translation>Битове данни:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Parity:</source>
        <translation>Четност:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Stop bits:</source>
        <translation>Стоп битове:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Hardware flow:</source>
        <translation>Апаратен контрол:</translation>
    </message>
    <message>
        <location filename="../../calls/SerialPortSettings.cpp" line="+120"/>
        <source>Please, enter a valid port name</source>
        <translation>Моля, въведете валидно име на порт</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Please, enter a valid baud rate.</source>
        <translation>Моля, въведете валидна скорост.</translation>
    </message>
</context>
<context>
    <name>TSplashForm</name>
    <message>
        <location filename="../../shell/FormSplash.cpp" line="+37"/>
        <source>Telvane Control</source>
        <translation>Telvane Control</translation>
    </message>
    <message>
        <location line="+38"/>
        <source>Server:</source>
        <translation>Сървър:</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Enter the host name or IP address of Telvane Server.</source>
        <translation>Въведете името или IP адреса на Telvane Server.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Connect</source>
        <translation>Свързване</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Close</source>
        <translation>Затваряне</translation>
    </message>
</context>
<context>
    <name>TelvaneClient</name>
    <message>
        <location filename="../../shell/AppException.cpp" line="+60"/>
        <source>Telvane Client will now close.</source>
        <translation>Telvane Client ще бъде затворен.</translation>
    </message>
</context>
</TS>
