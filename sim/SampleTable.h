#pragma once

#include <QByteArray>
#include <QList>

// The table a new simulator starts with: forty rooms on four floors, realistic enough to
// train on. It holds every shape the client has to cope with: charges written "12.50",
// "0.00" and "0,00", rooms without a remark, and one empty line.
QList<QByteArray> sampleTable();
