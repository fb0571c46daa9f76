#include "schema/CallStringHelp.h"

#include <QCoreApplication>

QString CallStringHelpText()
{
    // Line 12 quotes its example with a double quote that no later line closes; the text
    // is shown that way.
    const QString language = QCoreApplication::translate(
        "TCallString",
        "Schemas consist of tags, literals and commands:\r\n"
        "\r\n"
        "- Tags describe data elements such as date, duration, extension etc.\r\n"
        "  Length may be specified. Text alignment is enforced through brackets:\r\n"
        "  (TAG) - no alignment, [TAG) - left, (TAG] - right, [TAG] - both.\r\n"
        "  Upper case tags REQUIRE data to be present.\r\n"
        "  Example: [pincode:4] means that an OPTIONAL 4 digit code is expected.\r\n"
        "  Example: (PHONE:10] means that a right aligned phone number\r\n"
        "  is REQUIRED in the following 10 positions.\r\n"
        "\r\n"
        "- Literals describe characters between data elements.\r\n"
        "  Example: \\?\\?$ \\t\\n\\r means \"any two characters followed by '$',\r\n"
        "  a space, a tab and a couple of DOS-style end of line characters.\r\n"
        "\r\n"
        "- Commands modify data. They are enclosed in curly braces {}\r\n"
        "  and accept comma-separated parameters after a colon.\r\n"
        "  Example: {swap_extension_and_phone:9,R} will swap the extension and\r\n"
        "  phone number elements, if the call type character is '9' or 'R'.\r\n");
    const QString lists =
        QCoreApplication::translate("TCallString",
                                    "\r\n"
                                    "List of tags:\r\n"
                                    "  year:2/4, month:2, day:2, hour:2, ampm:1/2, min:2, sec:1/2,\r\n"
                                    "  durhour:N, durmin:2, dursec:1/N,\r\n"
                                    "  extension:N, phone:N, pincode:N, extra:N,\r\n"
                                    "  circuit:N, trunk:N, pulses:N, type:N\r\n"
                                    "Note: Short seconds (sec:1, dursec:1) are multiplied by 6.\r\n"
                                    "\r\n"
                                    "List of commands:\r\n"
                                    "  {swap_extension_and_phone:X,Y,...}: (see example);\r\n"
                                    "  {max_extension_length:N}: swaps the extension and phone numbers\r\n"
                                    "  elements if the extension is longer than the specified length\r\n"
                                    "  and, in addition, is longer than the phone number;\r\n"
                                    "  {date_time:start} or {date_time:end}: defines which date/time is\r\n"
                                    "  sent by the PBX -- of call initiation or of call completion.\r\n");
    return language + lists;
}
