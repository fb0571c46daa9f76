#include "schema/ExchangeFormats.h"

const QList<TExchangeFormat>& ExchangeFormats()
{
    static const QList<TExchangeFormat> formats = {
        // The printed station message detail record: the call's start in twelve-hour time,
        // the CO line, the account code and the condition code at the end, which the
        // exchange leaves off when they are empty.
        {QStringLiteral("Panasonic KX-TDA SMDR"),
         QStringLiteral("(MONTH:2)/(DAY:2)/(YEAR:2) (HOUR:2):(MIN:2)(AMPM:2) (EXTENSION:5] (trunk:2) "
                        "[phone:25) (DURHOUR:2):(DURMIN:2)'(DURSEC:2) [extra:10) [type:2){date_time:start}"),
         QStringLiteral("date mm/dd/yy, start time hh:mmAM, extension, CO line, dialled number, "
                        "duration hh:mm'ss, account code, condition code")},
        // The standard SMDR record: month and day without a year, the start in
        // twelve-hour time with one letter for AM/PM, the calling party, the digits
        // dialled, the completion status and the account code.
        {QStringLiteral("Mitel SX-200 SMDR"),
         QStringLiteral("\\?(MONTH:2)/(DAY:2) (HOUR:2):(MIN:2)(AMPM:1) (DURHOUR:2):(DURMIN:2):(DURSEC:2) "
                        "(EXTENSION:4)\\?\\?\\?\\? [phone:26)(type:1)\\?\\?\\?\\?\\?\\?\\?\\?\\?\\? "
                        "[extra:12){date_time:start}"),
         QStringLiteral("long call flag, date mm/dd, start time hh:mm and A or P, duration hh:mm:ss, "
                        "calling party, attendant flag and time to answer, digits dialled, completion "
                        "status, forward flag, called party, transfer flag, third party, account code")},
        // The call charge output, fields separated by semicolons: date and time of the
        // call's end, the trunk, the subscriber, ring and call durations, the dialled
        // number, the charge units and the call type.
        {QStringLiteral("Siemens HiPath 3000 call charges"),
         QStringLiteral("(DAY:2).(MONTH:2).(YEAR:2);(HOUR:2):(MIN:2):(SEC:2);(trunk:3];(EXTENSION:16];"
                        "\\?\\?:\\?\\?:\\?\\?;(DURHOUR:2):(DURMIN:2):(DURSEC:2);(phone:25];(pulses:11];"
                        "(type:2];{date_time:end}"),
         QStringLiteral("date dd.mm.yy; end time hh:mm:ss; trunk; subscriber; ring duration; call "
                        "duration hh:mm:ss; dialled number; charge units; call type")},
    };
    return formats;
}
