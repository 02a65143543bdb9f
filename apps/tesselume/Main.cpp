// tesselume: the Tesselume filter module on image files, from the command line.
#include "Commands.h"

int main(int argc, char** argv) { return tesselume::RunCommandLine(argc, argv); }
