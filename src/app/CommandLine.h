#pragma once

#include <QString>

// The command-line text that selects this instance: the arguments after the program name,
// joined by one blank, otherwise unchanged (case, inner blanks and leading dashes kept).
// Taken from argv before the application object sees it, since Qt would consume options.
QString commandLineText(int argc, char** argv);
