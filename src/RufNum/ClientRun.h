#pragma once

#include <QString>

class TorvanelApplication;
struct Services;

// One run of the client for the command-line text: refused with a message when an instance
// for the text is running already (which is asked to come forward), otherwise the window
// until the operator quits, an unhandled error or the desktop ends it. A window that cannot be
// built says why. Every way out returns 0.
int runClient(TorvanelApplication& app, const QString& commandLineText, const Services& services);
