#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <utility>

class Prompts;
class QIODevice;
class QWidget;

// Writes an export to a file the operator chooses: the whole file or, when anything fails,
// none (an older file of that name stays as it was), and the operator is told which file
// and why.
class FileExport {
public:
    // Returns the chosen path, or an empty one when the operator cancelled.
    using ChooseFile = std::function<QString(QWidget* parent, const QString& caption,
                                             const QString& suggestedPath, const QString& filter)>;
    // Writes the contents; false with the reason in `why` when it could not.
    using Write = std::function<bool(QIODevice& device, QString& why)>;

    explicit FileExport(Prompts& prompts);

    void setChooseFile(ChooseFile choose) { m_choose = std::move(choose); }
    // A file that could not be written is told, naming it, and the one there is left as it was.
    void save(QWidget* parent, const QString& caption, const QString& suggestedName,
              const QString& filter, const Write& write);
    void save(QWidget* parent, const QString& caption, const QString& suggestedName,
              const QString& filter, const QByteArray& bytes);

private:
    Prompts& m_prompts;
    ChooseFile m_choose;
    // The next export suggests the folder of the last one.
    QString m_folder;
};
