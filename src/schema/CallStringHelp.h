#pragma once
// The data format language's help, shown by the administration window.

#include <QString>

// Both help texts joined, CR LF line breaks, translated where a translation is installed.
QString CallStringHelpText();
