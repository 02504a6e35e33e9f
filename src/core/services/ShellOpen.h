#pragma once

#include <QString>
#include <functional>

// Opens a document in the application the desktop associates with its type.
class ShellOpen {
public:
    enum class Result { Opened, NoApplication, Failed };
    virtual ~ShellOpen() = default;
    // Reports how it went through `done`, at once or once the desktop has answered; the
    // window is not held up meanwhile.
    virtual void open(const QString& path, std::function<void(Result)> done) = 0;
};
