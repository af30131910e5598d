#include "cli/Cli.h"

int main(int argc, char** argv) {
  celcli::Runtime runtime;
  return runtime.Main(argc, argv);
}
