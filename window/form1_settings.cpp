// The procedures that restore and save the remembered settings, and the Quintrel launcher.
#include "settings/settings_store.h"
#include "window/form1.h"

namespace corvane {

void Form1::Form_Load() {}
void Form1::Form_Unload(qint16&) {}
void Form1::Command_Quintrel_Click() {}

}  // namespace corvane
