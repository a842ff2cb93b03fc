// quorl: the benchmark visualiser. "quorl [FILE]" opens the window (with
// FILE loaded); "quorl --selftest FILE" runs the checks and exits 0, 1 or 2.
#include "app/Controller.h"

int main(int argc, char** argv) { return quorl::quorlMain(argc, argv); }
