#include "SimLog.h"

#include "wire/Wire1252.h"

Q_LOGGING_CATEGORY(lcSim, "torvanel.sim")

QString printable(QByteArrayView bytes) {
    QString out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b == '\n')
            out += QLatin1String("\\n");
        else if (b == '\r')
            out += QLatin1String("\\r");
        else if (b < 32 || b == 127)
            out += QStringLiteral("\\x%1").arg(b, 2, 16, QLatin1Char('0'));
        else
            out += wire::fromWire(QByteArray(1, c));
    }
    return out;
}
