#include "windows/programstart.h"

int main(int argc, char** argv) {
    return mixgen::runProgram(argc, argv);
}
