// quarnel: the main program. Started by quarnel-launcher (with
// administrator rights) as `quarnel <language>*loaderflag* [saved result]`.
#include "app/shell/QuarnelMain.h"

int main(int argc, char** argv) { return shell::RunQuarnel(argc, argv); }
