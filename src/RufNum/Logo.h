#pragma once

#include <QImage>
#include <QString>

// The logo picture named in the settings. Returns a null image when the name is empty or
// names no file (the built-in picture stays then). A file that is there but is not a whole,
// readable picture throws std::runtime_error with a German message naming the file.
QImage loadLogoPicture(const QString& fileName);

// One of the program's own pictures, read as the format it is stored in.
QImage loadBuiltInPicture(const QString& resource, const char* format);
