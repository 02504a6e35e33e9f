#include "core/records/Csv.h"

namespace csv {

QByteArray begin() {
    return QByteArrayLiteral("\xEF\xBB\xBF");
}

QByteArray line(const QStringList& fields) {
    QStringList out;
    for (QString field : fields) {
        // Texts come from the server and from hand-edited files: one that starts like a
        // formula would be run by the spreadsheet when the file is opened.
        if (!field.isEmpty() && QStringLiteral("=+-@\t\r").contains(field.front()))
            field.prepend(QLatin1Char('\''));
        if (field.contains(QLatin1Char(';')) || field.contains(QLatin1Char('"')) ||
            field.contains(QLatin1Char('\n')) || field.contains(QLatin1Char('\r')))
            field = QLatin1Char('"') + field.replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
                    QLatin1Char('"');
        out << field;
    }
    return (out.join(QLatin1Char(';')) + QStringLiteral("\r\n")).toUtf8();
}

} // namespace csv
