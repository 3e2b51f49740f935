#include "cli.h"

int main(int argc, char** argv) { return cdmadiag::app_main(argc, argv); }
