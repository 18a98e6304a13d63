// Quarn: lists and sorts JPEG pictures by their CRC-32.
#include "imagetool/tool.h"

int main(int argc, char** argv) { return RunTool(ImageTool(), argc, argv); }
