#pragma once

#include <QByteArray>
#include <QString>

// The server speaks single-byte Windows-1252. Everything that crosses the wire stays a
// QByteArray inside the program so that field positions count bytes, exactly as the
// server counts them; these two functions are the only place where text changes form.
namespace wire {

// A character that Windows-1252 cannot hold goes out as '?' (one per code point).
QByteArray toWire(const QString& text);
QString fromWire(const QByteArray& bytes);

// True when the character survives a round trip through Windows-1252.
bool fitsWire(char32_t codePoint);

} // namespace wire
