// Tessary: lists and sorts cartridge ROM images by their CRC-32.
#include "romtool/tool.h"

int main(int argc, char** argv) { return RunTool(RomTool(), argc, argv); }
