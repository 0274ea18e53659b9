#include "shell/startup.h"

int main(int argc, char** argv) { return kv::shell::RunProgram(argc, argv); }
