#include "core/settings/ProfileText.h"

namespace profile {

namespace {

constexpr QByteArrayView kUtf8Bom{"\xEF\xBB\xBF"};

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

QByteArrayView trimmed(QByteArrayView v) {
    while (!v.isEmpty() && isBlank(v.front()))
        v = v.sliced(1);
    while (!v.isEmpty() && isBlank(v.back()))
        v.chop(1);
    return v;
}

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

// One physical line: [begin, end) is its content, `next` where the following line starts.
struct Line {
    qsizetype begin;
    qsizetype end;
    qsizetype next;
};

Line lineAt(const QByteArray& text, qsizetype begin) {
    qsizetype end = begin;
    while (end < text.size() && text[end] != '\n' && text[end] != '\r')
        ++end;
    qsizetype next = end;
    if (next < text.size() && text[next] == '\r')
        ++next;
    if (next < text.size() && text[next] == '\n')
        ++next;
    return {begin, end, next};
}

QByteArray lineEndOf(const QByteArray& text) {
    if (text.contains("\r\n"))
        return "\r\n";
    if (text.contains('\n'))
        return "\n";
#ifdef Q_OS_WIN
    return "\r\n";
#else
    return "\n";
#endif
}

// A line that counts: a header, with the name between its brackets as written, or an entry,
// with its key (blanks dropped) and where its value begins.
struct Significant {
    Line line;
    bool header;
    QByteArrayView name;
    qsizetype valueBegin;
};

// Calls `f` for every header and entry in file order, until it returns false.
template <typename F> void walk(const QByteArray& text, F&& f) {
    qsizetype pos = text.startsWith(kUtf8Bom) ? kUtf8Bom.size() : 0;
    while (pos < text.size()) {
        const Line line = lineAt(text, pos);
        pos = line.next;
        const QByteArrayView content =
            QByteArrayView(text).sliced(line.begin, line.end - line.begin);
        const QByteArrayView body = trimmed(content);
        if (body.isEmpty() || body.front() == ';' || body.front() == '#')
            continue;
        if (body.front() == '[') {
            const qsizetype close = body.indexOf(']');
            // A bracket line without its closing bracket is nobody's header and no entry.
            if (close >= 0 && !f(Significant{line, true, body.sliced(1, close - 1), 0}))
                return;
            continue;
        }
        const qsizetype eq = body.indexOf('=');
        if (eq <= 0)
            continue;
        qsizetype valueBegin = line.begin + content.indexOf('=') + 1;
        while (valueBegin < line.end && isBlank(text[valueBegin]))
            ++valueBegin;
        if (!f(Significant{line, false, trimmed(body.first(eq)), valueBegin}))
            return;
    }
}

// Which headers of a file name a section: those that spell it exactly, or if there are none,
// those that spell it with blanks around it.
class SectionName {
public:
    SectionName(const QByteArray& text, QByteArrayView name) : m_name(name) {
        walk(text, [this](const Significant& s) {
            m_exact = s.header && sameName(s.name, m_name);
            return !m_exact;
        });
    }
    bool namedBy(QByteArrayView header) const {
        return sameName(m_exact ? header : trimmed(header), m_name);
    }

private:
    QByteArrayView m_name;
    bool m_exact = false;
};

} // namespace

bool sameName(QByteArrayView a, QByteArrayView b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    }
    return true;
}

std::optional<QByteArray> value(const QByteArray& text, QByteArrayView section,
                                QByteArrayView key) {
    const SectionName names(text, section);
    bool inSection = false;
    std::optional<QByteArray> found;
    walk(text, [&](const Significant& s) {
        if (s.header)
            inSection = names.namedBy(s.name);
        else if (inSection && sameName(s.name, key))
            found = trimmed(QByteArrayView(text).sliced(s.valueBegin, s.line.end - s.valueBegin))
                        .toByteArray();
        return !found;
    });
    return found;
}

QByteArray setEntry(const QByteArray& text, QByteArrayView section, QByteArrayView key,
                    QByteArrayView value) {
    const QByteArray lineEnd = lineEndOf(text);
    const QByteArray entry = key.toByteArray() + '=' + value.toByteArray();
    const SectionName names(text, section);

    bool inSection = false;
    bool inFirstMatch = false;
    // Where a missing entry goes: after the header or the last entry of the first match.
    std::optional<Line> insertAfter;
    std::optional<QByteArray> changed;
    walk(text, [&](const Significant& s) {
        if (s.header) {
            inSection = names.namedBy(s.name);
            inFirstMatch = inSection && !insertAfter;
            if (inFirstMatch)
                insertAfter = s.line;
            return true;
        }
        if (!inSection)
            return true;
        if (sameName(s.name, key)) {
            // Keep the administrator's spelling of the key and the spacing up to the value.
            changed = text;
            changed->replace(s.valueBegin, s.line.end - s.valueBegin, value.toByteArray());
            return false;
        }
        if (inFirstMatch)
            insertAfter = s.line;
        return true;
    });
    if (changed)
        return *changed;

    QByteArray result = text;
    if (insertAfter) {
        QByteArray insert = entry + lineEnd;
        // The last line of the file may lack its line end.
        if (insertAfter->next == insertAfter->end)
            insert.prepend(lineEnd);
        result.insert(insertAfter->next, insert);
        return result;
    }
    if (!result.isEmpty() && !result.endsWith('\n') && !result.endsWith('\r'))
        result += lineEnd;
    result += '[' + section.toByteArray() + ']' + lineEnd + entry + lineEnd;
    return result;
}

} // namespace profile
