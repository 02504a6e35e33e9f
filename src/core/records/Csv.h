#pragma once

#include <QByteArray>
#include <QStringList>

// Files for German spreadsheet programs: UTF-8 with a byte-order mark (without it they read
// the bytes as the local code page), fields separated by ';', lines ended by CR LF.
namespace csv {

QByteArray begin();
QByteArray line(const QStringList& fields);

} // namespace csv
