// The row editors and the configuration file: the window's side.
#include "app/main_window.h"

void frmMain::cmdEditNo_Click(int) {}
void frmMain::cmdEditMsg_Click(int) {}
void frmMain::cmdFileSave_Click() {}
void frmMain::cmdFileLoad_Click() {}
