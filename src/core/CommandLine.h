#pragma once

#include <QString>

// The command-line text that selects this instance: everything after the program name,
// unchanged (case, quotes, inner and trailing blanks and leading dashes kept). On Windows it
// is cut from the raw command line, as earlier installations took it, so their sections and
// position names stay ours; elsewhere the arguments are joined by one blank. Taken before
// the application object sees the arguments, since Qt would consume options.
QString commandLineText(int argc, char** argv);

// The raw command line without the program name and the blanks after it, as Windows hands
// it to a program's entry point: the name ends at the first blank or control character
// outside double quotes.
QString commandLineTail(const QString& raw);
