#include "RufNum/RufNum.h"

// Placeholder until the INI file and the stored position are read: the built-in defaults.
void TNummernForm::ReadSettings() {
    move(0, 0);
    resize(600, 135);
}

void TNummernForm::WriteSettings() {}
