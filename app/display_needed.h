#pragma once

// Without a display Qt ends the program with an abort and a hint to
// reinstall it. Between these two calls, around creating the application,
// a fatal message instead says that the window needs a display and that
// telvarin-cli works without one, and the program ends with exit code 1.
void sayWhenNoDisplay();
void endSayingWhenNoDisplay();
