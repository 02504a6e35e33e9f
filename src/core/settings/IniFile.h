#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// One pass over the settings file "TorvanelClient.ini": made afresh for each read pass and
// each save, kept by nobody in between. Names are found as settings/ProfileText.h describes:
// without regard to case, a section's blanks kept.
//
// A file that is there but cannot be trusted (not a plain file, unreadable, larger than any
// settings file could be, holding binary zeros, UTF-16 other than little-endian with a mark)
// reads as if every entry were absent and is never written: an administrator's file must
// not be replaced by our idea of it. UTF-8 (with or without a mark), the ANSI code page and
// UTF-16 LE with a mark are read, and written back in the form they came in. One pair of
// matching quotes around a value is not part of it, as for the Windows profile functions.
class IniFile {
public:
    static constexpr qint64 kMaxSize = 1024 * 1024;

    explicit IniFile(QString path);
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;

    const QString& path() const { return m_path; }
    // Empty while the file is missing or usable; otherwise why it is left alone.
    const QString& problem() const { return m_problem; }

    // Why `section` cannot name a section of this file, as "enthält …"; empty when it can. A
    // "]" or a line break would end the header early and another control character is no
    // text, so the file would not give back what we wrote; a file in the ANSI code page
    // cannot spell characters beyond it, and "?" in their place would be another section's.
    QString unnamable(const QString& section) const;

    // Absent entries and integers that are not wholly a decimal number give the default;
    // a boolean is an integer, anything but 0 being true. A present but empty text is "".
    bool readBool(const QString& section, const QString& key, bool def) const;
    int readInt(const QString& section, const QString& key, int def) const;
    QString readString(const QString& section, const QString& key, const QString& def) const;

    // Each write changes that one entry in the file on disk at once (booleans as "1"/"0"),
    // re-reading the file first so that another instance's write in between is kept. Returns
    // why a write could not be done, in German for the administrator; empty when it was.
    [[nodiscard]] QString writeBool(const QString& section, const QString& key, bool value);
    [[nodiscard]] QString writeInt(const QString& section, const QString& key, int value);
    [[nodiscard]] QString writeString(const QString& section, const QString& key,
                                      const QString& value);

private:
    void load();
    QString failure(const QString& why) const;
    // In the file's own encoding.
    QByteArray encode(const QString& s) const;
    // `text` as the file holds it: in UTF-16 or with the UTF-8 mark when it came so.
    QByteArray fileBytes(const QByteArray& text) const;
    std::optional<QByteArray> value(const QString& section, const QString& key) const;

    QString m_path;
    QString m_problem;
    QByteArray m_text;
    // A file saved in the ANSI code page names its sections in it too ("[UDPLinkSüd]"); we
    // look names up, and write, in the file's own encoding.
    bool m_utf8 = true;
    // How the file came: read in this form and written back in it.
    enum class Form { Plain, Utf8Marked, Utf16Le };
    Form m_form = Form::Plain;
};
