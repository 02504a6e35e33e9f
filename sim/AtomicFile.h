#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

// Replaces a file's content so that a crash or a kill at any moment leaves either the old or
// the new content, never a mix: the new content goes to a temporary file beside the target,
// is flushed, synced to disk and closed, and only then renamed over the target.
//
// QSaveFile would do the same, but we want the directory synced after the rename too, and a
// seam between the synced temporary file and the rename, where a crash hurts most.
class AtomicFile {
public:
    explicit AtomicFile(QString path) : m_path(std::move(path)) {}

    const QString& path() const { return m_path; }

    // On failure the target keeps its old content and error says why.
    bool write(const QByteArray& content, QString* error) const;

    // Deletes the temporary files that writes cut short by a crash or a kill left beside the
    // target, and returns their names. Only names this class makes are touched: another
    // file's temporaries and anything merely alike stay.
    QStringList removeLeftovers() const;

    // Called with the synced temporary file's name just before the rename. Returning false
    // abandons the write there, leaving the temporary file behind as a crash would.
    void setBeforeRename(std::function<bool(const QString&)> hook) {
        m_beforeRename = std::move(hook);
    }

private:
    QString m_path;
    std::function<bool(const QString&)> m_beforeRename;
};
