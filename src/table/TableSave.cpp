#include "RufNum/RufNum.h"

// Placeholder until saving the table is built: nothing is sent.
bool TNummernForm::SaveTable() {
    return true;
}
