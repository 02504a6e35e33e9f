#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

// Reading what a client sends. Everything here comes from the network and is checked
// before the table is touched: a request is taken whole or not at all.
namespace requests {

// The records of a save frame, in row order. Each row comes as its index (decimal, counted
// from 0 in order) and its 100-byte record. On failure `why` names the first fault found.
std::optional<QList<QByteArray>> parseSave(QByteArrayView frame, QString* why);

// The number whose charges a clearing frame names: one line, trimmed, not empty.
std::optional<QByteArray> parseClearCharges(QByteArrayView frame, QString* why);

} // namespace requests
