#include "RufNum/EditMask.h"

#include "wire/Frames.h"
#include "wire/Wire1252.h"

#include <QStringView>
#include <algorithm>

namespace table {

std::optional<EditMask> NummernGridGetEditMask(Field f) {
    switch (f) {
    // 19, not 20: the server keeps the last position of the number field for itself.
    case Number:
        return EditMask{19, false};
    case Alarm:
    case Emergency:
        return EditMask{20, true};
    case Remark:
        return EditMask{40, false};
    default:
        return std::nullopt;
    }
}

bool maskAccepts(const EditMask& mask, char32_t c) {
    if (c < 0x20 || c == 0x7F || !wire::fitsWire(c))
        return false;
    return !mask.digitsOnly || (c >= U'0' && c <= U'9') || c == U' ';
}

EditMaskValidator::EditMaskValidator(EditMask mask, const QString& original, QObject* parent)
    : QValidator(parent), m_mask(mask) {
    m_tolerated = refused(original);
}

QList<char32_t> EditMaskValidator::refused(const QString& text) const {
    QList<char32_t> out;
    for (char32_t c : QStringView(text).toUcs4())
        if (!maskAccepts(m_mask, c))
            out.append(c);
    // A marker counts as one refused "character" of its own, numbered beyond the last code
    // point so that it is told apart from every real one. Cells reach the server in
    // Windows-1252, where the markers' ASCII stays as it is, so the text is what is sent.
    char32_t marker = 0x110000;
    for (QByteArrayView m : {frames::kEnd, frames::kStart}) {
        out.append(QList<char32_t>(text.count(QLatin1StringView(m.data(), m.size())), marker));
        ++marker;
    }
    std::sort(out.begin(), out.end());
    return out;
}

QValidator::State EditMaskValidator::validate(QString& input, int&) const {
    if (input.size() > m_mask.positions)
        return Invalid;
    const QList<char32_t> now = refused(input);
    if (!std::includes(m_tolerated.begin(), m_tolerated.end(), now.begin(), now.end()))
        return Invalid;
    m_tolerated = now;
    return Acceptable;
}

} // namespace table
