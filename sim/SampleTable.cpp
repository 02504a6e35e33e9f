#include "SampleTable.h"

#include "TableLine.h"
#include "wire/Wire1252.h"

#include <QString>

#include <iterator>

namespace {

constexpr int kFloors = 4;
constexpr int kRoomsPerFloor = 10;
// The empty line stands where a room was taken out of service.
constexpr int kEmptyAfterRow = 17;

// Charges as the switchboard prints them: point or comma, sometimes right-aligned.
const char* const kCharges[] = {"12.50", "0.00", "0,00", "  3.20", "0.00", "27.90",
                                "0,00",  "1.10", "0.00", " 45.00", "8.40", "0.00"};

// A few rooms have no remark; the rest read like a front desk's notes.
const char* const kRemarks[] = {
    "Einzelzimmer",
    "Doppelzimmer Seeblick",
    "Familienzimmer",
    "",
    "Juniorsuite",
    "Zimmer barrierefrei",
    "Frühstück aufs Zimmer",
    "Nichtraucher",
    "Gast spricht Französisch",
    "",
    "Allergiker",
    "Verlängerung bis Freitag",
    "Weckruf 6:30",
    "Stammgast Müller",
    "",
};

QByteArray padded(const QString& text, int width) {
    QByteArray bytes = wire::toWire(text).left(width);
    bytes.append(width - bytes.size(), ' ');
    return bytes;
}

QByteArray room(int floor, int door, int index) {
    const QString number = QString::number(floor * 100 + door);
    // Alarms go to the floor's service station, emergencies to the night porter.
    const QString alarm = QString::number(90 + floor);
    const QString emergency = floor == 1 ? QStringLiteral("0112") : QStringLiteral("99");
    const QString charges = QString::fromLatin1(kCharges[index % std::size(kCharges)]);
    const QString remark = QString::fromUtf8(kRemarks[index % std::size(kRemarks)]);

    QByteArray line;
    line.reserve(tableline::kLineWidth);
    line += padded(number, 20);
    line += padded(alarm, 20);
    line += padded(emergency, 20);
    line += padded(charges, tableline::kChargesWidth);
    line += padded(remark, tableline::kLineWidth - tableline::kRemarkAt);
    return line;
}

} // namespace

QList<QByteArray> sampleTable() {
    QList<QByteArray> rows;
    int index = 0;
    for (int floor = 1; floor <= kFloors; ++floor) {
        for (int door = 1; door <= kRoomsPerFloor; ++door) {
            rows.append(room(floor, door, index++));
            if (rows.size() == kEmptyAfterRow)
                rows.append(QByteArray());
        }
    }
    return rows;
}
