#include "wire/Frames.h"

namespace frames {

QByteArray compose(QByteArrayView tag, QByteArrayView body) {
    QByteArray out;
    out.reserve(tag.size() + kLineEnd.size() + body.size() + kEnd.size());
    out.append(tag).append(kLineEnd).append(body).append(kEnd);
    return out;
}

QByteArray line(QByteArrayView text) {
    QByteArray out(text.toByteArray());
    out.append(kLineEnd);
    return out;
}

} // namespace frames
